#include "app/base/run_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>

namespace kx {
namespace {

TEST(ErrorTrap, AFailingStepDoesNotStopTheNextAndStaysPending) {
  ErrorTrap err;
  std::vector<int> ran;
  err([&] { ran.push_back(1); });
  err([&] { Raise(err::FileNotFound); ran.push_back(99); });
  err([&] { ran.push_back(3); });
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err.number(), 53);
  EXPECT_EQ(err.description(), "Datei nicht gefunden");
}

TEST(ErrorTrap, KeepsTheErrorRaisedLastUntilCleared) {
  ErrorTrap err;
  EXPECT_FALSE(err);
  err([] { Raise(err::TypeMismatch); });
  err([] { Raise(err::PathNotFound); });
  EXPECT_EQ(err.number(), 76);
  EXPECT_EQ(err.description(), "Pfad nicht gefunden");
  err.clear();
  EXPECT_FALSE(err);
  EXPECT_EQ(err.number(), 0);
  EXPECT_EQ(err.description(), "");
  err([] {});  // a step that succeeds leaves no error behind
  EXPECT_FALSE(err);
}

TEST(ErrorTrap, TranslatesStandardExceptionsToClassicNumbers) {
  namespace fs = std::filesystem;
  struct Row {
    std::function<void()> step;
    int number;
  };
  const Row rows[] = {
      {[] { throw std::bad_alloc(); }, 7},
      {[] { (void)fs::file_size("/nonexistent-kx/also-missing/x"); }, 76},
      {[] { (void)fs::file_size("/tmp/definitely-not-here-kx.bin"); }, 53},
      {[] { throw fs::filesystem_error("x", std::make_error_code(std::errc::permission_denied)); }, 70},
      {[] { throw fs::filesystem_error("x", std::make_error_code(std::errc::no_space_on_device)); }, 61},
      {[] { throw std::out_of_range("index"); }, 9},
      {[] { throw std::runtime_error("other"); }, 5},
      {[] { throw 42; }, 5},
  };
  for (const auto& row : rows) {
    ErrorTrap err;
    err(row.step);
    EXPECT_EQ(err.number(), row.number);
    EXPECT_EQ(err.description(), ErrorDescription(row.number));
  }
}

TEST(Conversions, NumbersAndBooleansFromStoredTexts) {
  EXPECT_EQ(ToNumber("3"), 3.0);
  EXPECT_EQ(ToNumber(" -1 "), -1.0);
  EXPECT_EQ(ToNumber("4215.5"), 4215.5);
  EXPECT_EQ(ToNumber("4215,5"), 4215.5);
  EXPECT_EQ(ToLong("7199.6"), 7200);
  EXPECT_TRUE(ToBoolean("True"));
  EXPECT_TRUE(ToBoolean("true"));
  EXPECT_FALSE(ToBoolean("False"));
  EXPECT_TRUE(ToBoolean("-1"));
  EXPECT_TRUE(ToBoolean("2"));
  EXPECT_FALSE(ToBoolean("0"));
  EXPECT_STREQ(BooleanText(true), "True");
  EXPECT_STREQ(BooleanText(false), "False");
}

TEST(Conversions, TextsThatAreNoNumbersRaiseTypeMismatch) {
  for (const char* text : {"", "abc", "12abc", "Ja", "1e999"}) {
    try {
      ToBoolean(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const RunTimeError& e) {
      EXPECT_TRUE(e.number() == 13 || e.number() == 6) << text;
    }
  }
  try {
    ToLong("99999999999");
    ADD_FAILURE() << "no overflow";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.description(), "Überlauf");
  }
}

}  // namespace
}  // namespace kx
