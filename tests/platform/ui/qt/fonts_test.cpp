// The dialogs' font on this machine: Tahoma, its look-alike, or a stand-in.
#include "platform/ui/qt/fonts.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <filesystem>

#include "platform/ui/qt/application.h"

namespace korvix::ui::qt {
namespace {

TEST(FontsTest, TahomaOrAStandInThatIsReallyThere) {
  const ApplicationScope application;
  ASSERT_TRUE(application.ok());
  const bool look_alike = std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf");
  const bool dejavu = QFontDatabase::families().contains("DejaVu Sans");
  if (!look_alike || !dejavu) GTEST_SKIP() << "the setup script's fonts are not installed";
  const struct {
    const char* wanted;
    const char* family;
  } cases[] = {
      {"Tahoma", "Tahoma"},
      {"tahoma", "Tahoma"},
      {"DejaVu Sans", "DejaVu Sans"},
      {"Keine Schrift", "DejaVu Sans"},
      {"", "DejaVu Sans"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveFontFamily(c.wanted), QString(c.family)) << c.wanted;
    // What is drawn is the family named, not a substitute of fontconfig's.
    EXPECT_EQ(QFontInfo(QFont(ResolveFontFamily(c.wanted))).family(), QString(c.family));
  }
  // Both faces of the look-alike are there: bold is drawn wider.
  const QFont regular = ToQFont({.name = "Tahoma", .size_points = 8.25, .bold = false});
  const QFont bold = ToQFont({.name = "Tahoma", .size_points = 8.25, .bold = true});
  EXPECT_DOUBLE_EQ(regular.pointSizeF(), 8.25);
  EXPECT_FALSE(QFontInfo(regular).bold());
  EXPECT_TRUE(QFontInfo(bold).bold());
  EXPECT_EQ(QFontInfo(bold).styleName(), "Bold");
  EXPECT_GT(QFontMetrics(bold).horizontalAdvance("Status: öffentlich"),
            QFontMetrics(regular).horizontalAdvance("Status: öffentlich"));
}

}  // namespace
}  // namespace korvix::ui::qt
