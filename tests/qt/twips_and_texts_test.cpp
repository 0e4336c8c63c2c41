// Where the toolkit suite's texts and places do not reach: twips scaled
// with the screen's dpi, edges rounded on their own so that neighbouring
// controls meet at every dpi; texts between the model and the widgets with
// bytes that are not UTF-8, lone line-break characters, and positions behind
// a character of two UTF-16 units.
#include <gtest/gtest.h>

#include <string>

#include "case_file.h"
#include "qt/text_convert.h"
#include "qt/twips.h"

namespace korvix::ui::qt {
namespace {

TEST(Twips, ScaleAndRoundEdgesOnTheirOwn) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("qt/cases/twips.tsv", 3)) {
    EXPECT_EQ(TwipsToPixels(std::stoi(c[0]), std::stod(c[1])), std::stoi(c[2])) << c.where;
  }
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
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("qt/cases/texts.tsv", 4)) {
    const QString shown = QString::fromStdString(c[2]);
    EXPECT_EQ(ToShownText(c[0], c[1] == "1"), shown) << c.where;
    EXPECT_EQ(ToModelText(shown, c[1] == "1"), c[3]) << c.where;
  }
  // A position inside a line break or past the end goes to its end.
  EXPECT_EQ(ToShownIndex("Z\nß", 2, true), 2);
  EXPECT_EQ(ToShownIndex("Z\nß", 50, true), 3);
  EXPECT_EQ(ToModelPosition(QString::fromUtf8("a😀b"), 3, false), 2);
  EXPECT_EQ(ToShownIndex(QString::fromUtf8("a😀b"), 2, false), 3);
}

}  // namespace
}  // namespace korvix::ui::qt
