// The window commands of "&Hilfe" (contents, menus, About), F1, and storing
// the toolbar's layout when the user moves it.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QSettings>
#include <QToolBar>

#include "archive_window/about_dialog.h"
#include "archive_window/archive_window.h"
#include "settings/settings_store.h"
#include "ui/help_window.h"

namespace kx {
namespace {

// Sends F1 to the window, as a press of the key would.
void PressF1(QWidget& window) {
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(&window, &f1);
}

// Where the toolbar stands: its edge, and whether (and where) it floats.
struct ToolbarPlace {
  Qt::ToolBarArea area;
  bool floating;
  QPoint floatingAt;
  bool operator==(const ToolbarPlace&) const = default;
};

// Watches the toolbar's moves and reports a change of its place; a move that
// leaves it where it was (the window resized) is none.
class ToolbarWatch : public QObject {
 public:
  explicit ToolbarWatch(ArchiveWindow& window) : QObject(&window), window_(window), last_(place()) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Move || event->type() == QEvent::ParentChange) {
      const ToolbarPlace now = place();
      if (!(now == last_)) {
        last_ = now;
        window_.Toolbar1_Change();
      }
    }
    return false;
  }

 private:
  ToolbarPlace place() const {
    QToolBar* bar = window_.Toolbar1;
    return {window_.toolBarArea(bar), bar->isFloating(), bar->isFloating() ? bar->pos() : QPoint()};
  }
  ArchiveWindow& window_;
  ToolbarPlace last_;
};

}  // namespace

void ArchiveWindow::mnuhinhalt_Click() {
  setProperty(kHelpContextProperty, help::Contents);
  PressF1(*this);
}

void ArchiveWindow::mnuhmenue_Click() {
  setProperty(kHelpContextProperty, help::Menus);
  PressF1(*this);
}

void ArchiveWindow::mnuhinfo_Click() { ShowAbout(this); }

void ArchiveWindow::Toolbar1_Change() {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, kAppName, kAppName);
  settings.setValue("Kravix/Kravix/Toolbar", saveState());
}

void ArchiveWindow::watchToolbarLayout() {
  // Rearranging is moving the bar to another edge or off the window.
  Toolbar1->setMovable(true);
  Toolbar1->installEventFilter(new ToolbarWatch(*this));
}

}  // namespace kx
