// Twips on the screen: scaling with the screen's dpi, and edges rounded on
// their own so that neighbouring controls meet at every dpi.
#include "qt/twips.h"

#include <gtest/gtest.h>

namespace korvix::ui::qt {
namespace {

TEST(Twips, ScaleAndRoundEdgesOnTheirOwn) {
  const struct {
    int twips;
    double dpi;
    int pixels;
  } cases[] = {{15, 96, 1},  {7, 96, 0},        {8, 96, 1},       {2200, 96, 147},
               {15, 120, 1}, {1440, 120, 120}, {7680, 144, 768}, {-15, 96, -1}};
  for (const auto& c : cases) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips;
  EXPECT_EQ(PixelRect({2840, 720, 1000, 315}, 96), QRect(189, 48, 67, 21));
  for (double dpi : {96.0, 120.0, 144.0, 110.0}) {
    // The length and direction boxes of an editor row touch, although
    // their widths are not whole pixels.
    EXPECT_EQ(PixelRect({2840, 720, 1000, 315}, dpi).right() + 1,
              PixelRect({3840, 720, 1200, 315}, dpi).left())
        << dpi;
  }
}

}  // namespace
}  // namespace korvix::ui::qt
