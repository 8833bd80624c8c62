#include "app/base/tokens.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

struct CountRow {
  const char* text;
  int count;
};

TEST(CountTokens, EveryBlankOfTheTrimmedTextCounts) {
  const CountRow rows[] = {
      {"", 0},
      {"   ", 0},
      {"a", 1},
      {"  a  ", 1},
      {"a b", 2},
      {"a  b", 3},         // two blanks make an empty word
      {" a b c ", 3},
      {"a.zip /unzip /tmp/out -o", 4},
  };
  for (const auto& r : rows) EXPECT_EQ(CountTokens(r.text), r.count) << '"' << r.text << '"';
}

struct TokenRow {
  const char* text;
  int n;
  const char* word;
};

TEST(GetToken, PicksWordsAndIsEmptyBeyondTheLast) {
  const TokenRow rows[] = {
      {"a.zip /unzip /out", 0, "a.zip"},
      {"a.zip /unzip /out", 1, "/unzip"},
      {"a.zip /unzip /out", 2, "/out"},
      {"a.zip /unzip /out", 3, ""},
      {"  a.zip /unzip  ", 1, "/unzip"},
      {"a.zip  /zip x", 1, ""},     // the empty word between two blanks
      {"a.zip  /zip x", 2, "/zip"},
      {"a.zip  /zip x", 3, "x"},
      {"", 0, ""},
      {"single", 0, "single"},
      {"single", 1, ""},
      {"\"C:\\a b.zip\" /entpacken", 0, "\"C:\\a"},  // quotes are not special
      {"x y", -1, ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(GetToken(r.text, r.n), r.word) << '"' << r.text << "\" word " << r.n;
}

TEST(StripQuotes, RemovesOneQuoteAtEachEndOnlyIfPresent) {
  EXPECT_EQ(StripQuotes("\"a b\""), "a b");
  EXPECT_EQ(StripQuotes("\"a b"), "a b");
  EXPECT_EQ(StripQuotes("a b\""), "a b");
  EXPECT_EQ(StripQuotes("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(StripQuotes("\""), "");
  EXPECT_EQ(StripQuotes(""), "");
  EXPECT_EQ(StripQuotes("plain"), "plain");
}

TEST(LastCharPos, CountsFromOneAndUsesOnlyTheFirstCharacter) {
  EXPECT_EQ(LastCharPos("/a/b/c.txt", "/"), 5);
  EXPECT_EQ(LastCharPos("abc", "/"), 0);
  EXPECT_EQ(LastCharPos("a.b.c", ".xyz"), 4);
  EXPECT_EQ(LastCharPos("/x", "/"), 1);
  EXPECT_EQ(LastCharPos("abc", ""), 0);
  EXPECT_EQ(LastCharPos("", "a"), 0);
}

TEST(FileNameOfPath, TakesTheLastComponentTrimmedWithoutQuotes) {
  EXPECT_EQ(FileNameOfPath("/home/u/Archiv.zip"), "Archiv.zip");
  EXPECT_EQ(FileNameOfPath("Archiv.zip"), "Archiv.zip");
  EXPECT_EQ(FileNameOfPath("\"/tmp/a b.zip\""), "a b.zip");
  EXPECT_EQ(FileNameOfPath("  \"x.zip\"  "), "x.zip");
  EXPECT_EQ(FileNameOfPath("/tmp/dir/"), "");
  EXPECT_EQ(FileNameOfPath("/tmp/ Über.txt "), "Über.txt");
}

}  // namespace
}  // namespace kx
