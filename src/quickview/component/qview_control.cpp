#include "qview_control.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

#include "file_kind.h"
#include "hex_view.h"
#include "qview_api.h"
#include "search_dialog.h"
#include "text_decoding.h"

namespace qview {
namespace {

constexpr qint64 kSniffBytes = 64 * 1024;
// Hexadecimal output (copy, print) stops here: a selection of a whole
// gigabyte would otherwise fill the clipboard or thousands of pages.
constexpr qint64 kHexOutputRows = 1 << 16;
constexpr int kPathFileAccessError = 75;
constexpr int kPrinterError = 482;

bool SameAscii(char a, char b) { return std::tolower(uchar(a)) == std::tolower(uchar(b)); }

}  // namespace

QviewControl::QviewControl(QWidget* parent) : QWidget(parent) {
  setObjectName("Qview1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_);

  auto* notePage = new QWidget(pages_);
  notePage->setObjectName("NotePage");
  auto* noteLayout = new QVBoxLayout(notePage);
  note_ = new QLabel(notePage);
  note_->setObjectName("Note");
  note_->setWordWrap(true);
  note_->setAlignment(Qt::AlignCenter);
  toHex_ = new QPushButton("&Hexadezimaldarstellung", notePage);
  toHex_->setObjectName("cmdHexansicht");
  toHex_->hide();
  noteLayout->addStretch();
  noteLayout->addWidget(note_);
  noteLayout->addWidget(toHex_, 0, Qt::AlignCenter);
  noteLayout->addStretch();
  connect(toHex_, &QPushButton::clicked, this, [this] {
    displayMode_ = 2;
    setViewerFile(file_);
    emit DisplayModeChanged(displayMode_);
  });

  text_ = new QPlainTextEdit(pages_);
  text_->setObjectName("TextView");
  text_->setReadOnly(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFont("Courier New"));
  hex_ = new HexView(pages_);
  imageArea_ = new QScrollArea(pages_);
  imageArea_->setObjectName("ImageView");
  imageArea_->setAlignment(Qt::AlignCenter);
  picture_ = new QLabel(imageArea_);
  picture_->setObjectName("Picture");
  imageArea_->setWidget(picture_);
  for (QWidget* page : {notePage, static_cast<QWidget*>(text_), static_cast<QWidget*>(hex_), static_cast<QWidget*>(imageArea_)})
    pages_->addWidget(page);
}

QviewControl::~QviewControl() = default;

void QviewControl::showBlank(const QString& note) {
  note_->setText(note);
  toHex_->hide();
  pages_->setCurrentIndex(0);
}

void QviewControl::setViewerFile(const QString& path) {
  file_ = path;
  fileType_ = 0;
  hex_->setBytes({});
  text_->clear();
  picture_->clear();
  image_ = QImage();
  bytes_ = {};
  mapped_.close();
  showBlank();

  const QFileInfo info(path);
  if (info.isDir()) return emit ErrorLoad(load::Folder);
  if (!info.exists()) return emit ErrorLoad(load::NotFound);
  if (!info.isFile()) return emit ErrorLoad(load::BadFormat);
  mapped_.setFileName(path);
  if (!mapped_.open(QIODevice::ReadOnly)) return emit Error(kPathFileAccessError, mapped_.errorString());
  if (const qint64 size = mapped_.size(); size > 0) {
    const uchar* p = mapped_.map(0, size);
    if (!p) return emit ErrorLoad(load::OutOfMemory);
    bytes_ = QByteArrayView(reinterpret_cast<const char*>(p), size);
  }
  fileType_ = FileTypeOf(path, bytes_.first(std::min<qint64>(bytes_.size(), kSniffBytes)));
  if (displayMode_ == 2 || fileType_ == type::Hex) return showHex();
  if (fileType_ == type::Text) {
    showText();
  } else if (fileType_ == type::Bitmap || fileType_ == type::Image) {
    if (!showImage()) emit ErrorLoad(load::BadFormat);
  } else {
    emit ViewerNotFound(fileType_);
  }
}

void QviewControl::showHex() {
  hex_->setBytes(bytes_);
  pages_->setCurrentWidget(hex_);
}

bool QviewControl::showText() {
  if (bytes_.size() > kTextLimit) {
    showBlank(QString("Die Datei ist mit %1 MB zu groß für die Textdarstellung.\n"
                      "Sie kann in der Hexadezimaldarstellung angezeigt werden.")
                  .arg(bytes_.size() >> 20));
    toHex_->show();
    return false;
  }
  text_->setPlainText(DecodeText(bytes_, DetectEncoding(bytes_)));
  pages_->setCurrentWidget(text_);
  return true;
}

bool QviewControl::showImage() {
  QImageReader reader(file_);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);
  image_ = reader.read();
  if (image_.isNull()) return false;
  picture_->setPixmap(QPixmap::fromImage(image_));
  picture_->adjustSize();
  pages_->setCurrentWidget(imageArea_);
  return true;
}

void QviewControl::setViewerSearch(const QString& text) {
  if (!text.isEmpty()) {
    search(text, false);
    return;
  }
  if (!searchDialog_) {
    searchDialog_ = new SearchDialog(this);
    connect(searchDialog_, &SearchDialog::searchRequested, this, &QviewControl::search);
  }
  searchDialog_->txtSuchen->setText(lastSearch_);
  searchDialog_->txtSuchen->selectAll();
  searchDialog_->show();
  searchDialog_->raise();
  searchDialog_->activateWindow();
}

bool QviewControl::search(const QString& text, bool caseSensitive) {
  lastSearch_ = text;
  lastCaseSensitive_ = caseSensitive;
  bool found = false;
  if (pages_->currentWidget() == text_) {
    const QTextDocument::FindFlags flags = caseSensitive ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
    const QTextCursor before = text_->textCursor();
    found = text_->find(text, flags);
    if (!found) {  // once around from the top
      text_->moveCursor(QTextCursor::Start);
      found = text_->find(text, flags);
      if (!found) text_->setTextCursor(before);
    }
  } else if (pages_->currentWidget() == hex_) {
    found = searchHex(text.toUtf8(), caseSensitive);
  }
  emit SearchResult(found);
  return found;
}

bool QviewControl::searchHex(const QByteArray& needle, bool caseSensitive) {
  const char* begin = bytes_.data();
  const char* end = begin + bytes_.size();
  const auto find = [&](const char* from) {
    return caseSensitive ? std::search(from, end, needle.begin(), needle.end())
                         : std::search(from, end, needle.begin(), needle.end(), SameAscii);
  };
  const qint64 start = hex_->selectionEnd() > hex_->selectionStart() ? hex_->selectionStart() + 1 : 0;
  const char* hit = find(begin + std::min<qint64>(start, bytes_.size()));
  if (hit == end && start > 0) hit = find(begin);
  if (hit == end || needle.isEmpty()) return false;
  hex_->select(hit - begin, hit - begin + needle.size());
  return true;
}

void QviewControl::setViewerCopy(int value) {
  if (value != 1) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (pages_->currentWidget() == text_) {
    text_->copy();
  } else if (pages_->currentWidget() == imageArea_) {
    clipboard->setImage(image_);
  } else if (pages_->currentWidget() == hex_ && hex_->selectionEnd() > hex_->selectionStart()) {
    const qint64 first = hex_->selectionStart() / HexView::kBytesPerRow;
    const qint64 last = std::min((hex_->selectionEnd() - 1) / HexView::kBytesPerRow, first + kHexOutputRows - 1);
    QString rows;
    for (qint64 row = first; row <= last; ++row) rows += hex_->rowText(row) + '\n';
    clipboard->setText(rows);
  }
}

void QviewControl::setViewerPrint(int value) {
  if (value != 1) return;
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setDocName(QFileInfo(file_).fileName());
  auto* dialog = new QPrintDialog(printer_.get(), this);
  dialog->setObjectName("dlgDrucken");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this] { printOn(*printer_); });
  dialog->open();
}

void QviewControl::printOn(QPrinter& printer) {
  QWidget* shown = pages_->currentWidget();
  if (shown == text_) {
    text_->document()->print(&printer);
    return;
  }
  QPainter painter;
  if (!painter.begin(&printer)) return emit Error(kPrinterError, "Der Drucker konnte nicht angesprochen werden.");
  const QRect page = painter.viewport();
  if (shown == imageArea_) {
    const QSize size = image_.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image_.rect());
    painter.drawImage(0, 0, image_);
  } else if (shown == hex_) {
    // The selected rows, else the rows from the first one in sight.
    const bool selected = hex_->selectionEnd() > hex_->selectionStart();
    const qint64 first = selected ? hex_->selectionStart() / HexView::kBytesPerRow : hex_->topRow();
    const qint64 last = std::min(selected ? (hex_->selectionEnd() - 1) / HexView::kBytesPerRow : hex_->rowCount() - 1,
                                 first + kHexOutputRows - 1);
    painter.setFont(QFont("Courier New", 9));
    const int lh = painter.fontMetrics().height();
    const int perPage = std::max(1, page.height() / lh);
    for (qint64 row = first; row <= last; ++row) {
      if (row > first && (row - first) % perPage == 0) printer.newPage();
      painter.drawText(0, int((row - first) % perPage) * lh + painter.fontMetrics().ascent(), hex_->rowText(row));
    }
  }
  painter.end();
}

}  // namespace qview

QWidget* QviewCreateControl(QWidget* parent) { return new qview::QviewControl(parent); }
