// Where the toolkit suite's texts and places do not reach: twips scaled
// with the screen's dpi, edges rounded on their own so that neighbouring
// controls meet at every dpi; texts between the model and the widgets with
// bytes that are not UTF-8, lone line-break characters, and positions behind
// a character of two UTF-16 units.
#include <gtest/gtest.h>

#include <string>

#include "qt/text_convert.h"
#include "qt/twips.h"

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

TEST(TextConvert, LegacyBytesLineBreaksAndWideCharacters) {
  const struct {
    std::string model;
    bool multi_line;
    QString shown;
    std::string back;
  } cases[] = {
      {"M\xFCller \x80", false, QString::fromUtf8("Müller €"), "Müller €"},  // Windows-1252
      {"\xC3", false, QString::fromUtf8("Ã"), "Ã"},                           // a cut sequence
      {"a\r\nb", false, "a\r\nb", "a\r\nb"},
      {"lone\ncr\r", true, "lone\ncr\n", "lone\r\ncr\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToShownText(c.model, c.multi_line), c.shown) << c.model;
    EXPECT_EQ(ToModelText(c.shown, c.multi_line), c.back) << c.model;
  }
  // A position inside a line break or past the end goes to its end.
  EXPECT_EQ(ToShownIndex("Z\nß", 2, true), 2);
  EXPECT_EQ(ToShownIndex("Z\nß", 50, true), 3);
  EXPECT_EQ(ToModelPosition(QString::fromUtf8("a😀b"), 3, false), 2);
  EXPECT_EQ(ToShownIndex(QString::fromUtf8("a😀b"), 2, false), 3);
}

}  // namespace
}  // namespace korvix::ui::qt
