// Deleting by copying the kept entries' bytes (FastDelete): archives made by
// zip, 7zz and Python, and hand-made ones with every kind of data
// descriptor and Zip64 offsets, lose exactly the named entries; the rest
// reads back unchanged in unzip, 7zz and Python. Layouts the copy does not
// take go through libzip with the same result. Names match as the listing
// shows them. A cancel or a full disk leaves the archive as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include "engine/cancel.h"
#include "engine/zip/zip_comment.h"
#include "engine/zip/zip_delete.h"
#include "engine/zip/fast_delete.h"
#include "engine/raw_zip.h"
#include "support/test_support.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

const std::vector<std::string> kNames = {"a.txt", "b.bin", "c.txt", "f.txt", "g.bin", "leer.txt", "sub/d.txt", "sub/e.log"};
const std::string kComment = "Kommentar für alle";

// Text that deflates, random bytes that do not, and an empty file.
void MakeSources(const fs::path& src) {
  for (const auto& name : kNames) {
    std::string content;
    if (name.ends_with(".bin")) content = kxtest::RandomBytes(40000 + name.size() * 1000, name[0]);
    else if (name != "leer.txt")
      for (int i = 0; i < 2000 + 100 * static_cast<int>(name[0]); ++i) content += name + " Zeile " + std::to_string(i) + "\n";
    WriteFile(src / name, content);
  }
}

// Python writes the "py*" kinds with zipfile (to an unseekable stream, so
// with data descriptors, for "stream"; with Zip64 local headers for
// "zip64"); the others it writes field by field: descriptors of 12 bytes
// (no signature) or 20 (Zip64 sizes), five stray bytes after the second
// entry ("gap"), local header offsets kept only in the Zip64 extra field
// ("wide"), or a directory in reverse order ("reversed").
constexpr const char* kMakeScript = R"PY(
import io, struct, sys, zipfile, zlib
mode, archive, src, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
def content(n): return open(src + "/" + n, "rb").read()

class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)

if mode.startswith("py"):
    with open(archive, "wb") as f:
        with zipfile.ZipFile(Unseekable(f) if "stream" in mode else f, "w", zipfile.ZIP_DEFLATED) as z:
            for n in names:
                with z.open(n, "w", force_zip64="zip64" in mode) as w:
                    w.write(content(n))
    sys.exit(0)

out, central = bytearray(), []
for i, n in enumerate(names):
    data = content(n)
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    packed = c.compress(data) + c.flush()
    crc, offset, raw = zlib.crc32(data), len(out), n.encode()
    descriptor = mode in ("descriptor12", "descriptor20")
    wide_sizes = mode == "descriptor20"
    extra = struct.pack("<HHQQ", 1, 16, 0, 0) if wide_sizes else b""
    if descriptor:
        fields = (0, 0xFFFFFFFF, 0xFFFFFFFF) if wide_sizes else (0, 0, 0)
    else:
        fields = (crc, len(packed), len(data))
    needed = 45 if mode in ("descriptor20", "wide") else 20
    flags = 8 if descriptor else 0
    out += struct.pack("<IHHHHHIIIHH", 0x04034b50, needed, flags, 8, 0x6000, 0x5a21, *fields, len(raw), len(extra))
    out += raw + extra + packed
    if mode == "descriptor12": out += struct.pack("<III", crc, len(packed), len(data))
    if mode == "descriptor20": out += struct.pack("<IQQ", crc, len(packed), len(data))
    if mode == "gap" and i == 1: out += b"junk!"
    cextra = struct.pack("<HHQ", 1, 8, offset) if mode == "wide" else b""
    stored = 0xFFFFFFFF if mode == "wide" else offset
    central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, 0x0314, needed, flags, 8, 0x6000, 0x5a21, crc,
                               len(packed), len(data), len(raw), len(cextra), 0, 0, 0, 0o100644 << 16, stored) + raw + cextra)
if mode == "reversed": central.reverse()
directory = b"".join(central)
at = len(out)
out += directory + struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, len(names), len(names), len(directory), at, 0)
open(archive, "wb").write(out)
)PY";

// Python's view after testzip: the comment, then each entry's name and a digest of its contents.
constexpr const char* kReadScript = R"PY(
import hashlib, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
bad = z.testzip()
print("bad", bad)
print("comment", z.comment.hex())
for i in z.infolist():
    print("entry", i.filename.encode("utf-8", "surrogateescape").hex(), hashlib.sha256(z.read(i)).hexdigest())
)PY";

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

struct PyView {
  bool readable = false;
  std::string comment;
  std::map<std::string, std::string> digests;  // name → sha256 of the contents
};

PyView PyRead(const fs::path& archive) {
  const auto run = kxtest::Run({"python3", "-c", kReadScript, archive.string()});
  PyView view;
  std::istringstream in(run.output);
  for (std::string word; in >> word;) {
    std::string a, b;
    if (word == "bad") {
      in >> a;
      view.readable = run.exitCode == 0 && a == "None";
    } else if (word == "comment") {
      std::getline(in, a);
      view.comment = FromHex(a.empty() ? a : a.substr(1));
    } else if (word == "entry" && in >> a >> b) {
      view.digests[FromHex(a)] = b;
    }
  }
  EXPECT_TRUE(view.readable) << run.output;
  return view;
}

bool UnzipTestOk(const fs::path& archive) {
  const auto run = kxtest::Run({"unzip", "-t", archive.string()});
  return run.exitCode == 0 && run.output.find("No errors detected") != std::string::npos;
}

bool SevenZipTestOk(const fs::path& archive) {
  const auto run = kxtest::Run({"7zz", "t", archive.string()});
  return run.exitCode == 0 && run.output.find("Everything is Ok") != std::string::npos;
}

std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().find(".kxtmp-") != std::string::npos) out.push_back(e.path().filename());
  return out;
}

// Entry names as libzip gives them (flags 0: its guess; ZIP_FL_ENC_RAW: the stored bytes).
std::vector<std::string> LibzipNames(const fs::path& archive, zip_flags_t flags) {
  std::vector<std::string> out;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, nullptr);
  EXPECT_NE(za, nullptr) << archive;
  if (!za) return out;
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) out.push_back(zip_get_name(za, i, flags));
  zip_discard(za);
  return out;
}

// Whether a delete from this archive copies byte ranges (true) or goes through libzip.
bool CopiesRanges(const fs::path& archive) {
  kx::FastDelete fast(archive.string());
  return fast.Open() && fast.CheckLayout();
}

kx::Result Delete(const fs::path& archive, const std::string& request) {
  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.FileSpec = request;
  return kx::DeleteEntries(zip);
}

std::vector<std::string> Args(const std::vector<std::string>& head, const std::vector<std::string>& tail) {
  std::vector<std::string> all = head;
  all.insert(all.end(), tail.begin(), tail.end());
  return all;
}

// The archive kinds, each with whether the copy takes it and whether
// `zip -d` writes the very same bytes (it rewrites data descriptors and Zip64 fields).
struct Maker {
  std::string kind;
  bool copies;
  bool sameAsZipD;
};

fs::path MakeArchive(const TempDir& dir, const Maker& maker) {
  const fs::path src = dir / "src";
  MakeSources(src);
  const fs::path archive = dir / (maker.kind + ".zip");
  int rc = -1;
  if (maker.kind == "zip" || maker.kind == "stub") {
    rc = kxtest::Run(Args({"zip", "-q", "-X", archive.string()}, kNames), src).exitCode;
  } else if (maker.kind == "7zz") {
    rc = kxtest::Run(Args({"7zz", "a", "-tzip", archive.string()}, kNames), src).exitCode;
  } else {
    rc = kxtest::Run(Args({"python3", "-c", kMakeScript, maker.kind, archive.string(), src.string()}, kNames)).exitCode;
  }
  EXPECT_EQ(rc, 0) << maker.kind;
  if (maker.kind == "stub") {
    // A self-extractor: a program in front, the offsets moved past it by zip -A.
    WriteFile(archive, "#!/bin/sh\necho 'ausgepackt'\nexit 0\n" + ReadFile(archive));
    EXPECT_EQ(kxtest::Run({"zip", "-q", "-A", archive.string()}).exitCode, 0);
  }
  EXPECT_EQ(kx::WriteArchiveComment(archive.string(), kComment), kx::rc::Ok);
  return archive;
}

struct Request {
  std::string spec;
  std::set<std::string> gone;
};

void PrintTo(const Maker& m, std::ostream* os) { *os << m.kind; }
void PrintTo(const Request& r, std::ostream* os) { *os << r.spec; }

const Maker kMakers[] = {
    {"zip", true, true},           {"7zz", true, true},           {"py", true, true},
    {"py-stream", true, false},    {"py-stream-zip64", true, false}, {"descriptor12", true, false},
    {"descriptor20", true, false}, {"wide", true, false},          {"stub", false, false},
    {"gap", false, false},         {"reversed", false, false},
};

const Request kRequests[] = {
    {"a.txt", {"a.txt"}},
    {"c.txt \"f.txt\"", {"c.txt", "f.txt"}},
    {"sub/e.log", {"sub/e.log"}},
    {"*.bin sub/*", {"b.bin", "g.bin", "sub/d.txt", "sub/e.log"}},
    {"*", {kNames.begin(), kNames.end()}},
};

class FastDeleteRows : public ::testing::TestWithParam<std::tuple<Maker, Request>> {};

TEST_P(FastDeleteRows, RemovesExactlyTheNamedEntriesAndKeepsTheRest) {
  const auto& [maker, request] = GetParam();
  TempDir dir;
  const fs::path archive = MakeArchive(dir, maker);
  EXPECT_EQ(CopiesRanges(archive), maker.copies);
  const PyView before = PyRead(archive);
  ASSERT_EQ(before.digests.size(), kNames.size());
  const bool all = request.gone.size() == kNames.size();
  const fs::path byZip = dir / "zip-d.zip";
  if (maker.sameAsZipD && !all) {
    fs::copy_file(archive, byZip);
    std::vector<std::string> names(request.gone.begin(), request.gone.end());
    ASSERT_EQ(kxtest::Run(Args({"zip", "-q", "-d", byZip.string()}, names)).exitCode, 0);
  }

  ASSERT_EQ(Delete(archive, request.spec), kx::rc::Ok);

  const PyView after = PyRead(archive);
  EXPECT_EQ(after.comment, kComment);
  std::set<std::string> left;
  for (const auto& [name, digest] : after.digests) {
    left.insert(name);
    EXPECT_EQ(digest, before.digests.at(name)) << name;
  }
  std::set<std::string> expected;
  for (const auto& n : kNames)
    if (!request.gone.count(n)) expected.insert(n);
  EXPECT_EQ(left, expected);
  EXPECT_TRUE(SevenZipTestOk(archive));
  if (all) {
    EXPECT_EQ(fs::file_size(archive), 22u + kComment.size());
    EXPECT_NE(kxtest::Run({"unzip", "-t", archive.string()}).output.find("zipfile is empty"), std::string::npos);
  } else {
    EXPECT_TRUE(UnzipTestOk(archive));
  }
  if (maker.sameAsZipD && !all) {
    EXPECT_EQ(ReadFile(archive), ReadFile(byZip)) << "differs from zip -d";
  }
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Peers, FastDeleteRows, ::testing::Combine(::testing::ValuesIn(kMakers), ::testing::ValuesIn(kRequests)),
                         [](const auto& info) {
                           std::string n = std::get<0>(info.param).kind + "_" + std::to_string(info.index % std::size(kRequests));
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

// Layouts no packer writes but a hostile archive may have: the copy refuses
// them, so a deleted entry's bytes can never survive inside a kept one. The
// plain rows show that only the defect makes the difference.
struct LayoutRow {
  std::string what;
  bool copies;
  void (*edit)(kxtest::RawZip&);
};

void PrintTo(const LayoutRow& row, std::ostream* os) { *os << row.what; }

// A stored entry followed by a 16-byte data descriptor carrying `crc`.
kxtest::RawEntry DescriptorEntry(const std::string& name, const std::string& payload, std::uint32_t crc) {
  std::string descriptor;
  kxtest::Put32(descriptor, 0x08074b50);
  kxtest::Put32(descriptor, crc);
  kxtest::Put32(descriptor, static_cast<std::uint32_t>(payload.size()));
  kxtest::Put32(descriptor, static_cast<std::uint32_t>(payload.size()));
  kxtest::RawEntry e = kxtest::FileEntry(name, payload + descriptor);
  e.flags = 0x0008;
  e.crc = kxtest::Crc32(payload);
  e.crcOverride = true;
  e.size = payload.size();
  e.sizeOverride = true;
  e.packedOverride = static_cast<std::uint32_t>(payload.size());
  return e;
}

class FastDeleteLayouts : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(FastDeleteLayouts, CopiesOnlyWhatItCanProve) {
  const LayoutRow& row = GetParam();
  TempDir dir;
  kxtest::RawZip raw(row.what == "prefix" ? std::string("MZ-stub") : std::string());
  for (const char* n : {"eins.txt", "zwei.txt", "drei.txt"}) raw.Add(kxtest::FileEntry(n, std::string(n) + " Inhalt"));
  row.edit(raw);
  WriteFile(dir / "a.zip", raw.Finish());
  EXPECT_EQ(CopiesRanges(dir / "a.zip"), row.copies);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FastDeleteLayouts,
    ::testing::Values(
        LayoutRow{"plain", true, [](kxtest::RawZip&) {}},
        LayoutRow{"descriptorRight", true,
                  [](kxtest::RawZip& z) { z.Add(DescriptorEntry("vier.txt", "vierter", kxtest::Crc32("vierter"))); }},
        LayoutRow{"descriptorWrongCrc", false,
                  [](kxtest::RawZip& z) { z.Add(DescriptorEntry("vier.txt", "vierter", 12345)); }},
        // flag bit 3 without a descriptor after the data
        LayoutRow{"descriptorMissing", false,
                  [](kxtest::RawZip& z) {
                    kxtest::RawEntry e = kxtest::FileEntry("vier.txt", "vierter");
                    e.flags = 0x0008;
                    z.Add(e);
                  }},
        LayoutRow{"prefix", false, [](kxtest::RawZip&) {}},
        // two records share one local header: deleting one name must not keep its data under the other
        LayoutRow{"shared", false, [](kxtest::RawZip& z) { z.central[2].localOffset = z.central[1].localOffset; }},
        // the directory claims more packed bytes than lie before the next entry
        LayoutRow{"overlap", false, [](kxtest::RawZip& z) { z.central[0].packedOverride = 40; }},
        LayoutRow{"order", false, [](kxtest::RawZip& z) { std::swap(z.central[0], z.central[1]); }},
        // a Unicode path field changes no byte range (both ways select by the listed names)
        LayoutRow{"unicodePath", true, [](kxtest::RawZip& z) { z.central[1].extra = std::string("\x75\x70\x01\x00\x01", 5); }},
        LayoutRow{"raggedExtra", false, [](kxtest::RawZip& z) { z.central[1].extra = "ab"; }},
        // local header and central record disagree: libzip may judge the directory by that
        LayoutRow{"localName", false, [](kxtest::RawZip& z) { z.central[1].name = "ZWEI.txt"; }},
        LayoutRow{"localNameLength", false, [](kxtest::RawZip& z) { z.central[1].name = "zwei.txt~"; }},
        LayoutRow{"localMethod", false, [](kxtest::RawZip& z) { z.central[1].method = 8; }},
        LayoutRow{"localSize", false, [](kxtest::RawZip& z) { z.central[1].size = 99; z.central[1].sizeOverride = true; }},
        // an end record inside an entry's data, where libzip's search for the end record looks too
        LayoutRow{"endRecordInData", false,
                  [](kxtest::RawZip& z) { z.Add(kxtest::FileEntry("vier.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'))); }}),
    [](const auto& info) { return info.param.what; });

// Found by fuzzing: an empty end record inside the third entry's data, and
// local headers naming the entries in capitals. libzip takes the embedded
// record (the other directory does not match its local headers) and sees no
// entry while our parse sees three: the delete refuses the archive, as
// extraction does, and leaves it alone.
TEST(FastDelete, ReadsAnArchiveWithTwoEndRecordsAsLibzipDoes) {
  TempDir dir;
  const fs::path archive = dir / "a.zip";
  fs::copy_file(fs::path(KX_FIXTURE_DIR) / "fast_delete" / "embedded-end.zip", archive);
  const std::string before = ReadFile(archive);
  ASSERT_EQ(LibzipNames(archive, 0).size(), 0u);
  EXPECT_FALSE(CopiesRanges(archive));
  EXPECT_EQ(Delete(archive, "drei.txt"), kx::rc::ArchiveError);
  EXPECT_EQ(ReadFile(archive), before);
}

// The copy sees each name as the listing shows it (UTF-8 with the flag or
// from a Unix host, code page 437 otherwise, overlong forms too), so a
// request matches the entries the list shows, by copy or through libzip.
TEST(FastDelete, NamesMatchWhatTheListingShows) {
  TempDir dir;
  kxtest::RawZip raw;
  // Code page 437 byte 0x84 is "ä" too: two entries answer to "ä.txt".
  const std::vector<std::pair<std::string, std::uint16_t>> names = {
      {"plain.txt", 0},         {"\xc3\xa4-utf8.txt", 0}, {"\xc3\xb6-flag.txt", 0x800},
      {"\x84.txt", 0},          {"\xc3\xa4.txt", 0},      {"\xc1\x81-overlong.txt", 0},
      {"\xe4-sigma.txt", 0}};
  for (const auto& [name, flags] : names) {
    kxtest::RawEntry e = kxtest::FileEntry(name, "Inhalt von " + name);
    e.flags = flags;
    raw.Add(e);
  }
  WriteFile(dir / "namen.zip", raw.Finish());

  kx::FastDelete fast((dir / "namen.zip").string());
  ASSERT_TRUE(fast.Open());
  kx::KxZip listing;
  listing.ZipFile = (dir / "namen.zip").string();
  listing.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(static_cast<std::size_t>(listing.EntryCount()), fast.count());
  for (std::size_t i = 0; i < fast.count(); ++i) EXPECT_EQ(fast.name(i), listing.Directory().entries[i].name) << i;

  ASSERT_EQ(Delete(dir / "namen.zip", "\xc3\xa4.txt \xc3\xb6-flag.txt"), kx::rc::Ok);
  EXPECT_EQ(LibzipNames(dir / "namen.zip", ZIP_FL_ENC_RAW),
            (std::vector<std::string>{"plain.txt", "\xc3\xa4-utf8.txt", "\xc1\x81-overlong.txt", "\xe4-sigma.txt"}));
  EXPECT_TRUE(UnzipTestOk(dir / "namen.zip"));
  EXPECT_TRUE(SevenZipTestOk(dir / "namen.zip"));

  // Control characters in a code page 437 name (libzip shows them as symbols) are the listing's too.
  kxtest::RawZip ctl;
  ctl.Add(kxtest::FileEntry("a\x01\x84.txt", "x"));
  ctl.Add(kxtest::FileEntry("b.txt", "y"));
  WriteFile(dir / "ctl.zip", ctl.Finish());
  kx::FastDelete ctlFast((dir / "ctl.zip").string());
  ASSERT_TRUE(ctlFast.Open());
  EXPECT_EQ(ctlFast.name(0), "a\x01\xc3\xa4.txt");
  ASSERT_EQ(Delete(dir / "ctl.zip", "b.txt"), kx::rc::Ok);
  EXPECT_EQ(LibzipNames(dir / "ctl.zip", ZIP_FL_ENC_RAW), std::vector<std::string>{"a\x01\x84.txt"});
}

// More than 65,535 entries: Zip64 end records that stay while the count
// needs them and go when it fits the plain end record again.
TEST(FastDelete, Zip64EndRecordsFollowTheCount) {
  TempDir dir;
  const fs::path archive = dir / "viele.zip";
  ASSERT_EQ(kxtest::Run({"python3", "-c",
                         "import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                         "    for i in range(70000): z.writestr('d%d/f%05d.txt' % (i % 7, i), 'E%d' % i)\n",
                         archive.string()})
                .exitCode,
            0);
  ASSERT_TRUE(CopiesRanges(archive));
  const auto hasZip64Locator = [&] {
    const std::string bytes = ReadFile(archive);
    return bytes.compare(bytes.size() - 22 - 20, 4, "PK\x06\x07") == 0;
  };
  ASSERT_TRUE(hasZip64Locator());

  ASSERT_EQ(Delete(archive, "d0/f00000.txt d3/f00003.txt"), kx::rc::Ok);
  EXPECT_TRUE(hasZip64Locator());
  PyView view = PyRead(archive);
  EXPECT_EQ(view.digests.size(), 69998u);
  EXPECT_FALSE(view.digests.count("d0/f00000.txt"));
  EXPECT_TRUE(UnzipTestOk(archive));
  EXPECT_TRUE(SevenZipTestOk(archive));

  ASSERT_EQ(Delete(archive, "d1/*"), kx::rc::Ok);
  EXPECT_FALSE(hasZip64Locator());
  view = PyRead(archive);
  EXPECT_EQ(view.digests.size(), 69998u - 10000u);
  EXPECT_TRUE(UnzipTestOk(archive));
  EXPECT_TRUE(SevenZipTestOk(archive));
}

// Events: each deleted entry first, then the kept ones in directory order, ending at 100 percent.
TEST(FastDelete, ProgressNamesDeletedThenKeptEntries) {
  TempDir dir;
  const fs::path archive = MakeArchive(dir, {"zip", true, true});
  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.FileSpec = "g.bin c.txt";
  std::vector<std::pair<std::string, int>> events;
  zip.Progress = [&](kx::ProgressEvent& ev) {
    EXPECT_EQ(ev.Operation, kx::action::Delete);
    events.emplace_back(ev.FileName, ev.Percent);
  };
  ASSERT_EQ(kx::DeleteEntries(zip), kx::rc::Ok);
  ASSERT_GE(events.size(), 2u + 6u);
  EXPECT_EQ(events[0], std::make_pair(std::string("c.txt"), 0));
  EXPECT_EQ(events[1], std::make_pair(std::string("g.bin"), 0));
  std::vector<std::string> kept;
  for (std::size_t i = 2; i < events.size(); ++i)
    if (kept.empty() || kept.back() != events[i].first) kept.push_back(events[i].first);
  EXPECT_EQ(kept, (std::vector<std::string>{"a.txt", "b.bin", "f.txt", "leer.txt", "sub/d.txt", "sub/e.log"}));
  EXPECT_EQ(events.back().second, 100);
}

// The archive reached through a symbolic link keeps its mode; the link stays a link.
TEST(FastDelete, KeepsModeAndLink) {
  TempDir dir;
  const fs::path archive = MakeArchive(dir, {"zip", true, true});
  fs::permissions(archive, fs::perms(0640));
  fs::create_symlink(archive, dir / "verweis.zip");
  ASSERT_EQ(Delete(dir / "verweis.zip", "a.txt"), kx::rc::Ok);
  EXPECT_TRUE(fs::is_symlink(dir / "verweis.zip"));
  EXPECT_EQ(fs::status(archive).permissions(), fs::perms(0640));
  EXPECT_EQ(PyRead(archive).digests.size(), kNames.size() - 1);
}

// Cancel between entries, and inside an entry larger than one copied piece.
struct CancelRow {
  std::string what;
  int entries;
  std::size_t bytesEach;
  int cancelAtEvent;
};

void PrintTo(const CancelRow& row, std::ostream* os) { *os << row.what; }

class FastDeleteCancel : public ::testing::TestWithParam<CancelRow> {};

TEST_P(FastDeleteCancel, LeavesTheArchiveByteForByte) {
  const CancelRow& row = GetParam();
  TempDir dir;
  std::vector<std::string> names;
  for (int i = 0; i < row.entries; ++i) {
    names.push_back("f" + std::to_string(i) + ".bin");
    WriteFile(dir / names.back(), kxtest::RandomBytes(row.bytesEach, i + 1));
  }
  WriteFile(dir / "weg.txt", "geht");
  names.push_back("weg.txt");
  ASSERT_EQ(kxtest::Run(Args({"zip", "-q", "-0", "a.zip"}, names), dir.path()).exitCode, 0);
  ASSERT_TRUE(CopiesRanges(dir / "a.zip"));
  const std::string before = ReadFile(dir / "a.zip");
  kx::KxZip zip;
  zip.ZipFile = (dir / "a.zip").string();
  zip.FileSpec = "weg.txt";
  int events = 0;
  int lastPercent = -1;
  zip.Progress = [&](kx::ProgressEvent& ev) {
    lastPercent = ev.Percent;
    if (++events == row.cancelAtEvent) KxCancel();
  };
  EXPECT_EQ(kx::DeleteEntries(zip), kx::rc::Cancelled);
  EXPECT_LT(lastPercent, 100);
  EXPECT_EQ(ReadFile(dir / "a.zip"), before);
  EXPECT_TRUE(Leftovers(dir.path()).empty());
  kx::ClearCancel();
}

INSTANTIATE_TEST_SUITE_P(Points, FastDeleteCancel,
                         ::testing::Values(CancelRow{"betweenEntries", 30, 300000, 6},
                                           // event 1 names weg.txt, 2 starts the big entry, 3 comes after its first piece
                                           CancelRow{"insideAnEntry", 1, 30u << 20, 3}),
                         [](const auto& info) { return info.param.what; });

// A write that fails for lack of room: a small tmpfs (ENOSPC), or where none
// can be mounted, a file size limit (EFBIG) in a child process.
kx::Result DeleteWithFileSizeLimit(const fs::path& archive, const std::string& request, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit rl = {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    ::_exit(static_cast<std::uint8_t>(Delete(archive, request)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<kx::Result>(static_cast<std::int8_t>(WEXITSTATUS(status))) : kx::Result(1000);
}

struct FullRow {
  std::string what;
  bool tmpfs;
};

void PrintTo(const FullRow& row, std::ostream* os) { *os << row.what; }

class FastDeleteFull : public ::testing::TestWithParam<FullRow> {};

TEST_P(FastDeleteFull, GivesDiskFullAndLeavesTheArchive) {
  TempDir dir;
  fs::path folder = dir.path();
  struct Unmount {
    fs::path at;
    ~Unmount() {
      if (!at.empty()) kxtest::Run({"umount", at.string()});
    }
  } unmount;
  bool mounted = false;
  if (GetParam().tmpfs) {
    folder = dir / "klein";
    fs::create_directory(folder);
    mounted = kxtest::Run({"mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder.string()}).exitCode == 0;
    if (mounted) unmount.at = folder;
  }
  for (int i = 0; i < 3; ++i) WriteFile(dir / "src" / ("f" + std::to_string(i)), kxtest::RandomBytes(200000, i + 7));
  ASSERT_EQ(kxtest::Run({"zip", "-q", "-0", (folder / "a.zip").string(), "f0", "f1", "f2"}, dir / "src").exitCode, 0);
  ASSERT_TRUE(CopiesRanges(folder / "a.zip"));
  const std::string before = ReadFile(folder / "a.zip");
  kx::Result result;
  if (mounted) {
    WriteFile(folder / "fuell", kxtest::RandomBytes(fs::space(folder).available - 300000, 3));
    result = Delete(folder / "a.zip", "f0");
  } else {
    result = DeleteWithFileSizeLimit(folder / "a.zip", "f0", 300000);
  }
  EXPECT_EQ(result, kx::rc::DiskFull) << (mounted ? "tmpfs" : "file size limit");
  EXPECT_EQ(ReadFile(folder / "a.zip"), before);
  EXPECT_TRUE(Leftovers(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, FastDeleteFull,
                         ::testing::Values(FullRow{"smallFileSystem", true}, FullRow{"fileSizeLimit", false}),
                         [](const auto& info) { return info.param.what; });

}  // namespace
