#include "korvix/ui/headless_toolkit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "korvix/ui/form.h"
#include "platform/ui/scripted_message_boxes.h"
#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

using ::testing::ElementsAre;
using testing::TestForm;

// A test form whose btnOK unloads it and whose close box is logged.
struct ClosingForm {
  explicit ClosingForm(std::string name = "frmTest", std::vector<std::string>* log = nullptr)
      : form(TestForm(std::move(name))) {
    form.On(Event::kClick, "btnOK", [this] { form.Unload(); });
    form.OnCloseBox([this, log] {
      closed_by_box = true;
      if (log) log->push_back("close box " + form.name());
    });
  }
  Form form;
  bool closed_by_box = false;
};

TEST(HeadlessToolkitTest, ShowModalReturnsOnlyAfterTheScriptAndTheUnload) {
  HeadlessToolkit toolkit;
  ClosingForm f;
  std::vector<std::string> log;
  toolkit.QueueScript("frmTest", [&](User& user) {
    log.push_back("script starts, shown=" + std::to_string(user.shown()));
    EXPECT_EQ(f.form.state(), FormState::kShown);
    EXPECT_TRUE(user.Click({"btnOK"}));
    log.push_back("after click, shown=" + std::to_string(user.shown()));
    EXPECT_FALSE(user.Click({"btnCancel"}));  // the window is gone
  });
  log.push_back("before show");
  EXPECT_TRUE(toolkit.ShowModal(f.form));
  log.push_back("after show");
  EXPECT_THAT(log, ElementsAre("before show", "script starts, shown=1", "after click, shown=0",
                               "after show"));
  EXPECT_EQ(f.form.state(), FormState::kUnloaded);
  EXPECT_FALSE(f.closed_by_box);
}

TEST(HeadlessToolkitTest, FormsLeftOpenCloseByTheirCloseBox) {
  struct Case {
    const char* what;
    bool queue_script;
  };
  for (const Case c : {Case{"no script", false}, Case{"script leaves it open", true}}) {
    SCOPED_TRACE(c.what);
    HeadlessToolkit toolkit;
    ClosingForm f;
    bool script_ran = false;
    if (c.queue_script) {
      toolkit.QueueScript("frmTest", [&](User& user) {
        script_ran = true;
        user.Type({"txtName"}, "offen");
      });
    }
    EXPECT_TRUE(toolkit.ShowModal(f.form));
    EXPECT_EQ(script_ran, c.queue_script);
    EXPECT_TRUE(f.closed_by_box);
    EXPECT_EQ(f.form.state(), FormState::kUnloaded);
    EXPECT_EQ(toolkit.top_form(), nullptr);
  }
}

TEST(HeadlessToolkitTest, AScriptThatThrowsEndsAndTheFormCloses) {
  HeadlessToolkit toolkit;
  ClosingForm f;
  toolkit.QueueScript("frmTest", [](User&) { throw std::runtime_error("user gave up"); });
  EXPECT_TRUE(toolkit.ShowModal(f.form));
  EXPECT_TRUE(f.closed_by_box);
}

// The outer form's button opens an inner form modally from its Click handler,
// as the selection dialog opens the editor.
TEST(HeadlessToolkitTest, NestedModalFormsRunTheirScriptsInsideTheOuterClick) {
  HeadlessToolkit toolkit;
  std::vector<std::string> log;
  ClosingForm outer("frmOuter", &log);
  std::string inner_name_typed;
  outer.form.On(Event::kClick, "btnCancel", [&] {
    log.push_back("outer click starts");
    ClosingForm inner("frmInner", &log);
    EXPECT_TRUE(toolkit.ShowModal(inner.form));
    inner_name_typed = inner.form.text_box("txtName").Text();  // readable after unload
    log.push_back("outer click ends");
  });

  User* outer_user = nullptr;
  toolkit.QueueScript("frmOuter", [&](User& user) {
    outer_user = &user;
    EXPECT_TRUE(user.Click({"btnCancel"}));
    log.push_back("outer script goes on");
    EXPECT_TRUE(user.shown());
    EXPECT_TRUE(user.Select({"lstItems"}, -1) == false);  // a user cannot pick "none"
    EXPECT_TRUE(user.Click({"btnOK"}));
  });
  toolkit.QueueScript("frmInner", [&](User& user) {
    log.push_back("inner script");
    EXPECT_EQ(toolkit.top_form()->name(), "frmInner");
    // The outer window is blocked while the inner one is modal over it.
    EXPECT_FALSE(outer_user->Click({"btnOK"}));
    EXPECT_TRUE(outer_user->shown());
    EXPECT_TRUE(user.Type({"txtName"}, "innen"));
    // Left open: closes by its close box when the script ends.
  });

  EXPECT_TRUE(toolkit.ShowModal(outer.form));
  EXPECT_THAT(log, ElementsAre("outer click starts", "inner script", "close box frmInner",
                               "outer click ends", "outer script goes on"));
  EXPECT_EQ(inner_name_typed, "innen");
  EXPECT_EQ(outer.form.state(), FormState::kUnloaded);
  EXPECT_FALSE(outer.closed_by_box);
}

TEST(HeadlessToolkitTest, EachShowingTakesTheNextScriptQueuedForItsName) {
  HeadlessToolkit toolkit;
  std::vector<std::string> ran;
  for (const char* tag : {"A1", "A2"}) {
    toolkit.QueueScript("frmA", [&ran, tag](User& user) { ran.push_back(tag + user.form_name()); });
  }
  toolkit.QueueScript("frmB", [&ran](User& user) { ran.push_back("B1" + user.form_name()); });
  EXPECT_EQ(toolkit.pending_scripts("frmA"), 2u);
  EXPECT_EQ(toolkit.pending_scripts("frmB"), 1u);
  EXPECT_EQ(toolkit.pending_scripts("frmC"), 0u);

  for (const char* name : {"frmB", "frmA", "frmC", "frmA", "frmA", "frmB"}) {
    Form form(TestForm(name));
    EXPECT_TRUE(toolkit.ShowModal(form));
    EXPECT_EQ(form.state(), FormState::kUnloaded);
  }
  EXPECT_THAT(ran, ElementsAre("B1frmB", "A1frmA", "A2frmA"));
  EXPECT_EQ(toolkit.pending_scripts("frmA"), 0u);
  EXPECT_EQ(toolkit.pending_scripts("frmB"), 0u);
}

TEST(HeadlessToolkitTest, AFormAlreadyShownCannotBeShownAgainUntilUnloaded) {
  HeadlessToolkit toolkit;
  Form form(TestForm());
  bool inner_result = true;
  form.On(Event::kClick, "btnOK", [&] { inner_result = toolkit.ShowModal(form); });
  toolkit.QueueScript("frmTest", [](User& user) { user.Click({"btnOK"}); });
  EXPECT_TRUE(toolkit.ShowModal(form));
  EXPECT_FALSE(inner_result);
  // Unloaded, it may be shown again with the state it kept.
  form.text_box("txtName").SetText("wieder");
  toolkit.QueueScript("frmTest", [](User& user) {
    EXPECT_EQ(user.State({"txtName"}).text, "wieder");
  });
  EXPECT_TRUE(toolkit.ShowModal(form));
  EXPECT_EQ(toolkit.pending_scripts("frmTest"), 0u);
}

TEST(HeadlessToolkitTest, MessageBoxesAnswerFromTheQueueOrByTheirDefault) {
  HeadlessToolkit toolkit;
  testing::ExpectQueuedAnswersThenDefaults(toolkit);
}

}  // namespace
}  // namespace korvix::ui
