// Message boxes as real QMessageBox windows: what the flags ask for, and how
// the scripted toolkit answers them.
#include "platform/ui/qt/message_box_widget.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <vector>

#include "korvix/ui/message_box.h"
#include "korvix/ui/qt_toolkit.h"
#include "platform/ui/qt/application.h"
#include "platform/ui/scripted_message_boxes.h"

namespace korvix::ui::qt {
namespace {

std::vector<int> SortedResults(const QMessageBox& box) {
  std::vector<int> results;
  for (const QAbstractButton* button : box.buttons()) results.push_back(ResultOf(box, button));
  std::sort(results.begin(), results.end());
  return results;
}

TEST(MessageBoxWidgetTest, FlagsChooseButtonsIconDefaultAndEscape) {
  const ApplicationScope application;
  ASSERT_TRUE(application.ok());
  const struct {
    int flags;
    std::vector<int> buttons;  // result codes, sorted
    int default_result;
    int escape_result;  // 0: none
    QMessageBox::Icon icon;
  } cases[] = {
      {48, {kResultOk}, kResultOk, kResultOk, QMessageBox::Warning},
      {289, {kResultOk, kResultCancel}, kResultCancel, kResultCancel, QMessageBox::Question},
      {292, {kResultYes, kResultNo}, kResultNo, kResultNo, QMessageBox::Question},
      {0, {kResultOk}, kResultOk, kResultOk, QMessageBox::NoIcon},
      {1, {kResultOk, kResultCancel}, kResultOk, kResultCancel, QMessageBox::NoIcon},
      {4 + 32, {kResultYes, kResultNo}, kResultYes, kResultNo, QMessageBox::Question},
      {3 + 64 + 512, {kResultCancel, kResultYes, kResultNo}, kResultCancel, kResultCancel,
       QMessageBox::Information},
      {2 + 16, {kResultAbort, kResultRetry, kResultIgnore}, kResultAbort, 0,
       QMessageBox::Critical},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    const auto box = MakeMessageBox("Möchten Sie den Algorithmus\r\n\r\nPLZ\r\n\r\nwirklich löschen?",
                                    c.flags, "Dubletten-Algorithmus löschen?", nullptr);
    EXPECT_EQ(SortedResults(*box), c.buttons);
    EXPECT_EQ(ResultOf(*box, box->defaultButton()), c.default_result);
    EXPECT_EQ(ResultOf(*box, box->escapeButton()), c.escape_result);
    EXPECT_EQ(box->icon(), c.icon);
    EXPECT_EQ(box->text(), QString::fromUtf8(
                               "Möchten Sie den Algorithmus\n\nPLZ\n\nwirklich löschen?"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Dubletten-Algorithmus löschen?"));
  }
}

TEST(MessageBoxWidgetTest, KeysAndClicksOnTheShownBoxGiveTheCallersResults) {
  const ApplicationScope application;
  ASSERT_TRUE(application.ok());
  const struct {
    int flags;
    int enter, escape;
    std::vector<int> clicks;  // each button clicked in turn answers itself
  } cases[] = {
      {48, kResultOk, kResultOk, {kResultOk}},
      {289, kResultCancel, kResultCancel, {kResultOk, kResultCancel}},
      {292, kResultNo, kResultNo, {kResultYes, kResultNo}},
  };
  const auto shown = [](int flags) {
    auto box = MakeMessageBox("Frage", flags, "Titel", nullptr);
    box->show();
    QApplication::setActiveWindow(box.get());
    return box;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    auto box = shown(c.flags);
    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(Answer(*box, c.flags), c.enter);
    box = shown(c.flags);
    QTest::keyClick(box.get(), Qt::Key_Escape);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(Answer(*box, c.flags), c.escape);
    for (int result : c.clicks) {
      box = shown(c.flags);
      QTest::mouseClick(ButtonFor(*box, result), Qt::LeftButton);
      EXPECT_EQ(Answer(*box, c.flags), result);
    }
    box = shown(c.flags);
    box->close();
    EXPECT_EQ(Answer(*box, c.flags), c.escape) << "the close box";
  }
}

TEST(ScriptedQtToolkitTest, MessageBoxesAnswerFromTheQueueOrByTheirDefault) {
  ScriptedQtToolkit toolkit;
  ui::testing::ExpectQueuedAnswersThenDefaults(toolkit);
}

}  // namespace
}  // namespace korvix::ui::qt
