#pragma once
// frmInfo, the About box of "&Hilfe" / "&Info": the icon of the window that
// opens it, "Kravix Version 1.0" and a second line, and an "OK" button. It is
// made for each showing, modally through the user seam, and reports nothing.
// User-interface thread only.
#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace kx {

// The two lines of the box, joined by a line break.
extern const char* const kAboutText;

class FrmInfo : public QDialog {
  Q_OBJECT
 public:
  // icon: the owner's window icon; a null icon gives the program's own.
  FrmInfo(const QIcon& icon, QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* CommandOK = nullptr;
};

// Shows the box for the window, modally.
void ShowAbout(QWidget* owner);

}  // namespace kx
