#include "platform/screen_metrics.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace kx {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kFallbackDpi = 96.0;
// Frame widths in pixels of the classic styles where the platform style has
// no metric of its own: thin border 1, sizing frame 4, dialog frame 3.
constexpr int kThinBorder = 1;
constexpr int kDialogFrame = 3;

QScreen* Screen() { return QGuiApplication::primaryScreen(); }

double Dpi(bool horizontal) {
  const QScreen* screen = Screen();
  if (!screen) return kFallbackDpi;
  const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
  return dpi > 0 ? dpi : kFallbackDpi;
}

int StylePixels(QStyle::PixelMetric metric, int fallback) {
  const QStyle* style = QApplication::style();
  const int value = style ? style->pixelMetric(metric) : -1;
  return value > 0 ? value : fallback;
}

int FramePixels(BorderStyle style) {
  switch (style) {
    case BorderStyle::FixedSingle: return kThinBorder;
    case BorderStyle::Sizable: return StylePixels(QStyle::PM_MdiSubWindowFrameWidth, 4);
    case BorderStyle::FixedDialog: return kDialogFrame;
    default: return 0;
  }
}

}  // namespace

double TwipsPerPixelX() { return kTwipsPerInch / Dpi(true); }
double TwipsPerPixelY() { return kTwipsPerInch / Dpi(false); }
std::int32_t PixelsToTwipsX(std::int32_t pixels) { return static_cast<std::int32_t>(std::lround(pixels * TwipsPerPixelX())); }
std::int32_t PixelsToTwipsY(std::int32_t pixels) { return static_cast<std::int32_t>(std::lround(pixels * TwipsPerPixelY())); }
int TwipsToPixelsX(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelX())); }
int TwipsToPixelsY(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelY())); }

std::int16_t BorderWidthTwips(BorderStyle style) {
  return static_cast<std::int16_t>(PixelsToTwipsX(FramePixels(style)));
}

std::int16_t CaptionHeightTwips(BorderStyle style) {
  const int caption = StylePixels(QStyle::PM_TitleBarHeight, 18);
  const int menu = StylePixels(QStyle::PM_MenuBarItemSpacing, 0) + QFontMetrics(QApplication::font()).height() + 4;
  return static_cast<std::int16_t>(PixelsToTwipsY(caption + FramePixels(style) + menu));
}

std::int32_t ScreenWidthTwips() {
  const QScreen* screen = Screen();
  return PixelsToTwipsX(screen ? screen->availableGeometry().width() : 1024);
}

std::int32_t ScreenHeightTwips() {
  const QScreen* screen = Screen();
  return PixelsToTwipsY(screen ? screen->availableGeometry().height() : 768);
}

}  // namespace kx
