#include "qt/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace korvix::ui::qt {

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

QRect PixelRect(const Rect& twips, double dpi) {
  const int left = TwipsToPixels(twips.left, dpi);
  const int top = TwipsToPixels(twips.top, dpi);
  const int right = TwipsToPixels(twips.left + twips.width, dpi);
  const int bottom = TwipsToPixels(twips.top + twips.height, dpi);
  return QRect(left, top, right - left, bottom - top);
}

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || screen->logicalDotsPerInch() <= 0) return kStandardDpi;
  return screen->logicalDotsPerInch();
}

}  // namespace korvix::ui::qt
