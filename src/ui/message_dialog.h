#pragma once
// frmDialog, the program's own message dialog, and ShowMessage, through which
// every message and question of the program goes. The dialog is created on
// first use, shown modally through the user seam for each message and hidden
// afterwards; it keeps the answer of its last use in its tag ("0" after
// "&Abbrechen", "-1" after "&Übernehmen"). User-interface thread only.
#include <QDialog>
#include <QPixmap>
#include <QString>

#include <array>

class QLabel;
class QPushButton;
class QFrame;

namespace kx {

// Symbol numbers: 1 questions and notes, 2 errors, 3 information.
namespace symbol {
inline constexpr int Question = 1;
inline constexpr int Error = 2;
inline constexpr int Information = 3;
}  // namespace symbol

class FrmDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FrmDialog(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLabel* Image1 = nullptr;
  std::array<QPixmap, 3> ImageList1;     // pictures 1, 2, 3
  std::array<QFrame*, 2> Line1{};        // decoration
  std::array<QPushButton*, 2> Command1{};  // 0 "&Abbrechen", 1 "&Übernehmen"

  const QString& tag() const { return tag_; }
  void setTag(const QString& tag) { tag_ = tag; }

  void Command1_Click(int index);

 private:
  QString tag_;
};

// The dialog, created when first asked for.
FrmDialog& TheMessageDialog();

// Shows text under title with the given symbol; -1 for "&Übernehmen", 0 for
// "&Abbrechen" (also when the dialog is closed otherwise).
int ShowMessage(const QString& text, const QString& title, int symbol);

}  // namespace kx
