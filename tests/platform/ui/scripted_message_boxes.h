// How every scripted toolkit answers message boxes, checked the same way for
// each: a queued answer first, else the box's default button; each box is
// recorded with the answer it gave.
#ifndef KORVIX_TESTS_PLATFORM_UI_SCRIPTED_MESSAGE_BOXES_H_
#define KORVIX_TESTS_PLATFORM_UI_SCRIPTED_MESSAGE_BOXES_H_

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "korvix/ui/message_box.h"
#include "korvix/ui/scripting.h"

namespace korvix::ui::testing {

inline void ExpectQueuedAnswersThenDefaults(ScriptedToolkit& toolkit) {
  const struct {
    std::optional<int> queued;
    int flags;
    int result;
  } cases[] = {
      {std::nullopt, 48, kResultOk},       {std::nullopt, 289, kResultCancel},
      {std::nullopt, 292, kResultNo},      {kResultOk, 289, kResultOk},
      {kResultCancel, 289, kResultCancel}, {kResultYes, 292, kResultYes},
      {kResultNo, 292, kResultNo},         {kResultOk, 48, kResultOk},
      // No such button: the box closes and the answer is given as it is.
      {kResultRetry, 48, kResultRetry},
  };
  std::vector<MessageBoxRecord> expected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    if (c.queued) toolkit.QueueAnswer(*c.queued);
    const std::string prompt = "Frage " + std::to_string(expected.size());
    EXPECT_EQ(toolkit.MessageBox(prompt, c.flags, "Titel"), c.result);
    EXPECT_EQ(toolkit.pending_answers(), 0u);
    expected.push_back({prompt, c.flags, "Titel", c.result});
  }
  // Answers queued ahead are taken in order.
  toolkit.QueueAnswer(kResultYes);
  toolkit.QueueAnswer(kResultOk);
  EXPECT_EQ(toolkit.pending_answers(), 2u);
  EXPECT_EQ(toolkit.MessageBox("Wirklich löschen?", 292, "Löschen?"), kResultYes);
  EXPECT_EQ(toolkit.MessageBox("Standardname?", 289, "Standardname verwenden?"), kResultOk);
  EXPECT_EQ(toolkit.pending_answers(), 0u);
  expected.push_back({"Wirklich löschen?", 292, "Löschen?", kResultYes});
  expected.push_back({"Standardname?", 289, "Standardname verwenden?", kResultOk});

  ASSERT_EQ(toolkit.message_boxes().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(toolkit.message_boxes()[i].prompt, expected[i].prompt);
    EXPECT_EQ(toolkit.message_boxes()[i].flags, expected[i].flags);
    EXPECT_EQ(toolkit.message_boxes()[i].title, expected[i].title);
    EXPECT_EQ(toolkit.message_boxes()[i].result, expected[i].result);
  }
}

}  // namespace korvix::ui::testing

#endif  // KORVIX_TESTS_PLATFORM_UI_SCRIPTED_MESSAGE_BOXES_H_
