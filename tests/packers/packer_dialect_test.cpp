// The dialect table as pure functions: the exact argument vector for every
// program, format and operation, the refusals, and the two text splitters.
#include <gtest/gtest.h>

#include "packers/cls_process.h"
#include "packers/packer_dialect.h"

namespace {

using kx::ArchiveKind;
using kx::packer::Operation;
using kx::packer::Program;
using Words = std::vector<std::string>;

struct Row {
  const char* name;
  Program program;
  ArchiveKind kind;
  Operation op;
  Words names;
  Words arguments;   // empty: refused
  Words listFile;
  const char* refusalHas = "";
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

const Words kHostile = {"-dash", "!bang", "@at", "a b", "q\"uote", "\xc3\xbcmlaut"};

class DialectTable : public ::testing::TestWithParam<Row> {};

TEST_P(DialectTable, ExactVector) {
  const Row& r = GetParam();
  const auto inv = kx::packer::BuildInvocation(r.program, r.kind, r.op, "/a/t.x", r.names, "/w/names.lst");
  EXPECT_EQ(inv.possible, !r.arguments.empty());
  EXPECT_EQ(inv.arguments, r.arguments);
  EXPECT_EQ(inv.listFile, r.listFile);
  EXPECT_TRUE(inv.refusal.contains(QString::fromUtf8(r.refusalHas))) << inv.refusal.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Programs, DialectTable,
    ::testing::Values(
        Row{"arj_extract_all", Program::Arj, ArchiveKind::Arj, Operation::Extract, {}, {"x", "-y", "-p", "/a/t.x"}, {}},
        Row{"arj_extract", Program::Arj, ArchiveKind::Arj, Operation::Extract, kHostile,
            {"x", "-y", "-p", "/a/t.x", "!/w/names.lst"}, kHostile},
        Row{"arj_delete", Program::Arj, ArchiveKind::Arj, Operation::Delete, {"sub/a"},
            {"d", "-y", "-p", "/a/t.x", "!/w/names.lst"}, {"sub/a"}},
        Row{"arj_add", Program::Arj, ArchiveKind::Arj, Operation::Add, {"-dash", "d/f"},
            {"a", "-y", "/a/t.x", "!/w/names.lst"}, {"-dash", "d/f"}},
        Row{"arj_on_lha", Program::Arj, ArchiveKind::Lha, Operation::Extract, {}, {}, {}, "keine LHA-Archive"},
        Row{"arc_extract", Program::Arc, ArchiveKind::Arc, Operation::Extract, {"@at", "-d"},
            {"x", "/a/t.x", "./@at", "./-d"}, {}},
        Row{"arc_delete", Program::Arc, ArchiveKind::Arc, Operation::Delete, {"@at"}, {"d", "/a/t.x", "./@at"}, {}},
        Row{"arc_add", Program::Arc, ArchiveKind::Arc, Operation::Add, {"!b", "a b"}, {"a", "/a/t.x", "./!b", "./a b"}, {}},
        Row{"arc_add_long", Program::Arc, ArchiveKind::Arc, Operation::Add, {"abcdefghi.txt"}, {}, {}, "höchstens 12"},
        Row{"arc_add_folder", Program::Arc, ArchiveKind::Arc, Operation::Add, {"d/f"}, {}, {}, "keine Ordner"},
        Row{"lhasa_extract", Program::Lhasa, ArchiveKind::Lha, Operation::Extract, {"-x", "s/y"},
            {"x", "/a/t.x", "-x", "s/y"}, {}},
        Row{"lhasa_delete", Program::Lhasa, ArchiveKind::Lha, Operation::Delete, {"a"}, {}, {}, "jlha-utils"},
        Row{"lhasa_add", Program::Lhasa, ArchiveKind::Lha, Operation::Add, {"a"}, {}, {}, "Dateien hinzufügen"},
        Row{"unar_extract_all", Program::Unar, ArchiveKind::Zoo, Operation::Extract, {},
            {"-q", "-D", "-s", "-nr", "/a/t.x"}, {}},
        Row{"unar_extract", Program::Unar, ArchiveKind::Arj, Operation::Extract, {"-a"},
            {"-q", "-D", "-s", "-nr", "/a/t.x", "--", "-a"}, {}},
        Row{"unar_zoo_delete", Program::Unar, ArchiveKind::Zoo, Operation::Delete, {"a"}, {}, {}, "kein Programm"},
        Row{"unar_arc_add", Program::Unar, ArchiveKind::Arc, Operation::Add, {"a"}, {}, {}, "Debian-Paket arc"},
        Row{"nomarch_extract", Program::Nomarch, ArchiveKind::Arc, Operation::Extract, {"-a"},
            {"-U", "--", "/a/t.x", "-a"}, {}},
        Row{"nomarch_delete", Program::Nomarch, ArchiveKind::Arc, Operation::Delete, {"a"}, {}, {}, "nur entpacken"},
        Row{"other_lha_delete", Program::Other, ArchiveKind::Lha, Operation::Delete, {"a"}, {"D", "/a/t.x", "a"}, {}},
        Row{"other_arj_add", Program::Other, ArchiveKind::Arj, Operation::Add, {"a"}, {"a", "-e", "-r", "/a/t.x", "a"}, {}},
        Row{"other_zoo_add", Program::Other, ArchiveKind::Zoo, Operation::Add, {"a"}, {"/a/t.x", "a"}, {}},
        Row{"kxpack_extract_all", Program::Kxpack, ArchiveKind::Lha, Operation::Extract, {}, {"x", "/a/t.x"}, {}},
        Row{"kxpack_extract", Program::Kxpack, ArchiveKind::Zoo, Operation::Extract, kHostile,
            {"x", "/a/t.x", "--", "-dash", "!bang", "@at", "a b", "q\"uote", "\xc3\xbcmlaut"}, {}},
        Row{"kxpack_delete", Program::Kxpack, ArchiveKind::Arc, Operation::Delete, {"-d"}, {"d", "/a/t.x", "--", "-d"}, {}},
        Row{"kxpack_add", Program::Kxpack, ArchiveKind::Zoo, Operation::Add, {"d/f", "-x"},
            {"a", "/a/t.x", "--", "d/f", "-x"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dialect, ProgramNamesAndClassicSwitches) {
  EXPECT_EQ(kx::packer::ProgramOf("/x/ARJ.EXE"), Program::Arj);
  EXPECT_EQ(kx::packer::ProgramOf("/usr/bin/lha"), Program::Lhasa);
  EXPECT_EQ(kx::packer::ProgramOf("nomarch"), Program::Nomarch);
  EXPECT_EQ(kx::packer::ProgramOf("/opt/zoo"), Program::Other);
  EXPECT_EQ(kx::packer::ProgramOf("/opt/kravix/KXPACK"), Program::Kxpack);
  // Who may be picked from PATH for an operation: readers extract, writers change.
  EXPECT_TRUE(kx::packer::CanDo(Program::Lhasa, ArchiveKind::Lha, Operation::Extract));
  EXPECT_FALSE(kx::packer::CanDo(Program::Lhasa, ArchiveKind::Lha, Operation::Delete));
  EXPECT_FALSE(kx::packer::CanDo(Program::Unar, ArchiveKind::Zoo, Operation::Add));
  EXPECT_FALSE(kx::packer::CanDo(Program::Arj, ArchiveKind::Arc, Operation::Extract));
  for (auto kind : {ArchiveKind::Arj, ArchiveKind::Arc, ArchiveKind::Lha, ArchiveKind::Zoo})
    for (auto op : {Operation::Extract, Operation::Delete, Operation::Add})
      EXPECT_TRUE(kx::packer::CanDo(Program::Kxpack, kind, op));
  EXPECT_EQ(kx::packer::ClassicSwitch(ArchiveKind::Lha, Operation::Delete), " D");
  EXPECT_EQ(kx::packer::ClassicSwitch(ArchiveKind::Arc, Operation::Add), "");
}

TEST(Dialect, FileSpecAndCommandLineSplitting) {
  EXPECT_EQ(kx::packer::SplitFileSpec(" a.txt \"b c.txt\"  q\"uote -x"), (Words{"a.txt", "b c.txt", "q\"uote", "-x"}));
  EXPECT_EQ(clsProcess::SplitCommandLine("/p/arj e  \"C:\\a b\\x.arj\" F \"\" a\\\\\"b c\" d\\\"e"),
            (Words{"/p/arj", "e", "C:\\a b\\x.arj", "F", "", "a\\b c", "d\"e"}));
  EXPECT_EQ(kx::packer::ListedNameToStored("\xe2\x94\x9c\xe2\x95\x9dmlaut"), "\xc3\xbcmlaut");  // ├╝ back to ü's bytes
  EXPECT_EQ(kx::packer::ListedNameToStored("\xe2\x82\xac"), "\xe2\x82\xac");  // € is not in code page 437
}

}  // namespace
