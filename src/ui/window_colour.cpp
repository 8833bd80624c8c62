#include "ui/window_colour.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace kx {

void UseWindowColour(QWidget& window) {
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
}

}  // namespace kx
