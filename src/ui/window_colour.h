#pragma once
class QWidget;

namespace kx {

// Every window of ours takes the palette's window colour as its background
// when it loads, as the classic windows took the menu colour.
void UseWindowColour(QWidget& window);

}  // namespace kx
