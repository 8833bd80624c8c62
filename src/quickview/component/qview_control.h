#pragma once
// QviewControl, the viewer control inside Qview32.ocx (see qview_api.h for
// the members and events the program uses). It shows one file: text in its
// recognised encoding, pictures through Qt's image readers, and anything in
// hexadecimal over a memory map. Files it cannot render are reported with
// ViewerNotFound and their type code; load failures with ErrorLoad. Search,
// copy and print work on whatever is shown. User-interface thread only; the
// control owns its mapped file, its search dialog and its printer.
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QWidget>

#include <cstdint>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;

namespace qview {

class HexView;
class SearchDialog;

// Codes of ErrorLoad.
namespace load {
inline constexpr int OutOfMemory = 2;
inline constexpr int BadFormat = 3;
inline constexpr int Folder = 4;
inline constexpr int NotFound = 259;
}  // namespace load

class QviewControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString ViewerFile READ viewerFile WRITE setViewerFile)
  Q_PROPERTY(int ViewerFileType READ viewerFileType)
  Q_PROPERTY(int ViewerDisplayMode READ viewerDisplayMode WRITE setViewerDisplayMode)
  Q_PROPERTY(QString ViewerSearch READ viewerSearch WRITE setViewerSearch)
  Q_PROPERTY(int ViewerCopy READ zero WRITE setViewerCopy)
  Q_PROPERTY(int ViewerPrint READ zero WRITE setViewerPrint)

 public:
  // Texts above this size are not laid out as text (that would freeze the
  // window); the control offers the hexadecimal display instead.
  static constexpr qint64 kTextLimit = 64ll << 20;

  explicit QviewControl(QWidget* parent = nullptr);
  ~QviewControl() override;

  QString viewerFile() const { return file_; }
  void setViewerFile(const QString& path);
  int viewerFileType() const { return fileType_; }
  int viewerDisplayMode() const { return displayMode_; }
  void setViewerDisplayMode(int mode) { displayMode_ = mode == 2 ? 2 : 0; }
  QString viewerSearch() const { return lastSearch_; }
  void setViewerSearch(const QString& text);
  void setViewerCopy(int value);
  void setViewerPrint(int value);
  int zero() const { return 0; }

  // Searches forward from the selection, once around the document; raises
  // SearchResult and selects a hit.
  bool search(const QString& text, bool caseSensitive);
  // Prints what is shown onto a printer that has been set up.
  void printOn(QPrinter& printer);

 signals:
  void Error(int Number, const QString& Description);
  void ErrorLoad(int pnError);
  void SearchResult(bool Found);
  void ViewerNotFound(int pnFileType);
  void DisplayModeChanged(int mode);

 private:
  void showBlank(const QString& note = {});
  void showHex();
  bool showText();
  bool showImage();
  bool searchHex(const QByteArray& needle, bool caseSensitive);

  QString file_;
  std::int16_t fileType_ = 0;
  int displayMode_ = 0;
  QString lastSearch_;
  bool lastCaseSensitive_ = false;
  QFile mapped_;
  QByteArrayView bytes_;
  QImage image_;

  QStackedWidget* pages_ = nullptr;
  QLabel* note_ = nullptr;
  QPushButton* toHex_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  HexView* hex_ = nullptr;
  QScrollArea* imageArea_ = nullptr;
  QLabel* picture_ = nullptr;
  SearchDialog* searchDialog_ = nullptr;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace qview
