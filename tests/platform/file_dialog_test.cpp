// The real file dialog behind the seam, as the user sees it: which filters it
// offers, which files each one shows, and in which language it speaks.
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>

#include "platform/user_seam.h"
#include "support/qt_print.h"
#include "support/test_support.h"

namespace kx {
namespace {

// Runs inspect on the open dialog that QtUser shows, then cancels it.
void WithOpenDialog(const QString& filter, const QString& folder, const std::function<void(QFileDialog&)>& inspect) {
  QTimer::singleShot(0, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(top);
      if (!dialog || !dialog->isVisible()) continue;
      inspect(*dialog);
      dialog->reject();
      return;
    }
    ADD_FAILURE() << "no file dialog shown";
  });
  EXPECT_EQ(QtUser().chooseOpenFile(nullptr, "Archiv Öffnen", filter, folder), "");
}

// The names the dialog's list shows, sorted.
QString Shown(const QFileDialog& dialog) {
  const auto* list = dialog.findChild<QListView*>("listView");
  QStringList names;
  for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
    names << list->model()->index(r, 0, list->rootIndex()).data().toString();
  names.sort();
  return names.join(' ');
}

TEST(FileDialog, EachFilterShowsItsFilesInEitherLetterCase) {
  kxtest::TempDir dir;
  for (const char* name : {"a.zip", "B.ZIP", "c.zip.001", "d.Arj", "liesmich", "x.txt"}) kxtest::WriteFile(dir / name, "x");
  const struct {
    const char* filter;
    std::vector<std::pair<QString, QString>> offers;  // the text in the list of types, the files shown
  } rows[] = {
      {"Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001|Alle Archive "
       "(*.ZIP;*.001;*.ARC;*.ARJ;*.LZH;*.ZOO)|*.ARJ;*.ARC;*.LZH;*.ZIP;*.ZOO;*.001",
       {{"Zip Archiv (*.ZIP)", "B.ZIP a.zip"},
        {"ZipMultivolume (*.001)", "c.zip.001"},
        {"Alle Archive (*.ZIP;*.001;*.ARC;*.ARJ;*.LZH;*.ZOO)", "B.ZIP a.zip c.zip.001 d.Arj"}}},
      {"UUE Dateien(*.UUE)|*.UUE", {{"UUE Dateien(*.UUE)", ""}}},
      {"Alle Dateien(*.*)|*.*", {{"Alle Dateien(*.*)", "B.ZIP a.zip c.zip.001 d.Arj liesmich x.txt"}}},
  };
  for (const auto& row : rows) {
    WithOpenDialog(row.filter, QString::fromStdString(dir.path().string()), [&](QFileDialog& dialog) {
      const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
      ASSERT_EQ(types->count(), static_cast<int>(row.offers.size())) << row.filter;
      for (int i = 0; i < types->count(); ++i) {
        const auto& [text, files] = row.offers[static_cast<std::size_t>(i)];
        EXPECT_EQ(types->itemText(i), text);
        dialog.selectNameFilter(dialog.nameFilters().at(i));
        QTest::qWaitFor([&] { return Shown(dialog) == files; }, 2000);
        EXPECT_EQ(Shown(dialog), files) << text.toStdString();
      }
    });
  }
}

TEST(FileDialog, QtsOwnTextsAreGerman) {
  WithOpenDialog("Zip Archiv (*.ZIP)|*.ZIP", QDir::tempPath(), [](QFileDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLabel*>("lookInLabel")->text(), "Suchen in:");
    EXPECT_EQ(dialog.findChild<QLabel*>("fileNameLabel")->text(), "Datei&name:");
    EXPECT_EQ(dialog.findChild<QLabel*>("fileTypeLabel")->text(), "Dateien des Typs:");
    EXPECT_EQ(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(), "Abbrechen");
  });
  QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Abbrechen");
  EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), "&Ja");
  EXPECT_EQ(buttons.button(QDialogButtonBox::No)->text(), "&Nein");
  // The colour and font pickers, by the first words they show.
  auto firstLabel = [](const QDialog& d) {
    const auto labels = d.findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.first()->text();
  };
  EXPECT_EQ(firstLabel(QColorDialog()), "Grundfar&ben");
  EXPECT_EQ(firstLabel(QFontDialog()), "&Schriftart");
}

}  // namespace
}  // namespace kx
