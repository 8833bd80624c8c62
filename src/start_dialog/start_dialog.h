#pragma once
// frmStart, the start dialog: reopen one of the last four archives or create
// a new ZIP or ZIP multi-volume archive. Created for one use at an
// interactive start, shown modally over the archive window through the user
// seam; it does no archive work itself: once it is closed, ShowStartDialog
// hands the choice to the archive window (viewzip, explorer_neuarchiv).
// Closing it, whichever way, stores "StartForm". User-interface thread only.
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>

#include <array>
#include <cstdint>

class QCheckBox;
class QDateTime;
class QGroupBox;
class QLabel;
class QListWidget;
class QLocale;
class QPainter;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTreeWidget;

namespace kx {

class ArchiveWindow;
struct LocalDateTime;

class FrmStart : public QDialog {
  Q_OBJECT
 public:
  // What "&Ok" chose, carried out once the dialog is closed.
  enum class Choice { Nothing, RecentArchive, NewArchive };

  // Form_Load: fills both lists from the stored recent archives.
  explicit FrmStart(QWidget* parent = nullptr);

  Choice choice() const { return choice_; }
  // The file-dialog filter of the chosen kind of new archive.
  const QString& newArchiveFilter() const { return newArchiveFilter_; }

  void TabStrip1_Click();
  void ListView1_Click();
  // 0 "&Abbrechen", 1 "&Ok".
  void Command1_Click(int index);
  // Draws text at (X, Y) of the client area in the current pen colour with
  // a font made from the dialog font: character cell height × width pixels,
  // turned angle degrees counter-clockwise about (X, Y).
  void PrintText(QPainter& dc, const QString& text, std::int16_t X, std::int16_t Y, std::int32_t angle,
                 std::int16_t height, std::int16_t width);

  QGroupBox* Frame1 = nullptr;
  QTabBar* TabStrip1 = nullptr;
  QStackedWidget* lists_ = nullptr;  // ListView1 and ListView2, one above the other
  QTreeWidget* ListView1 = nullptr;
  QListWidget* ListView2 = nullptr;
  QLabel* Label1 = nullptr;
  QCheckBox* ssCheck1 = nullptr;
  std::array<QPushButton*, 2> Command1{};  // 0 "&Abbrechen", 1 "&Ok"
  QIcon ImageList1, ImageList2;            // image 1 of each list
  QFont dcFont;                            // the font PrintText builds on

 protected:
  void paintEvent(QPaintEvent* event) override;  // Form_Paint
  void done(int result) override;                // Form_QueryUnload: every close

 private:
  Choice choice_ = Choice::Nothing;
  QString newArchiveFilter_;
  QString archiveBefore_;
};

// The vertical line of text drawn along the dialog's right edge.
extern const QString kStartDialogLine;

// A file time as the list shows it: the short date (four-digit year), one
// blank and the first five characters of the time with seconds, both in
// the locale's format ("05.12.1997 14:23"; "9:05:" where hours have no
// leading zero).
QString StartListTime(const LocalDateTime& t, const QLocale& locale);

// "StartForm" read as a number or Boolean: true (show the dialog) when it
// is 0, missing or unreadable.
bool StartDialogWanted();

// Shows frmStart modally over the window, then lists the chosen archive or
// starts the chosen kind of new archive.
void ShowStartDialog(ArchiveWindow& window);

}  // namespace kx
