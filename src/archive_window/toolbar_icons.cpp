#include "archive_window/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace kx {
namespace {

constexpr int kSize = 24;
const QColor kOutline(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kFolder(240, 196, 72);
const QColor kGreen(46, 139, 87);
const QColor kRed(200, 40, 40);
const QColor kBlue(40, 90, 170);

void Sheet(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.topLeft());
  path.lineTo(r.right() - 5, r.top());
  path.lineTo(r.right(), r.top() + 5);
  path.lineTo(r.bottomRight());
  path.lineTo(r.bottomLeft());
  path.closeSubpath();
  p.setPen(QPen(kOutline, 1.2));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.setPen(QPen(QColor(120, 120, 160), 1));
  for (double y = r.top() + 8; y < r.bottom() - 2; y += 3) p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Folder(QPainter& p, QRectF r) {
  p.setPen(QPen(kOutline, 1.2));
  p.setBrush(kFolder.darker(120));
  p.drawRect(QRectF(r.left(), r.top(), r.width() * 0.45, 4));
  p.setBrush(kFolder);
  p.drawRect(QRectF(r.left(), r.top() + 3, r.width(), r.height() - 3));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
  p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::max(1.0, std::hypot((to - from).x(), (to - from).y()));
  const QPointF n(-d.y(), d.x());
  p.drawLine(to, to - d * 5 + n * 4);
  p.drawLine(to, to - d * 5 - n * 4);
}

void Draw(QPainter& p, const QString& key) {
  if (key == "öffnen") {
    Folder(p, QRectF(2, 7, 20, 14));
    Arrow(p, QPointF(12, 16), QPointF(12, 2), kBlue);
  } else if (key == "neu") {
    Sheet(p, QRectF(4, 2, 14, 19));
    p.setPen(QPen(kGreen, 2.4));
    p.drawLine(QPointF(18, 14), QPointF(18, 22));
    p.drawLine(QPointF(14, 18), QPointF(22, 18));
  } else if (key == "update") {
    Sheet(p, QRectF(3, 3, 13, 18));
    Arrow(p, QPointF(22, 12), QPointF(11, 12), kGreen);
  } else if (key == "delete") {
    Sheet(p, QRectF(3, 2, 14, 19));
    p.setPen(QPen(kRed, 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(21, 21));
    p.drawLine(QPointF(21, 12), QPointF(12, 21));
  } else if (key == "dateibemerkung") {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(QColor(255, 250, 200));
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 20, 13), 3, 3);
    bubble.moveTo(7, 16);
    bubble.lineTo(6, 21);
    bubble.lineTo(12, 16);
    p.drawPath(bubble.simplified());
    p.setPen(QPen(kOutline, 1));
    p.drawLine(QPointF(6, 8), QPointF(18, 8));
    p.drawLine(QPointF(6, 11), QPointF(15, 11));
  } else if (key == "extrakt") {
    Folder(p, QRectF(2, 9, 20, 13));
    Arrow(p, QPointF(12, 1), QPointF(12, 16), kGreen);
  } else if (key == "einstellungen") {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(QColor(160, 160, 170));
    QPainterPath gear;
    for (int i = 0; i < 8; ++i) {
      QTransform t;
      t.translate(12, 12);
      t.rotate(45.0 * i);
      gear.addPolygon(t.map(QPolygonF(QRectF(-2, -11, 4, 5))));
    }
    gear.addEllipse(QPointF(12, 12), 7.5, 7.5);
    p.drawPath(gear.simplified());
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(12, 12), 3, 3);
  } else if (key == "ansicht") {
    p.setPen(QPen(kOutline, 1));
    for (int row = 0; row < 4; ++row) {
      p.setBrush(row % 2 ? kFolder : kBlue);
      p.drawRect(QRectF(3, 3 + row * 5, 4, 3));
      p.drawLine(QPointF(10, 4.5 + row * 5), QPointF(21, 4.5 + row * 5));
    }
  }
}

}  // namespace

QIcon ToolbarIcon(const QString& key) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  Draw(p, key);
  p.end();
  return QIcon(pixmap);
}

}  // namespace kx
