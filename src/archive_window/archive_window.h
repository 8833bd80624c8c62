#pragma once
// frmDosShell, the archive window: for now the program's main window with the
// entry names of the listed archive and the status line. It lives for the
// whole run once shown; user-interface thread only.
#include <QMainWindow>
#include <QString>

class QListWidget;

namespace kx {

class ArchiveWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit ArchiveWindow(QWidget* parent = nullptr);

  void setStatusMessage(const QString& text);
  // Reads the archive's directory and shows its entries; failures appear in
  // the status line.
  void listArchive(const QString& path);

  QListWidget* ListView1 = nullptr;
};

// Shows the window, creating it on first use.
ArchiveWindow& ShowArchiveWindow();

}  // namespace kx
