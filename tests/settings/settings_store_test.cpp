#include "settings/settings_store.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "app/base/run_error.h"
#include "support/test_support.h"

namespace kx {
namespace {

// Each test gets its own configuration folder, so nothing leaks between tests.
// (Qt reads XDG_CONFIG_HOME once per process; the runner points it at a
// temporary folder, and each test moves the user scope on from there.)
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir_.path().string()));
  }
  void TearDown() override {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
  }
  QString iniPath() const { return QString::fromStdString((dir_.path() / "Kravix" / "Kravix.ini").string()); }

  kxtest::TempDir dir_;
};

TEST_F(SettingsStoreTest, MissingKeysGiveTheCallersDefault) {
  EXPECT_EQ(GetSetting(kAppName, "Startup", "StartForm", "0"), "0");
  EXPECT_EQ(GetSetting(kAppName, "Startup", "1", ""), "");
  EXPECT_TRUE(GetBoolSetting("Startup", "Symbolleistenvisible", true));
  EXPECT_FALSE(GetBoolSetting("Startup", "Explorereintrag", false));
  EXPECT_EQ(GetNumberSetting("Startup", "Ansicht Archiv", 3), 3.0);
  EXPECT_FALSE(QFile::exists(iniPath())) << "reading must not create the store";
}

TEST_F(SettingsStoreTest, ValuesSurviveARestartOfTheStoreInTheUsersIniFile) {
  SaveSetting(kAppName, "Startup", "Höhe", "6255");
  SaveSetting(kAppName, "Startup", "1", "/home/u/Jürgen, Archiv.zip");
  SaveSetting(kAppName, "Schnellansicht", "Höhe", "4000");
  SaveNumberSetting("Startup", "Left", -120);
  SaveNumberSetting("Startup", "Top", 1234.5);
  ASSERT_TRUE(QFile::exists(iniPath()));

  // A new store object reads the file afresh, as a restarted program would.
  EXPECT_EQ(GetSetting(kAppName, "Startup", "Höhe", "x"), "6255");
  EXPECT_EQ(GetSetting(kAppName, "Schnellansicht", "Höhe", "x"), "4000");
  EXPECT_EQ(GetSetting(kAppName, "Startup", "1", ""), "/home/u/Jürgen, Archiv.zip");
  EXPECT_EQ(GetSetting(kAppName, "Startup", "Left", ""), "-120");
  EXPECT_EQ(GetNumberSetting("Startup", "Top", 0), 1234.5);

  SaveSetting(kAppName, "Startup", "Höhe", "7000");
  EXPECT_EQ(GetSetting(kAppName, "Startup", "Höhe", "x"), "7000");
}

TEST_F(SettingsStoreTest, BooleansAreWrittenAsTrueFalseAndReadAcceptingNumbers) {
  SaveBoolSetting("Startup", "Statusleistevisible", false);
  EXPECT_EQ(GetSetting(kAppName, "Startup", "Statusleistevisible", ""), "False");
  SaveBoolSetting("Startup", "Statusleistevisible", true);
  EXPECT_EQ(GetSetting(kAppName, "Startup", "Statusleistevisible", ""), "True");

  const std::pair<const char*, bool> rows[] = {{"True", true}, {"False", false}, {"-1", true}, {"0", false}};
  for (const auto& [text, value] : rows) {
    SaveSetting(kAppName, "Startup", "Explorereintrag", text);
    EXPECT_EQ(GetBoolSetting("Startup", "Explorereintrag", !value), value) << text;
  }
}

TEST_F(SettingsStoreTest, AStoredNonNumberRaisesTypeMismatch) {
  SaveSetting(kAppName, "Startup", "Bereite", "breit");
  try {
    GetNumberSetting("Startup", "Bereite", 9000);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), 13);
  }
  SaveSetting(kAppName, "Startup", "FontBold", "vielleicht");
  EXPECT_THROW(GetBoolSetting("Startup", "FontBold", false), RunTimeError);
}

}  // namespace
}  // namespace kx
