// The quick viewer window with the real component Qview32.ocx on real files:
// texts in several encodings, pictures written by Qt's image writers, a WAV
// file written by Python's wave module, a 1 GiB sparse file, search, the
// hexadecimal view, printing to a PDF file, and the stored window state.
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolBar>
#include <QVariant>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/program_state.h"
#include "archive_window/window_fixture.h"
#include "quickview/quick_view.h"
#include "quickview/quick_viewer_window.h"
#include "quickview/viewer_component.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class QuickViewer : public kxtest::FreshStart {
 protected:
  void SetUp() override {
    FreshStart::SetUp();
    ProgramState().IntegratedViewer = true;
  }
  void TearDown() override {
    if (QuickViewerLoaded()) TheQuickViewer().close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    FreshStart::TearDown();
  }
  FrmQuickvw& show(const fs::path& file) {
    ShowQuickView(Q(file));
    return TheQuickViewer();
  }
  static QWidget* page(FrmQuickvw& w) { return w.Qview1->findChild<QStackedWidget*>()->currentWidget(); }
  static QString shownText(FrmQuickvw& w) { return w.Qview1->findChild<QPlainTextEdit*>("TextView")->toPlainText(); }

  kxtest::ScriptedUserScope user_;
};

struct FileCase {
  const char* name;
  std::function<void(const fs::path&)> make;
  const char* page;     // object name of the display, or "NotePage"
  int fileType;
  QString message;      // the message shown, empty for none
  QString text;         // the text shown, for texts
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

void Image(const fs::path& p, const char* format) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(Q(p), format));
}

const QString kNotFound = "Eine bestimmte DLL zum Anzeigen wurde nicht gefunden.\n\nName der DLL : ";
const QString kLoad = "Fehler beim Laden einer Datei in die Schnellansicht.  \nFolgendes Problem :- ";

class ShowsFiles : public QuickViewer, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ShowsFiles, InTheirDisplayOrWithTheirMessage) {
  const FileCase& c = GetParam();
  const fs::path file = dir_ / c.name;
  c.make(file);
  if (!c.message.isEmpty()) user_->answerMessage(-1);
  FrmQuickvw& w = show(file);
  ASSERT_NE(w.Qview1, nullptr);
  EXPECT_EQ(w.windowTitle(), "Schnellansicht - " + QString(c.name));
  EXPECT_EQ(w.tag(), Q(file));
  EXPECT_EQ(page(w)->objectName(), c.page);
  EXPECT_EQ(w.Qview1->property("ViewerFileType").toInt(), c.fileType);
  if (!c.text.isEmpty()) EXPECT_EQ(shownText(w), c.text);
  EXPECT_EQ(w.command("mnu_suchen")->isEnabled(), c.message.isEmpty() && IsSearchable(std::int16_t(c.fileType)));
  EXPECT_EQ(w.command("button:suchen")->isEnabled(), w.command("mnu_suchen")->isEnabled());
  for (const char* name : {"mnu_kopieren", "mnu_drucken", "mnu_hex", "button:hex", "button:drucken"})
    EXPECT_EQ(w.command(name)->isEnabled(), c.message.isEmpty()) << name;
  ASSERT_EQ(user_->asked.size(), c.message.isEmpty() ? 0u : 1u);
  if (!c.message.isEmpty()) {
    EXPECT_EQ(user_->asked[0].text, c.message);
    EXPECT_EQ(user_->asked[0].title, "Nachricht");
    EXPECT_EQ(user_->asked[0].symbol, 2);
  }
}

const auto Bytes = [](std::string bytes) { return [bytes](const fs::path& p) { kxtest::WriteFile(p, bytes); }; };

INSTANTIATE_TEST_SUITE_P(Files, ShowsFiles, ::testing::Values(
    FileCase{"utf8.txt", Bytes("Grüße aus Köln – 10 €\nzweite Zeile"), "TextView", 1, {}, "Grüße aus Köln – 10 €\nzweite Zeile"},
    FileCase{"dos.txt", [](const fs::path& p) {
               kxtest::WriteFile(p.string() + ".u8", "Grüße aus Köln\n│ Übersicht ─ Maß │\n");
               const auto r = kxtest::Run({"iconv", "-f", "UTF-8", "-t", "CP437", "-o", p.string(), p.string() + ".u8"});
               ASSERT_EQ(r.exitCode, 0) << r.output;
             }, "TextView", 1, {}, "Grüße aus Köln\n│ Übersicht ─ Maß │\n"},
    FileCase{"win.txt", Bytes("Gr\xfc\xdf" "e aus K\xf6ln, \x84Zitat\x93 f\xfcr 10 \x80"), "TextView", 1, {},
             "Grüße aus Köln, „Zitat“ für 10 €"},
    FileCase{"bild.png", [](const fs::path& p) { Image(p, "PNG"); }, "ImageView", 4, {}, {}},
    FileCase{"foto.jpg", [](const fs::path& p) { Image(p, "JPEG"); }, "ImageView", 4, {}, {}},
    FileCase{"alt.bmp", [](const fs::path& p) { Image(p, "BMP"); }, "ImageView", 3, {}, {}},
    FileCase{"daten.bin", Bytes(kxtest::RandomBytes(5000)), "HexView", 2, {}, {}},
    FileCase{"ton.wav", [](const fs::path& p) {
               const auto r = kxtest::Run({"python3", "-c",
                   "import wave,sys; w=wave.open(sys.argv[1],'wb'); w.setnchannels(1); w.setsampwidth(2); "
                   "w.setframerate(8000); w.writeframes(b'\\x00\\x01'*800); w.close()", p.string()});
               ASSERT_EQ(r.exitCode, 0) << r.output;
             }, "NotePage", 16, kNotFound + "QVWAV32.DLL", {}},
    FileCase{"lied.mp3", Bytes(std::string("ID3\x03\x00\x00\x00\x00\x00\x00", 10) + kxtest::RandomBytes(900)),
             "NotePage", 32, kNotFound + "QVMCI32.DLL", {}},
    FileCase{"Ordner", [](const fs::path& p) { fs::create_directories(p); }, "NotePage", 0,
             kLoad + "Verzeichnisse können nicht angezeigt werden.", {}},
    FileCase{"fehlt.txt", [](const fs::path&) {}, "NotePage", 0, kLoad + "Datei nicht gefunden.", {}},
    FileCase{"kaputt.png", Bytes(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(60, 'x')), "NotePage", 4,
             kLoad + "Unkorrektes Dateiformat.", {}}));

// Which file types the search is offered for (the texts and documents).
TEST(QuickViewerTables, SearchableTypes) {
  for (int code : {1, 5, 6, 7, 20, 23, 27}) EXPECT_TRUE(IsSearchable(std::int16_t(code))) << code;
  for (int code : {0, 2, 3, 4, 16, 32}) EXPECT_FALSE(IsSearchable(std::int16_t(code))) << code;
}

TEST_F(QuickViewer, SearchesWithItsOwnDialogAndSaysWhenNothingIsFound) {
  const fs::path file = dir_ / "text.txt";
  kxtest::WriteFile(file, "Anfang\nder Schatz liegt hier\nEnde\n");
  FrmQuickvw& w = show(file);
  struct Row {
    const char* needle;
    bool found;
  };
  for (const Row& r : {Row{"schatz", true}, Row{"Gold", false}}) {
    w.command("mnu_suchen")->trigger();
    auto* dialog = w.Qview1->findChild<QDialog*>("frmSuchen");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Suchen");
    EXPECT_TRUE(dialog->isVisible());
    dialog->findChild<QLineEdit*>("txtSuchen")->setText(r.needle);
    if (!r.found) user_->answerMessage(-1);
    const std::size_t before = user_->asked.size();
    dialog->findChild<QPushButton*>("cmdWeitersuchen")->click();
    if (r.found) {
      EXPECT_EQ(w.Qview1->findChild<QPlainTextEdit*>("TextView")->textCursor().selectedText(), "Schatz");
      EXPECT_EQ(user_->asked.size(), before);
    } else {
      ASSERT_EQ(user_->asked.size(), before + 1);
      EXPECT_EQ(user_->asked.back().text, "String nicht gefunden!");
      EXPECT_EQ(user_->asked.back().title, "Nachricht");
      EXPECT_EQ(user_->asked.back().symbol, 1);
    }
  }
}

TEST_F(QuickViewer, HexViewTwiceReturnsToTheTextAndTheToolbarRunsTheSameCommand) {
  const fs::path file = dir_ / "text.txt";
  kxtest::WriteFile(file, "Hallo Welt\n");
  FrmQuickvw& w = show(file);
  for (const char* command : {"mnu_hex", "button:hex"}) {
    w.command(command)->trigger();
    EXPECT_EQ(page(w)->objectName(), "HexView") << command;
    EXPECT_TRUE(w.command("mnu_hex")->isChecked());
    w.command(command)->trigger();
    EXPECT_EQ(page(w)->objectName(), "TextView") << command;
    EXPECT_FALSE(w.command("mnu_hex")->isChecked());
    EXPECT_EQ(shownText(w), "Hallo Welt\n");
  }
}

TEST_F(QuickViewer, AGigabyteOpensInHexAndIsSearchedToItsEnd) {
  const fs::path file = dir_ / "gross.img";
  { std::ofstream(file, std::ios::binary); }
  fs::resize_file(file, std::uintmax_t(1) << 30);
  {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp((std::streamoff(1) << 30) - 100);
    f << "KRAVIX";
  }
  FrmQuickvw& w = show(file);
  auto* hex = w.Qview1->findChild<QAbstractScrollArea*>("HexView");
  ASSERT_EQ(page(w), hex);
  EXPECT_EQ(w.Qview1->property("ViewerFileType").toInt(), 2);
  hex->verticalScrollBar()->setValue(hex->verticalScrollBar()->maximum());
  w.Qview1->setProperty("ViewerSearch", "kravix");
  EXPECT_TRUE(user_->asked.empty());
  EXPECT_GT(hex->verticalScrollBar()->maximum(), 60'000'000);  // one step a row
  // The hit is selected; copying gives its rows as they are painted.
  w.Qview1->setProperty("ViewerCopy", 1);
  EXPECT_EQ(QApplication::clipboard()->text(), "003FFFFF90  00 00 00 00 00 00 00 00 00 00 00 00 4B 52 41 56  ............KRAV\n"
                                               "003FFFFFA0  49 58 00 00 00 00 00 00 00 00 00 00 00 00 00 00  IX..............\n");
}

TEST_F(QuickViewer, ATextTooLargeForTheTextDisplayOffersTheHexView) {
  const fs::path file = dir_ / "riesig.txt";
  {
    std::ofstream out(file, std::ios::binary);
    const std::string line(99, 'a');
    for (int i = 0; i < 700'000; ++i) out << line << '\n';  // 70 MB
  }
  FrmQuickvw& w = show(file);
  EXPECT_EQ(page(w)->objectName(), "NotePage");
  EXPECT_TRUE(w.Qview1->findChild<QLabel*>("Note")->text().contains("zu groß für die Textdarstellung"));
  w.Qview1->findChild<QPushButton*>("cmdHexansicht")->click();
  EXPECT_EQ(page(w)->objectName(), "HexView");
  EXPECT_TRUE(w.command("mnu_hex")->isChecked());
  EXPECT_TRUE(user_->asked.empty());
}

TEST_F(QuickViewer, PrintsThroughQtsPrintDialogIntoAPdfFile) {
  const fs::path file = dir_ / "text.txt";
  const fs::path pdf = dir_ / "druck.pdf";
  kxtest::WriteFile(file, "Eine Seite zum Drucken\n");
  FrmQuickvw& w = show(file);
  w.command("mnu_drucken")->trigger();
  QPrintDialog* dialog = w.Qview1->findChild<QPrintDialog*>("dlgDrucken");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  // Without a printer the dialog offers printing into a file.
  auto* name = dialog->findChild<QLineEdit*>("filename");
  ASSERT_NE(name, nullptr);
  name->setText(Q(pdf));
  dialog->accept();
  const std::string bytes = kxtest::ReadFile(pdf);
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  EXPECT_NE(bytes.find("/Type /Page"), std::string::npos);
}

TEST_F(QuickViewer, KeepsItsSizePositionAndToolbarState) {
  const fs::path file = dir_ / "text.txt";
  kxtest::WriteFile(file, "x");
  FrmQuickvw& w = show(file);
  EXPECT_FALSE(w.Toolbar1->isHidden());
  EXPECT_EQ(w.Qview1->geometry().top(), w.Toolbar1->height());
  w.command("mnu_Symbolleiste")->trigger();
  EXPECT_TRUE(w.Toolbar1->isHidden());
  EXPECT_FALSE(w.command("mnu_Symbolleiste")->isChecked());
  EXPECT_EQ(w.Qview1->geometry().top(), 0);
  w.resize(500, 300);
  w.move(70, 40);
  w.command("mnu_exit")->trigger();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(QuickViewerLoaded());
  EXPECT_EQ(GetSetting(kAppName, "Schnellansicht", "Symbolleistenvisible"), "False");
  EXPECT_EQ(GetSetting(kAppName, "Schnellansicht", "Bereite"), QString::number(500 * 15));
  EXPECT_EQ(GetSetting(kAppName, "Schnellansicht", "Höhe"), QString::number(300 * 15));

  FrmQuickvw& again = show(file);
  EXPECT_NE(&again, &w);
  EXPECT_EQ(again.size(), QSize(500, 300));
  EXPECT_TRUE(again.Toolbar1->isHidden());
  EXPECT_EQ(again.Qview1->geometry(), QRect(0, 0, again.centralWidget()->width(), again.centralWidget()->height()));
}

}  // namespace
}  // namespace kx
