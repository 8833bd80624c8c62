#pragma once
// Screen metrics in twips, the unit that window sizes and positions are
// stored in: twips = pixels * 1440 / logical DPI (15 per pixel at 96 DPI).
// Frame and caption sizes come from the style and the screen; a window's
// frame kind stands in for the classic border styles.
// User-interface thread only (they ask the primary screen).
#include <cstdint>

class QWidget;

namespace kx {

// The classic border styles of a window.
enum class BorderStyle : std::int16_t { None = 0, FixedSingle = 1, Sizable = 2, FixedDialog = 3 };

double TwipsPerPixelX();
double TwipsPerPixelY();
std::int32_t PixelsToTwipsX(std::int32_t pixels);
std::int32_t PixelsToTwipsY(std::int32_t pixels);
int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);

// Width of a window's vertical frame, by its border style.
std::int16_t BorderWidthTwips(BorderStyle style);
// Caption plus top frame plus menu bar height.
std::int16_t CaptionHeightTwips(BorderStyle style);
std::int32_t ScreenWidthTwips();
std::int32_t ScreenHeightTwips();

}  // namespace kx
