#pragma once
// The viewer control's own search dialog "Suchen": a text, the case switch and
// "&Weitersuchen", which asks the control to search on. Not modal, so the
// document stays usable while it is open; owned by the control.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace qview {

class SearchDialog : public QDialog {
  Q_OBJECT
 public:
  explicit SearchDialog(QWidget* parent);

  QLineEdit* txtSuchen = nullptr;
  QCheckBox* chkGross = nullptr;
  QPushButton* cmdWeitersuchen = nullptr;
  QPushButton* cmdAbbrechen = nullptr;

 signals:
  void searchRequested(const QString& text, bool caseSensitive);
};

}  // namespace qview
