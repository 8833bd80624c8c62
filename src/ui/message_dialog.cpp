#include "ui/message_dialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/user_seam.h"
#include "ui/window_colour.h"

namespace kx {
namespace {

constexpr int kSymbolSize = 32;

// A round badge with a white mark: the question mark, the cross of an error
// and the "i" of a note.
QPixmap DrawSymbol(int number) {
  QPixmap pixmap(kSymbolSize, kSymbolSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = number == symbol::Error ? QColor(0xc8, 0x1e, 0x1e) : QColor(0x1e, 0x5a, 0xc8);
  p.setPen(QPen(fill.darker(140), 1.5));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1.5, 1.5, kSymbolSize - 3, kSymbolSize - 3));
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
  if (number == symbol::Error) {
    p.drawLine(QPointF(10, 10), QPointF(22, 22));
    p.drawLine(QPointF(22, 10), QPointF(10, 22));
  } else if (number == symbol::Information) {
    p.drawPoint(QPointF(16, 9));
    p.drawLine(QPointF(16, 14), QPointF(16, 24));
  } else {
    QPainterPath hook;
    hook.moveTo(11.5, 12);
    hook.cubicTo(11.5, 6.5, 20.5, 6.5, 20.5, 12);
    hook.cubicTo(20.5, 15.5, 16, 15.5, 16, 19);
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.drawPoint(QPointF(16, 24.5));
  }
  return pixmap;
}

}  // namespace

FrmDialog::FrmDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmDialog");
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseWindowColour(*this);

  for (int i = 0; i < 3; ++i) ImageList1[i] = DrawSymbol(i + 1);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setFixedSize(kSymbolSize, kSymbolSize);
  Image1->setAlignment(Qt::AlignTop);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  Label1->setTextFormat(Qt::PlainText);
  Label1->setMinimumWidth(300);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // The etched line above the buttons: a dark and a light line.
  for (int i = 0; i < 2; ++i) {
    Line1[i] = new QFrame(this);
    Line1[i]->setObjectName(QString("Line1_%1").arg(i));
    Line1[i]->setFrameShape(QFrame::HLine);
    Line1[i]->setFrameShadow(i == 0 ? QFrame::Sunken : QFrame::Plain);
    Line1[i]->setForegroundRole(i == 0 ? QPalette::Dark : QPalette::Light);
    Line1[i]->setFixedHeight(1);
  }

  Command1[0] = new QPushButton("&Abbrechen", this);
  Command1[1] = new QPushButton("&Übernehmen", this);
  for (int i = 0; i < 2; ++i) {
    Command1[i]->setObjectName(QString("Command1_%1").arg(i));
    Command1[i]->setMinimumWidth(96);
    connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
  }
  Command1[1]->setDefault(true);

  auto* top = new QHBoxLayout;
  top->setSpacing(14);
  top->addWidget(Image1, 0, Qt::AlignTop);
  top->addWidget(Label1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Command1[1]);
  buttons->addWidget(Command1[0]);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(top, 1);
  layout->addSpacing(10);
  layout->addWidget(Line1[0]);
  layout->setSpacing(0);
  layout->addWidget(Line1[1]);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FrmDialog::Command1_Click(int index) {
  tag_ = index == 1 ? "-1" : "0";
  hide();
}

FrmDialog& TheMessageDialog() {
  static QPointer<FrmDialog> dialog;
  if (!dialog) dialog = new FrmDialog;
  return *dialog;
}

int ShowMessage(const QString& text, const QString& title, int symbolNumber) {
  FrmDialog& dialog = TheMessageDialog();
  dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("Sicherheitsabfrage") : title);
  dialog.Label1->setText(text.isEmpty() ? QStringLiteral("Es wurde keine Meldung übergeben...") : text);
  // A symbol number outside 1..3 shows no picture rather than failing.
  if (symbolNumber >= 1 && symbolNumber <= 3)
    dialog.Image1->setPixmap(dialog.ImageList1[symbolNumber - 1]);
  else
    dialog.Image1->clear();
  // Closing the window without a button counts as "&Abbrechen".
  dialog.setTag("0");
  Seam().runModal(dialog);
  return dialog.tag().toInt();
}

}  // namespace kx
