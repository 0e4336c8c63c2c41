// Texts between the model and the widgets where the toolkit suite's texts do
// not reach: bytes that are not UTF-8, lone line-break characters, and
// positions behind a character of two UTF-16 units.
#include "qt/text_convert.h"

#include <gtest/gtest.h>

#include <string>

namespace korvix::ui::qt {
namespace {

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
