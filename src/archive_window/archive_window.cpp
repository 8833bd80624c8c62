#include "archive_window/archive_window.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPointer>
#include <QStatusBar>

#include "engine/kxzip.h"
#include "engine/result_text.h"
#include "ui/window_colour.h"

namespace kx {

ArchiveWindow::ArchiveWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmDosShell");
  setWindowTitle("Kravix");
  UseWindowColour(*this);
  ListView1 = new QListWidget(this);
  ListView1->setObjectName("ListView1");
  setCentralWidget(ListView1);
  statusBar()->setObjectName("StatusBar1");
  resize(640, 420);
}

void ArchiveWindow::setStatusMessage(const QString& text) { statusBar()->showMessage(text); }

void ArchiveWindow::listArchive(const QString& path) {
  KxZip zip;
  zip.ZipFile = path.toStdString();
  zip.SetAction(action::ReadDirectory);
  ListView1->clear();
  setWindowTitle("Kravix - " + QFileInfo(path).fileName());
  if (std::int16_t code = zip.LastResult(); code != rc::Ok) {
    setStatusMessage(QString::fromStdString(EngineResultText(code)));
    return;
  }
  for (const auto& e : zip.Directory().entries) ListView1->addItem(QString::fromStdString(e.name));
}

ArchiveWindow& ShowArchiveWindow() {
  static QPointer<ArchiveWindow> window;
  if (!window) window = new ArchiveWindow;
  window->show();
  return *window;
}

}  // namespace kx
