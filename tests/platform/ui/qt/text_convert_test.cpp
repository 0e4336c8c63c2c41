// Texts and positions between the model and the widgets.
#include "platform/ui/qt/text_convert.h"

#include <gtest/gtest.h>

#include <string>

namespace korvix::ui::qt {
namespace {

TEST(TextConvertTest, Utf8AndWindows1252Bytes) {
  const struct {
    std::string bytes;
    QString shown;
  } cases[] = {
      {"", ""},
      {"Öffentlich", QString::fromUtf8("Öffentlich")},
      {"Straße", QString::fromUtf8("Straße")},
      {"M\xFCller", QString::fromUtf8("Müller")},            // Latin-1 byte
      {"\x80 \x9C", QString::fromUtf8("€ œ")},               // Windows-1252 only
      {"\xC3", QString::fromUtf8("Ã")},                      // a cut sequence
      {"a\xF0\x9F\x98\x80z", QString::fromUtf8("a😀z")},      // beyond the BMP
  };
  for (const auto& c : cases) EXPECT_EQ(ToQString(c.bytes), c.shown) << c.bytes;
  EXPECT_EQ(ToUtf8(QString::fromUtf8("Privat ß")), "Privat ß");
}

TEST(TextConvertTest, LineBreaksOfMultiLineBoxes) {
  const struct {
    std::string model;
    QString shown;
    std::string back;
  } cases[] = {
      {"a\r\nb", "a\nb", "a\r\nb"},
      {"a\r\n\r\nb\r\n", "a\n\nb\n", "a\r\n\r\nb\r\n"},
      {"lone\ncr\r", "lone\ncr\n", "lone\r\ncr\r\n"},
      {"Status: öffentlich\r\n\r\nx", QString::fromUtf8("Status: öffentlich\n\nx"),
       "Status: öffentlich\r\n\r\nx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToShownText(c.model, true), c.shown) << c.model;
    EXPECT_EQ(ToModelText(c.shown, true), c.back) << c.model;
  }
  // A single-line box keeps its text as it is.
  EXPECT_EQ(ToShownText("a\r\nb", false), QString("a\r\nb"));
  EXPECT_EQ(ToModelText(QString("a\nb"), false), "a\nb");
}

TEST(TextConvertTest, PositionsCountModelCharacters) {
  const QString lines = QString::fromUtf8("Zü\nß");      // model: "Zü\r\nß"
  const QString wide = QString::fromUtf8("a😀b");         // one character, two units
  const struct {
    QString shown;
    bool multi;
    int index;
    int position;
  } forth[] = {
      {lines, true, 0, 0}, {lines, true, 2, 2}, {lines, true, 3, 4}, {lines, true, 4, 5},
      {lines, true, 99, 5}, {lines, false, 3, 3}, {wide, false, 1, 1}, {wide, false, 3, 2},
      {wide, false, 4, 3},  {wide, false, -1, 0},
  };
  for (const auto& c : forth) {
    EXPECT_EQ(ToModelPosition(c.shown, c.index, c.multi), c.position) << c.index;
  }
  const struct {
    QString shown;
    bool multi;
    int position;
    int index;
  } back[] = {
      {lines, true, 0, 0}, {lines, true, 2, 2}, {lines, true, 3, 3},  // inside "\r\n"
      {lines, true, 4, 3}, {lines, true, 5, 4}, {lines, true, 50, 4},
      {wide, false, 1, 1}, {wide, false, 2, 3}, {wide, false, 3, 4},
  };
  for (const auto& c : back) {
    EXPECT_EQ(ToShownIndex(c.shown, c.position, c.multi), c.index) << c.position;
  }
}

}  // namespace
}  // namespace korvix::ui::qt
