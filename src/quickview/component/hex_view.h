#pragma once
// The hexadecimal display: offset, sixteen bytes in hex and as characters per
// row, over bytes the caller keeps mapped. Only the rows in sight are painted,
// so a file of any size opens and scrolls at once. A selection (from the
// mouse or a search hit) is a byte range. User-interface thread only.
#include <QAbstractScrollArea>
#include <QByteArrayView>

#include <cstdint>

namespace qview {

class HexView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kBytesPerRow = 16;

  explicit HexView(QWidget* parent = nullptr);

  // The bytes shown; they must stay valid until the next call.
  void setBytes(QByteArrayView bytes);
  QByteArrayView bytes() const { return bytes_; }

  // The first row in sight; scrolling moves it.
  qint64 topRow() const;
  void scrollToRow(qint64 row);
  int visibleRows() const;

  // Selection [start, end); empty when start == end.
  void select(qint64 start, qint64 end);
  qint64 selectionStart() const { return selStart_; }
  qint64 selectionEnd() const { return selEnd_; }

  // One row as painted: "00000010  41 42 ...  AB..".
  QString rowText(qint64 row) const;
  qint64 rowCount() const { return (bytes_.size() + kBytesPerRow - 1) / kBytesPerRow; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void updateScrollBar();
  qint64 offsetAt(QPoint pos) const;
  int lineHeight() const;
  int charWidth() const;

  QByteArrayView bytes_;
  // The scroll bar counts rows; past its int range one step is several rows.
  qint64 rowsPerStep_ = 1;
  qint64 selStart_ = 0, selEnd_ = 0, anchor_ = 0;
};

}  // namespace qview
