#include "ui/help_window.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/window_colour.h"

namespace kx {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmHilfe");
  setWindowTitle("Kravix - Hilfe");
  UseWindowColour(*this);

  Browser1 = new QTextBrowser(this);
  Browser1->setObjectName("Browser1");
  Browser1->setOpenLinks(true);
  Browser1->setOpenExternalLinks(false);

  CommandInhalt = new QPushButton("&Inhalt", this);
  CommandInhalt->setObjectName("CommandInhalt");
  CommandZurueck = new QPushButton("&Zurück", this);
  CommandZurueck->setObjectName("CommandZurueck");
  CommandZurueck->setEnabled(false);
  connect(CommandInhalt, &QPushButton::clicked, this, [this] { showTopic(help::Contents); });
  connect(CommandZurueck, &QPushButton::clicked, Browser1, &QTextBrowser::backward);
  connect(Browser1, &QTextBrowser::backwardAvailable, CommandZurueck, &QPushButton::setEnabled);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CommandInhalt);
  buttons->addWidget(CommandZurueck);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addLayout(buttons);
  layout->addWidget(Browser1, 1);
  resize(620, 560);
}

void HelpWindow::showTopic(int contextNumber) {
  topic_ = contextNumber;
  const QString path = HelpFilePath();
  if (!QFileInfo(path).isFile()) {
    Browser1->setPlainText("Die Hilfedatei " + path + " wurde nicht gefunden.");
    return;
  }
  QUrl url = QUrl::fromLocalFile(path);
  url.setFragment(QString("topic-%1").arg(contextNumber));
  // The same page with another fragment only scrolls; a reload picks up a
  // document that was replaced while the window stayed open.
  if (Browser1->source().adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment))
    Browser1->reload();
  Browser1->setSource(url);
}

QString HelpFilePath() { return QCoreApplication::applicationDirPath() + "/kravix.html"; }

HelpWindow& TheHelpWindow() {
  static QPointer<HelpWindow> window;
  if (!window) window = new HelpWindow;
  return *window;
}

namespace {

// A modal dialog blocks every window that is not its own: the help window
// becomes the dialog's while it runs and a window of its own again after.
void FollowModalDialog(HelpWindow& window) {
  auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  if (!dialog || window.parentWidget() == dialog) return;
  window.setParent(dialog, Qt::Window);
  QObject::connect(
      dialog, &QDialog::finished, &window,
      [w = &window] {
        const bool shown = w->isVisible();
        w->setParent(nullptr, Qt::Window);
        if (shown) w->show();
      },
      Qt::SingleShotConnection);
}

class F1Filter : public QObject {
 public:
  explicit F1Filter(QWidget& window) : QObject(&window), window_(window) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
    ShowHelp(window_.property(kHelpContextProperty).toInt());
    return true;
  }

 private:
  QWidget& window_;
};

}  // namespace

void HelpOnF1(QWidget& window, int contextNumber) {
  window.setProperty(kHelpContextProperty, contextNumber);
  window.installEventFilter(new F1Filter(window));
}

void ShowHelp(int contextNumber) {
  HelpWindow& window = TheHelpWindow();
  FollowModalDialog(window);
  window.showTopic(contextNumber);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace kx
