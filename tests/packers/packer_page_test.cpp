// The packer settings page on the offscreen platform: the tab strip brings
// its frame to the front, the chooser fills its box through the scripted
// user, the search fills the boxes from a tree and can be cancelled, and
// FindFile keeps to its rules.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>

#include "packers/packer_page.h"
#include "support/scripted_user.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(PackerPage, TabsFramesAndTexts) {
  kx::PackerPage page;
  page.show();
  ASSERT_EQ(page.TabStrip2->count(), 4);
  EXPECT_EQ(page.TabStrip2->tabToolTip(2), "Suchpfad für LHA.EXE");
  EXPECT_EQ(page.FramExTab[3]->title(), "ZOO-Optionen");
  EXPECT_EQ(page.Command3->text(), "Starten");
  for (int i : {2, 0, 3}) {
    page.TabStrip2->setCurrentIndex(i);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(page.FramExTab[j]->isVisible(), i == j) << i << j;
  }
  EXPECT_EQ(page.Drive1->itemText(0), "/");
}

TEST(PackerPage, ChooserStoresTheTrimmedNameAndCancelKeepsTheBox) {
  kxtest::ScriptedUserScope user;
  kx::PackerPage page;
  user->answerFile(" /usr/bin/lhasa ").answerFile("");
  page.cmdExPacker[2]->click();
  EXPECT_EQ(page.textExPacker[2]->text(), "/usr/bin/lhasa");
  page.cmdExPacker[2]->click();
  EXPECT_EQ(page.textExPacker[2]->text(), "/usr/bin/lhasa");
  ASSERT_EQ(user->asked.size(), 2u);
  EXPECT_EQ(user->asked[0].title, "Externen Packer wählen LHA.EXE");
  EXPECT_EQ(kx::PackerPage::PackerFilter(2), "(LHA.EXE)|LHA.EXE;LHA;LHASA;JLHA;UNAR;KXPACK");
}

TEST(PackerPage, MountedFileSystemsSkipPseudoOnes) {
  const QString table =
      "overlay / overlay rw 0 0\nproc /proc proc rw 0 0\n/dev/sda2 /home ext4 rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n/dev/sdb1 /media/anna/USB\\040Stick vfat rw 0 0\n/dev/sda1 /boot/efi vfat rw 0 0\n";
  EXPECT_EQ(kx::PackerPage::MountedFileSystems(table), (QStringList{"/", "/home", "/media/anna/USB Stick"}));
}

struct Tree {
  kxtest::TempDir dir;
  fs::path root = dir / "root";
  Tree() {
    fs::create_directories(root / "a" / "b");
    fs::create_directories(root / "c");
    fs::create_directories(dir / "outside");
    kxtest::WriteFile(root / "a" / "b" / "ARJ.Exe", "");
    kxtest::WriteFile(root / "c" / "lhasa", "");
    kxtest::WriteFile(dir / "outside" / "arc", "");
    fs::create_directory_symlink(dir / "outside", root / "link");
  }
  QString q(const fs::path& p) const { return QString::fromStdString(p.string()); }
};

TEST(PackerPage, FindFileIgnoresCaseAndFollowsNoLink) {
  Tree t;
  kx::PackerPage page;
  EXPECT_EQ(page.FindFile(t.q(t.root), "arj.exe"), t.q(t.root / "a" / "b" / "ARJ.Exe"));
  EXPECT_EQ(page.FindFile(t.q(t.root), "LHA.EXE"), t.q(t.root / "c" / "lhasa"));
  EXPECT_EQ(page.FindFile(t.q(t.root), "arc.exe"), "");
  EXPECT_EQ(page.FindFile(t.q(t.dir.path()), "arc.exe"), t.q(t.dir / "outside" / "arc"));
  page.CancelMark = "ja";
  EXPECT_EQ(page.FindFile(t.q(t.root), "lha.exe"), "");
}

TEST(PackerPage, SearchFillsTheBoxesAndTellsWhatIsMissing) {
  Tree t;
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1).answerMessage(-1);
  kx::PackerPage page;
  page.Drive1->addItem(t.q(t.root), t.q(t.root));
  page.Drive1->setCurrentIndex(page.Drive1->count() - 1);
  QSignalSpy running(&page, &kx::PackerPage::searchRunning);
  page.Command3->click();
  EXPECT_EQ(page.textExPacker[0]->text(), t.q(t.root / "a" / "b" / "ARJ.Exe"));
  EXPECT_EQ(page.textExPacker[1]->text(), "");
  EXPECT_EQ(page.textExPacker[2]->text(), t.q(t.root / "c" / "lhasa"));
  ASSERT_EQ(user->asked.size(), 2u);
  EXPECT_EQ(user->asked[0].text, "Das Programm arc.exe wurde nicht gefunden, Versuchen Sie es mit Manueller Eingabe.");
  EXPECT_EQ(user->asked[0].symbol, 2);
  ASSERT_EQ(running.count(), 2);
  EXPECT_TRUE(running[0][0].toBool());
  EXPECT_FALSE(running[1][0].toBool());
  EXPECT_EQ(page.Command3->text(), "Starten");
  EXPECT_TRUE(page.Drive1->isEnabled() && page.FramExTab[1]->isEnabled());
}

TEST(PackerPage, SecondClickCancelsTheSearch) {
  Tree t;
  kxtest::ScriptedUserScope user;
  kx::PackerPage page;
  page.Drive1->addItem(t.q(t.root), t.q(t.root));
  page.Drive1->setCurrentIndex(page.Drive1->count() - 1);
  page.textExPacker[3]->setText("alt");
  QTimer::singleShot(0, &page, [&page] {
    EXPECT_EQ(page.Command3->text(), "Abbrechen");
    page.Command3->click();
  });
  page.Command3->click();
  for (auto* box : page.textExPacker) EXPECT_EQ(box->text(), "");
  EXPECT_TRUE(user->asked.empty());
  EXPECT_EQ(page.Command3->text(), "Starten");
}

}  // namespace
