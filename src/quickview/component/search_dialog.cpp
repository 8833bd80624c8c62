#include "search_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qview {

SearchDialog::SearchDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSuchen");
  setWindowTitle("Suchen");
  auto* layout = new QGridLayout(this);
  txtSuchen = new QLineEdit(this);
  txtSuchen->setObjectName("txtSuchen");
  auto* label = new QLabel("Suchen &nach:", this);
  label->setBuddy(txtSuchen);
  chkGross = new QCheckBox("&Groß-/Kleinschreibung beachten", this);
  chkGross->setObjectName("chkGross");
  cmdWeitersuchen = new QPushButton("&Weitersuchen", this);
  cmdWeitersuchen->setObjectName("cmdWeitersuchen");
  cmdWeitersuchen->setDefault(true);
  cmdAbbrechen = new QPushButton("Abbrechen", this);
  cmdAbbrechen->setObjectName("cmdAbbrechen");
  layout->addWidget(label, 0, 0);
  layout->addWidget(txtSuchen, 0, 1);
  layout->addWidget(cmdWeitersuchen, 0, 2);
  layout->addWidget(chkGross, 1, 0, 1, 2);
  layout->addWidget(cmdAbbrechen, 1, 2);
  connect(cmdAbbrechen, &QPushButton::clicked, this, &QDialog::hide);
  connect(cmdWeitersuchen, &QPushButton::clicked, this, [this] {
    if (!txtSuchen->text().isEmpty()) emit searchRequested(txtSuchen->text(), chkGross->isChecked());
  });
}

}  // namespace qview
