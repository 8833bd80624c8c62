// Test and extract read, check and write the data of many entries at once on
// worker threads: the events must still come entry by entry in archive order,
// a bad entry must still leave nothing under its name, a cancel must still
// stop at the entry it names, a question must still see every earlier entry
// finished and no later one, and an entry must still meet on disk the file an
// earlier entry made at its path.
#include <gtest/gtest.h>

#include <libdeflate.h>

#include "engine/cancel.h"
#include "engine/kxzip.h"
#include "engine/raw_zip.h"
#include "engine/engine_fixture.h"

namespace {

namespace fs = std::filesystem;
using kxtest::TempDir;
using kxtest::WriteFile;

std::string Deflated(const std::string& plain) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  std::string out(libdeflate_deflate_compress_bound(c, plain.size()), '\0');
  out.resize(libdeflate_deflate_compress(c, plain.data(), plain.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

std::string NameOf(int i) { return "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt"; }
std::string ContentOf(int i) { return std::string(100 + i * 37, static_cast<char>('a' + i % 26)) + std::to_string(i); }

// count entries spread over three folders, stored or deflated; the entry
// `bad` (if any) carries a CRC its data does not have.
std::string Archive(int count, std::uint16_t method, int bad = -1) {
  kxtest::RawZip raw;
  for (int i = 0; i < count; ++i) {
    kxtest::RawEntry e = kxtest::FileEntry(NameOf(i), ContentOf(i));
    e.crc = kxtest::Crc32(e.data) ^ (i == bad ? 0x1234u : 0u);
    e.crcOverride = true;
    if (method == 8) {
      e.size = e.data.size();
      e.sizeOverride = true;
      e.data = Deflated(e.data);
      e.method = 8;
    }
    raw.Add(e);
  }
  return raw.Finish();
}

// The names of the start events (MsgType 0), each once, in the order they came.
std::vector<std::string> Started(const std::vector<kx::ProgressEvent>& events) {
  std::vector<std::string> names;
  for (const auto& e : events) {
    if (e.MsgType == 0 && (names.empty() || names.back() != e.FileName)) names.push_back(e.FileName);
  }
  return names;
}

std::vector<std::string> LeftoversBelow(const fs::path& root) {
  std::vector<std::string> all;
  if (!fs::exists(root)) return all;
  for (const auto& d : fs::recursive_directory_iterator(root)) {
    if (d.is_directory())
      for (const auto& name : kxwt::Leftovers(d.path())) all.push_back(name);
  }
  for (const auto& name : kxwt::Leftovers(root)) all.push_back(name);
  return all;
}

struct AheadRow {
  const char* label;
  std::int16_t action;
  std::uint16_t method;
};

class ZipAheadBadEntry : public ::testing::TestWithParam<AheadRow> {};

TEST_P(ZipAheadBadEntry, EventsInArchiveOrderAndNothingOfTheBadEntry) {
  TempDir dir;
  constexpr int kCount = 60, kBad = 17;
  WriteFile(dir / "a.zip", Archive(kCount, GetParam().method, kBad));
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "a.zip", "", dir / "out");
  zip.OverwriteMode = 1;
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) { events.push_back(e); };
  zip.SetAction(GetParam().action);
  EXPECT_EQ(zip.LastResult(), kx::rc::CrcError);

  std::vector<std::string> expected;
  for (int i = 0; i < kCount; ++i) expected.push_back(NameOf(i));
  EXPECT_EQ(Started(events), expected);
  // The one message names the bad entry, between its start and the next one's.
  std::vector<std::string> sequence;
  for (const auto& e : events) sequence.push_back(std::to_string(e.MsgType) + " " + e.FileName);
  const auto error = std::find(sequence.begin(), sequence.end(), std::to_string(kx::Code(kx::rc::CrcError)) + " " + NameOf(kBad));
  ASSERT_NE(error, sequence.end());
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& e) { return e.MsgType != 0; }), 1);
  EXPECT_EQ(*(error - 1), "0 " + NameOf(kBad));
  EXPECT_EQ(*(error + 1), "0 " + NameOf(kBad + 1));

  if (GetParam().action == kx::action::Extract) {
    kxwt::FileMap want;
    for (int i = 0; i < kCount; ++i)
      if (i != kBad) want[NameOf(i)] = ContentOf(i);
    EXPECT_EQ(kxwt::Files(dir / "out"), want);
    EXPECT_TRUE(LeftoversBelow(dir / "out").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipAheadBadEntry,
                         ::testing::Values(AheadRow{"extract_stored", kx::action::Extract, 0},
                                           AheadRow{"extract_deflated", kx::action::Extract, 8},
                                           AheadRow{"test_stored", kx::action::Test, 0},
                                           AheadRow{"test_deflated", kx::action::Test, 8}),
                         [](const auto& info) { return std::string(info.param.label); });

// Cancelled at the start event of entry 100: entries 0..99 are there, whole,
// and nothing else, not even a temporary file of the entries prepared ahead.
TEST(ZipAhead, CancelStopsAtTheEntryItNames) {
  TempDir dir;
  constexpr int kCount = 300, kCancelAt = 100;
  WriteFile(dir / "a.zip", Archive(kCount, 8));
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "a.zip", "", dir / "out");
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) {
    events.push_back(e);
    if (e.FileName == NameOf(kCancelAt)) KxCancel();
  };
  zip.SetAction(kx::action::Extract);
  EXPECT_EQ(zip.LastResult(), kx::rc::Cancelled);
  const std::vector<std::string> started = Started(events);
  ASSERT_EQ(started.size(), kCancelAt + 1u);
  EXPECT_EQ(started.back(), NameOf(kCancelAt));
  kxwt::FileMap want;
  for (int i = 0; i < kCancelAt; ++i) want[NameOf(i)] = ContentOf(i);
  EXPECT_EQ(kxwt::Files(dir / "out"), want);
  EXPECT_TRUE(LeftoversBelow(dir / "out").empty());
  kx::ClearCancel();
}

// The question about entry 30 comes when entries 0..29 are on disk and no
// later one is; the answer still decides.
TEST(ZipAhead, AQuestionSeesEveryEarlierEntryFinished) {
  TempDir dir;
  constexpr int kCount = 50, kAsked = 30;
  WriteFile(dir / "a.zip", Archive(kCount, 8));
  WriteFile(dir / "out" / NameOf(kAsked), "alt");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "a.zip", "", dir / "out");
  zip.OverwriteMode = 0;  // ask
  int questions = 0;
  zip.Prompt = [&](kx::PromptEvent& e) {
    ++questions;
    for (int i = 0; i < kCount; ++i) {
      if (i == kAsked) continue;
      EXPECT_EQ(fs::exists(dir / "out" / NameOf(i)), i < kAsked) << i;
    }
    EXPECT_TRUE(LeftoversBelow(dir / "out").empty());
    e.Reply = kx::reply::Yes;
  };
  zip.SetAction(kx::action::Extract);
  EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(kxtest::ReadFile(dir / "out" / NameOf(kAsked)), ContentOf(kAsked));
}

// A file entry "a" and then "a/b": "a/b" finds the file "a" in its way, as
// it would one entry at a time. Without folders, two entries of one name:
// the second asks about the file the first made.
TEST(ZipAhead, LaterEntriesMeetTheFilesEarlierOnesMade) {
  TempDir dir;
  kxtest::RawZip raw;
  raw.Add(kxtest::FileEntry("a", "datei a"));
  raw.Add(kxtest::FileEntry("a/b", "unter a"));
  raw.Add(kxtest::FileEntry("x/n.txt", "erstes n"));
  raw.Add(kxtest::FileEntry("y/n.txt", "zweites n"));
  WriteFile(dir / "a.zip", raw.Finish());

  kx::KxZip zip;
  kxwt::Aim(zip, dir / "a.zip", "", dir / "out");
  zip.OverwriteMode = 1;
  std::vector<std::string> messages;
  zip.Progress = [&](kx::ProgressEvent& e) {
    if (e.MsgType != 0) messages.push_back(std::to_string(e.MsgType) + " " + e.FileName);
  };
  zip.SetAction(kx::action::Extract);
  EXPECT_EQ(zip.LastResult(), kx::rc::AccessDenied);
  EXPECT_EQ(messages, std::vector<std::string>{std::to_string(kx::Code(kx::rc::AccessDenied)) + " a/b"});
  EXPECT_EQ(kxtest::ReadFile(dir / "out/a"), "datei a");

  kx::KxZip flat;
  kxwt::Aim(flat, dir / "a.zip", "*.txt", dir / "flat");
  flat.RestoreFolders = false;
  flat.OverwriteMode = 0;  // ask
  std::vector<std::string> asked;
  flat.Prompt = [&](kx::PromptEvent& e) {
    asked.push_back(fs::path(e.FileName).filename().string());
    e.Reply = kx::reply::Yes;
  };
  flat.SetAction(kx::action::Extract);
  EXPECT_EQ(flat.LastResult(), kx::rc::Ok);
  EXPECT_EQ(asked, std::vector<std::string>{"n.txt"});
  EXPECT_EQ(kxwt::Files(dir / "flat"), (kxwt::FileMap{{"n.txt", "zweites n"}}));
}

}  // namespace
