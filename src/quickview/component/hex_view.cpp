#include "hex_view.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace qview {
namespace {

constexpr int kOffsetDigits = 10;  // up to a terabyte
constexpr int kHexColumn = kOffsetDigits + 2;
constexpr int kCharColumn = kHexColumn + HexView::kBytesPerRow * 3 + 1;

char HexDigit(int v) { return "0123456789ABCDEF"[v & 15]; }

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("HexView");
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
}

void HexView::setBytes(QByteArrayView bytes) {
  bytes_ = bytes;
  selStart_ = selEnd_ = anchor_ = 0;
  updateScrollBar();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

int HexView::lineHeight() const { return fontMetrics().height(); }
int HexView::charWidth() const { return fontMetrics().horizontalAdvance(QLatin1Char('0')); }
int HexView::visibleRows() const { return std::max(1, viewport()->height() / lineHeight()); }

void HexView::updateScrollBar() {
  const qint64 scrollable = std::max<qint64>(0, rowCount() - visibleRows());
  rowsPerStep_ = scrollable / std::numeric_limits<int>::max() + 1;
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, int(scrollable / rowsPerStep_));
  bar->setPageStep(std::max(1, int(visibleRows() / rowsPerStep_)));
  horizontalScrollBar()->setRange(0, std::max(0, (kCharColumn + kBytesPerRow + 1) * charWidth() - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
}

qint64 HexView::topRow() const { return qint64(verticalScrollBar()->value()) * rowsPerStep_; }

void HexView::scrollToRow(qint64 row) { verticalScrollBar()->setValue(int(std::max<qint64>(0, row) / rowsPerStep_)); }

void HexView::select(qint64 start, qint64 end) {
  selStart_ = std::clamp<qint64>(std::min(start, end), 0, bytes_.size());
  selEnd_ = std::clamp<qint64>(std::max(start, end), 0, bytes_.size());
  const qint64 row = selStart_ / kBytesPerRow;
  if (row < topRow() || row >= topRow() + visibleRows()) scrollToRow(row - visibleRows() / 2);
  viewport()->update();
}

QString HexView::rowText(qint64 row) const {
  const qint64 first = row * kBytesPerRow;
  const qint64 n = std::min<qint64>(kBytesPerRow, bytes_.size() - first);
  QString line(kCharColumn + kBytesPerRow, QLatin1Char(' '));
  for (int i = 0; i < kOffsetDigits; ++i) line[kOffsetDigits - 1 - i] = QLatin1Char(HexDigit(int(first >> (4 * i))));
  for (qint64 i = 0; i < n; ++i) {
    const auto b = uchar(bytes_[first + i]);
    line[kHexColumn + 3 * i] = QLatin1Char(HexDigit(b >> 4));
    line[kHexColumn + 3 * i + 1] = QLatin1Char(HexDigit(b));
    line[kCharColumn + i] = b >= 0x20 && b < 0x7f ? QLatin1Char(char(b)) : QLatin1Char('.');
  }
  line.truncate(kCharColumn + n);
  return line;
}

void HexView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), palette().base());
  const int lh = lineHeight(), cw = charWidth(), ascent = fontMetrics().ascent();
  const int x0 = -horizontalScrollBar()->value();
  const qint64 top = topRow();
  const qint64 last = std::min(rowCount(), top + visibleRows() + 1);
  for (qint64 row = top; row < last; ++row) {
    const int y = int(row - top) * lh;
    const qint64 first = row * kBytesPerRow;
    // The selected bytes of this row, in both columns.
    const qint64 a = std::max(selStart_, first), b = std::min(selEnd_, first + kBytesPerRow);
    if (a < b) {
      const QBrush hl = palette().highlight();
      p.fillRect(x0 + (kHexColumn + int(a - first) * 3) * cw, y, (int(b - a) * 3 - 1) * cw, lh, hl);
      p.fillRect(x0 + (kCharColumn + int(a - first)) * cw, y, int(b - a) * cw, lh, hl);
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawText(x0, y + ascent, rowText(row));
  }
}

void HexView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBar();
}

qint64 HexView::offsetAt(QPoint pos) const {
  const qint64 row = topRow() + pos.y() / lineHeight();
  const int col = (pos.x() + horizontalScrollBar()->value()) / charWidth();
  int byte = col >= kCharColumn ? col - kCharColumn : (col - kHexColumn) / 3;
  byte = std::clamp(byte, 0, kBytesPerRow - 1);
  return std::clamp<qint64>(row * kBytesPerRow + byte, 0, bytes_.size());
}

void HexView::mousePressEvent(QMouseEvent* event) {
  anchor_ = offsetAt(event->position().toPoint());
  selStart_ = selEnd_ = anchor_;
  viewport()->update();
}

void HexView::mouseMoveEvent(QMouseEvent* event) {
  const qint64 at = offsetAt(event->position().toPoint());
  selStart_ = std::min(anchor_, at);
  selEnd_ = std::min<qint64>(std::max(anchor_, at) + 1, bytes_.size());
  viewport()->update();
}

void HexView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Home: if (event->modifiers() & Qt::ControlModifier) bar->setValue(0); break;
    case Qt::Key_End: if (event->modifiers() & Qt::ControlModifier) bar->setValue(bar->maximum()); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
}

}  // namespace qview
