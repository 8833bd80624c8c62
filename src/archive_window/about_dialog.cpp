#include "archive_window/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "archive_window/toolbar_icons.h"
#include "platform/user_seam.h"

namespace kx {

const char* const kAboutText =
    "Kravix Version 1.0\n"
    "Archivverwaltung für ZIP, ARJ, ARC, LHA und ZOO";

FrmInfo::FrmInfo(const QIcon& icon, QWidget* parent) : QDialog(parent) {
  setObjectName("frmInfo");
  setWindowTitle("Info über Kravix");
  // Installed, the program's icon comes from the theme; a build tree has
  // only the pictures it draws itself.
  const QIcon shown = !icon.isNull() ? icon : QIcon::fromTheme("kravix", ToolbarIcon("öffnen"));
  setWindowIcon(shown);
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(shown.pixmap(48, 48));
  Image1->setAlignment(Qt::AlignTop);
  Label1 = new QLabel(QString::fromUtf8(kAboutText), this);
  Label1->setObjectName("Label1");
  Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  CommandOK = new QPushButton("OK", this);
  CommandOK->setObjectName("CommandOK");
  CommandOK->setDefault(true);
  connect(CommandOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(Image1);
  top->addSpacing(12);
  top->addWidget(Label1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CommandOK);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

void ShowAbout(QWidget* owner) {
  FrmInfo dialog(owner ? owner->windowIcon() : QIcon(), owner);
  Seam().runModal(dialog);
}

}  // namespace kx
