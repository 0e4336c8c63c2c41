// Message boxes as real QMessageBox windows: the buttons and icon the flags
// ask for, and what Escape and the close box answer. (Enter and the buttons
// are the toolkit suite's, through the scripted Qt toolkit.)
#include "qt/message_box_widget.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <vector>

#include "korvix/ui/message_box.h"
#include "qt/application.h"

namespace korvix::ui::qt {
namespace {

TEST(MessageBoxWidget, FlagsChooseButtonsAndIconAndWhatEscapeAndTheCloseBoxAnswer) {
  const ApplicationScope application;
  ASSERT_TRUE(application.ok());
  const struct {
    int flags;
    std::vector<int> buttons;  // result codes, sorted
    QMessageBox::Icon icon;
    int escape;
  } cases[] = {
      {48, {kResultOk}, QMessageBox::Warning, kResultOk},
      {289, {kResultOk, kResultCancel}, QMessageBox::Question, kResultCancel},
      {292, {kResultYes, kResultNo}, QMessageBox::Question, kResultNo},
      {kYesNo + kQuestion, {kResultYes, kResultNo}, QMessageBox::Question, kResultNo},
  };
  for (const auto& c : cases) {
    for (const bool key : {true, false}) {
      const auto box = MakeMessageBox("Wirklich\r\n\r\nlöschen?", c.flags, "Löschen?", nullptr);
      box->show();
      std::vector<int> buttons;
      for (const QAbstractButton* b : box->buttons()) buttons.push_back(ResultOf(*box, b));
      std::sort(buttons.begin(), buttons.end());
      EXPECT_EQ(buttons, c.buttons) << c.flags;
      EXPECT_EQ(box->icon(), c.icon) << c.flags;
      EXPECT_EQ(box->text(), QString::fromUtf8("Wirklich\n\nlöschen?"));
      key ? QTest::keyClick(box.get(), Qt::Key_Escape) : void(box->close());
      EXPECT_FALSE(box->isVisible());
      EXPECT_EQ(Answer(*box, c.flags), c.escape) << c.flags << (key ? " Escape" : " close box");
    }
  }
}

}  // namespace
}  // namespace korvix::ui::qt
