// The system-wide desktop entry and MIME package that `make install` lays out
// say what the per-user registration writes on this system; only the icon
// differs (the installed one is Kravix's own in the hicolor theme).
#include <gtest/gtest.h>

#include <regex>

#include "shell/desktop_registration.h"
#include "support/test_support.h"

namespace {

std::string WithoutIconLine(const std::string& text) { return std::regex_replace(text, std::regex("Icon=.*\n"), ""); }

TEST(InstalledRegistration, MatchesWhatThePerUserRegistrationWrites) {
  kxtest::TempDir home;
  kx::DesktopPlaces places;
  places.dataHome = QString::fromStdString((home.path() / "data").string());
  places.configHome = QString::fromStdString((home.path() / "config").string());
  places.dataDirs = {"/usr/share"};
  kx::PublishDesktopRegistration("/usr/bin/kravix", places);

  const std::string packaging = KX_PACKAGING_DIR;
  EXPECT_EQ(kxtest::ReadFile(home.path() / "data/mime/packages/kravix.xml"),
            kxtest::ReadFile(packaging + "/kravix.xml"));

  const std::string installed = std::regex_replace(kxtest::ReadFile(packaging + "/kravix.desktop.in"),
                                                   std::regex("@KRAVIX_EXEC@"), "/usr/bin/kravix");
  EXPECT_NE(installed.find("\nIcon=kravix\n"), std::string::npos);
  EXPECT_EQ(WithoutIconLine(kxtest::ReadFile(home.path() / "data/applications/kravix.desktop")),
            WithoutIconLine(installed));
}

}  // namespace
