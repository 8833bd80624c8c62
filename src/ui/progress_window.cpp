#include "ui/progress_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/cancel.h"
#include "ui/animation_control.h"
#include "ui/window_colour.h"

namespace kx {
namespace {

QPointer<ProgressWindow>& ProgressInstance() {
  static QPointer<ProgressWindow> window;
  return window;
}

AnimationControl* MakeAnimation(QWidget* parent) {
  auto* animation = new AnimationControl(parent);
  animation->setObjectName("Animation1");
  animation->setMinimumSize(272, 60);
  return animation;
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("Progress");
  setWindowTitle("Progress...");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseWindowColour(*this);

  Animation1 = MakeAnimation(this);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setTextFormat(Qt::PlainText);
  Label1->setMinimumWidth(340);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  Command1 = new QPushButton("&Abbrechen", this);
  Command1->setObjectName("Command1");
  Command1->setMinimumWidth(96);
  connect(Command1, &QPushButton::clicked, this, &ProgressWindow::Command1_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Command1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->addWidget(Animation1, 0, Qt::AlignHCenter);
  layout->addWidget(Label1);
  layout->addWidget(ProgressBar1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ProgressWindow::Command1_Click() { KxCancel(); }

ProgressWindow& TheProgressWindow() {
  auto& window = ProgressInstance();
  if (!window) window = new ProgressWindow;
  return *window;
}

bool ProgressWindowLoaded() { return !ProgressInstance().isNull(); }

void CloseProgressWindow() {
  auto& window = ProgressInstance();
  if (!window) return;
  // Unloaded at once (not later), so that a following reference loads anew.
  delete window.data();
}

FrmKommando::FrmKommando(QWidget* parent) : QDialog(parent) {
  setObjectName("frmkommando");
  setWindowTitle("Kravix - Kommandozeile...");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseWindowColour(*this);

  Animation1 = MakeAnimation(this);
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setTextFormat(Qt::PlainText);
  Label1->setWordWrap(true);
  Label1->setMinimumWidth(380);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 14);
  layout->addWidget(Animation1, 0, Qt::AlignHCenter);
  layout->addWidget(Label1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kx
