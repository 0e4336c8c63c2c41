#include "korvix/ui/message_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace korvix::ui {
namespace {

TEST(MessageBoxTest, FlagsGiveButtonsDefaultAndIcon) {
  struct Case {
    int flags;
    std::vector<int> buttons;
    int default_result;
    MessageIcon icon;
  };
  const Case cases[] = {
      // The three the dialogs show.
      {48, {kResultOk}, kResultOk, MessageIcon::kExclamation},
      {289, {kResultOk, kResultCancel}, kResultCancel, MessageIcon::kQuestion},
      {292, {kResultYes, kResultNo}, kResultNo, MessageIcon::kQuestion},
      {0, {kResultOk}, kResultOk, MessageIcon::kNone},
      {kYesNo | kQuestion, {kResultYes, kResultNo}, kResultYes, MessageIcon::kQuestion},
      {kYesNoCancel | kDefaultButton3 | kInformation,
       {kResultYes, kResultNo, kResultCancel}, kResultCancel, MessageIcon::kInformation},
      {kAbortRetryIgnore | kDefaultButton2 | kCritical,
       {kResultAbort, kResultRetry, kResultIgnore}, kResultRetry, MessageIcon::kCritical},
      {kRetryCancel, {kResultRetry, kResultCancel}, kResultRetry, MessageIcon::kNone},
      // A default past the last button falls back to the first.
      {kYesNo | kDefaultButton3, {kResultYes, kResultNo}, kResultYes, MessageIcon::kNone},
      {kOkOnly | kDefaultButton2, {kResultOk}, kResultOk, MessageIcon::kNone},
      // Unknown button set.
      {7, {kResultOk}, kResultOk, MessageIcon::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const MessageBoxStyle style = DecodeMessageBoxFlags(c.flags);
    EXPECT_EQ(style.buttons, c.buttons);
    EXPECT_EQ(style.default_result, c.default_result);
    EXPECT_EQ(style.icon, c.icon);
  }
}

}  // namespace
}  // namespace korvix::ui
