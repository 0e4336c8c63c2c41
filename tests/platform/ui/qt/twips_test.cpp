// Twips on the screen: scaling and the rounding of edges.
#include "platform/ui/qt/twips.h"

#include <gtest/gtest.h>

namespace korvix::ui::qt {
namespace {

TEST(TwipsTest, ScalesWithTheLogicalDpi) {
  const struct {
    int twips;
    double dpi;
    int pixels;
  } cases[] = {
      {0, 96, 0},       {15, 96, 1},      {7680, 96, 512},  {7260, 96, 484},
      {7, 96, 0},       {8, 96, 1},       {2200, 96, 147},  {1000, 96, 67},
      {15, 120, 1},     {1440, 120, 120}, {7680, 120, 640}, {7680, 144, 768},
      {1215, 144, 122}, {-15, 96, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(TwipsTest, EdgesRoundOnTheirOwnSoNeighboursMeet) {
  // The row boxes of the editor: each starts where the one before it ends
  // (or 40 twips later), although their widths are not whole pixels.
  const struct {
    Rect twips;
    QRect pixels;
  } cases[] = {
      {{600, 720, 2200, 315}, QRect(40, 48, 147, 21)},
      {{2840, 720, 1000, 315}, QRect(189, 48, 67, 21)},
      {{3840, 720, 1200, 315}, QRect(256, 48, 80, 21)},
      {{5040, 720, 1600, 315}, QRect(336, 48, 107, 21)},
      {{150, 90, 7335, 3375}, QRect(10, 6, 489, 225)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PixelRect(c.twips, 96), c.pixels) << c.twips.left << "," << c.twips.top;
  }
  for (double dpi : {96.0, 120.0, 144.0, 110.0}) {
    const QRect length = PixelRect({2840, 720, 1000, 315}, dpi);
    const QRect direction = PixelRect({3840, 720, 1200, 315}, dpi);
    EXPECT_EQ(length.right() + 1, direction.left()) << dpi;
  }
}

}  // namespace
}  // namespace korvix::ui::qt
