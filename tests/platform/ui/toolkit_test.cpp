#include "korvix/ui/toolkit.h"

#include <gtest/gtest.h>

#include "korvix/ui/form.h"
#include "korvix/ui/headless_toolkit.h"
#include "korvix/ui/message_box.h"
#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

TEST(ToolkitTest, DefaultIsHeadlessUntilAHostChoosesAnother) {
  Toolkit& built_in = DefaultToolkit();
  EXPECT_NE(dynamic_cast<HeadlessToolkit*>(&built_in), nullptr);

  // Unattended: forms close at once and boxes take their default answer.
  Form form(testing::TestForm());
  bool closed_by_box = false;
  form.OnCloseBox([&] { closed_by_box = true; });
  EXPECT_TRUE(DefaultToolkit().ShowModal(form));
  EXPECT_TRUE(closed_by_box);
  EXPECT_EQ(DefaultToolkit().MessageBox("Löschen?", 292, "Löschen"), kResultNo);

  HeadlessToolkit chosen;
  chosen.QueueAnswer(kResultYes);
  SetDefaultToolkit(&chosen);
  EXPECT_EQ(&DefaultToolkit(), &chosen);
  EXPECT_EQ(DefaultToolkit().MessageBox("Löschen?", 292, "Löschen"), kResultYes);

  SetDefaultToolkit(nullptr);
  EXPECT_EQ(&DefaultToolkit(), &built_in);
}

}  // namespace
}  // namespace korvix::ui
