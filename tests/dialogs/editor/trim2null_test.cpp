#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dialogs/editor/frm_algorithm.h"

namespace korvix::dialogs {
namespace {

TEST(Trim2NullTest, BlanksAroundAreRemovedAndNothingLeftIsNull) {
  struct Case {
    std::string text;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"    ", std::nullopt},
      {"  Wort  ", "Wort"},
      {"zwei Wörter", "zwei Wörter"},
      {" Müller ", "Müller"},
      {"\tTab\t", "\tTab\t"},          // only the blank is trimmed
      {" \r\nZeile\r\n ", "\r\nZeile\r\n"},
      {"\xA0x\xA0", "\xA0x\xA0"},      // a no-break space is no blank
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    EXPECT_EQ(Trim2Null(c.text), c.expected);
  }
}

}  // namespace
}  // namespace korvix::dialogs
