#include "korvix/ui/form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::EventLog;
using testing::TestForm;

std::string FocusName(Form& form) {
  const Control& c = form.active_control();
  if (!c.attached()) return "none";
  return c.index() < 0 ? c.name() : c.name() + "(" + std::to_string(c.index()) + ")";
}

TEST(FormTest, ShowingFocusesTheFirstControlInTabOrderThatTakesTheFocus) {
  struct Case {
    const char* disable;  // controls disabled before the show, or ""
    const char* expected;
  };
  // The label comes first but takes no focus; disabled controls are skipped.
  for (const Case c : {Case{"", "lstItems"}, Case{"lstItems", "cboRow(0)"}}) {
    SCOPED_TRACE(c.disable);
    Form form(TestForm());
    EventLog log(form);
    if (*c.disable) form.control(c.disable).SetEnabled(false);
    EXPECT_EQ(FocusName(form), "none");
    ASSERT_TRUE(form.BeginModal());
    EXPECT_EQ(form.state(), FormState::kShown);
    EXPECT_EQ(FocusName(form), c.expected);
    EXPECT_THAT(log.Take(), ElementsAre(std::string("GotFocus ") + c.expected));
    EXPECT_FALSE(form.BeginModal());  // already shown
  }
}

TEST(FormTest, SetFocusRaisesGotFocusOnlyWhenTheFocusMoves) {
  Form form(TestForm());
  EXPECT_FALSE(form.text_box("txtName").SetFocus());  // not shown yet
  form.BeginModal();
  EventLog log(form);

  struct Step {
    const char* name;
    bool ok;
    const char* got_focus;  // expected event, or "" for none
    const char* focus_after;
  };
  const Step steps[] = {
      {"txtName", true, "GotFocus txtName", "txtName"},
      {"txtName", true, "", "txtName"},
      {"lstItems", true, "GotFocus lstItems", "lstItems"},
      {"txtName", true, "GotFocus txtName", "txtName"},
      {"lblTitle", false, "", "txtName"},
      {"btnOff", false, "", "txtName"},
      {"btnHidden", false, "", "txtName"},
      {"txtNotes", true, "GotFocus txtNotes", "txtNotes"},  // read-only still takes it
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(form.control(s.name).SetFocus(), s.ok);
    const std::vector<std::string> events = log.Take();
    if (*s.got_focus) {
      EXPECT_THAT(events, ElementsAre(s.got_focus));
    } else {
      EXPECT_THAT(events, IsEmpty());
    }
    EXPECT_EQ(FocusName(form), s.focus_after);
  }
}

TEST(FormTest, GotFocusHandlerSelectsTheWholeTextOfTheActiveControl) {
  Form form(TestForm());
  form.text_box("txtName").SetText("Kundengruppe Süd");
  form.text_box("txtNotes").SetText("");
  auto select_all = [&] {
    Control& active = form.active_control();
    active.SetSelStart(0);
    active.SetSelLength(CharacterCount(active.Text()));
  };
  form.On(Event::kGotFocus, "txtName", select_all);
  form.On(Event::kGotFocus, "txtNotes", select_all);
  form.BeginModal();

  struct Case {
    const char* box;
    int length;
  };
  for (const Case c : {Case{"txtName", 16}, Case{"txtNotes", 0}}) {
    SCOPED_TRACE(c.box);
    ASSERT_TRUE(form.control(c.box).SetFocus());
    EXPECT_EQ(form.active_control().Text(), form.text_box(c.box).Text());
    EXPECT_EQ(form.text_box(c.box).SelStart(), 0);
    EXPECT_EQ(form.text_box(c.box).SelLength(), c.length);
  }
}

TEST(FormTest, DisablingOrHidingTheFocusedControlLeavesNoFocus) {
  for (const bool hide : {false, true}) {
    SCOPED_TRACE(hide ? "hide" : "disable");
    Form form(TestForm());
    form.BeginModal();
    ASSERT_TRUE(form.control("btnOK").SetFocus());
    if (hide) {
      form.control("btnOK").SetVisible(false);
    } else {
      form.control("btnOK").SetEnabled(false);
    }
    EXPECT_FALSE(form.active_control().attached());
    EXPECT_FALSE(form.active_control().SetSelStart(0));
    EXPECT_EQ(form.active_control().Text(), "");
  }
}

TEST(FormTest, OptionButtonsOfOneGroupExcludeEachOther) {
  Form form(TestForm());
  OptionButton& a = form.option("optKind", 0);
  OptionButton& b = form.option("optKind", 1);
  OptionButton& other = form.option("optOther");
  EventLog log(form);

  struct Step {
    OptionButton* button;
    bool put;
    bool a, b, other;
  };
  const Step steps[] = {
      {&a, true, true, false, false},    {&b, true, false, true, false},
      {&other, true, false, true, true},  // another group: b stays on
      {&b, false, false, false, true},    // off leaves the group with none on
      {&a, true, true, false, true},      {&a, true, true, false, true},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const Step& s = steps[i];
    EXPECT_TRUE(s.button->SetValue(s.put));
    EXPECT_EQ(a.Value(), s.a);
    EXPECT_EQ(b.Value(), s.b);
    EXPECT_EQ(other.Value(), s.other);
  }
  EXPECT_THAT(log.Take(), IsEmpty());
  EXPECT_TRUE(b.SetEnabled(false));
  EXPECT_FALSE(b.Enabled());
  EXPECT_TRUE(b.SetValue(true));  // the program may set a disabled button
  EXPECT_FALSE(a.Value());
}

TEST(FormTest, UnloadedFormKeepsItsStateReadable) {
  Form form(TestForm());
  form.list("lstItems").AddItem("eins");
  form.list("lstItems").AddItem("zwei");
  form.list("lstItems").SetListIndex(1);
  form.text_box("txtName").SetText("Name");
  form.text_box("txtNotes").SetFontBold(true);
  form.text_box("txtNotes").SetForeColor(Color::Rgb(0, 0, 128));
  form.button("btnOK").SetEnabled(false);
  form.option("optKind", 1).SetValue(true);
  form.BeginModal();

  EXPECT_TRUE(form.Unload());
  EXPECT_EQ(form.state(), FormState::kUnloaded);
  EXPECT_FALSE(form.Unload());

  EXPECT_EQ(form.list("lstItems").Text(), "zwei");
  EXPECT_EQ(form.list("lstItems").ListCount(), 2);
  EXPECT_EQ(form.text_box("txtName").Text(), "Name");
  EXPECT_TRUE(form.text_box("txtNotes").FontBold());
  EXPECT_EQ(form.text_box("txtNotes").ForeColor(), Color::Rgb(0, 0, 128));
  EXPECT_FALSE(form.button("btnOK").Enabled());
  EXPECT_TRUE(form.option("optKind", 1).Value());
  // No window, so no focus to give.
  EXPECT_FALSE(form.control("txtName").SetFocus());
}

TEST(FormTest, HandlersAreReplacedAndArraysShareOne) {
  Form form(TestForm());
  std::vector<std::string> calls;
  form.On(Event::kClick, "cboRow", [&](int i) { calls.push_back("first " + std::to_string(i)); });
  form.On(Event::kClick, "cboRow", [&](int i) { calls.push_back("second " + std::to_string(i)); });
  form.On(Event::kClick, "lstItems", [&] { calls.push_back("list"); });
  for (int i = 0; i < 3; ++i) form.list("cboRow", i).AddItem("x");
  form.list("lstItems").AddItem("x");

  form.list("cboRow", 2).SetListIndex(0);
  form.list("cboRow", 0).SetListIndex(0);
  form.list("lstItems").SetListIndex(0);
  form.list("cboRow", 1).SetListIndex(0);
  EXPECT_THAT(calls, ElementsAre("second 2", "second 0", "list", "second 1"));
}

TEST(FormTest, ObserverSeesEveryChangeAndTheUnload) {
  struct Recorder : FormObserver {
    void ControlChanged(const Control& c, Property what) override {
      changes.push_back(c.name() + ":" + std::to_string(static_cast<int>(what)));
    }
    void Unloaded() override { changes.push_back("unloaded"); }
    std::vector<std::string> changes;
  } recorder;
  Form form(TestForm());
  form.set_observer(&recorder);
  auto p = [](const char* name, Property what) {
    return std::string(name) + ":" + std::to_string(static_cast<int>(what));
  };

  form.list("lstItems").AddItem("a");
  form.list("lstItems").SetListIndex(0);
  form.list("lstItems").SetListIndex(0);  // unchanged: nothing to mirror
  form.button("btnOK").SetVisible(false);
  form.text_box("txtName").SetFontBold(true);
  form.Unload();
  EXPECT_THAT(recorder.changes,
              ElementsAre(p("lstItems", Property::kItems), p("lstItems", Property::kListIndex),
                          p("btnOK", Property::kVisible), p("txtName", Property::kFontBold),
                          "unloaded"));
}

TEST(FormTest, FontComesFromTheFormUnlessTheControlDeclaresItsOwn) {
  FormDescription d = TestForm();
  d.controls[1].font = Font{.name = "Courier New", .size_points = 10, .bold = true};
  Form form(std::move(d));
  EXPECT_EQ(form.control("txtName").font().name, "Tahoma");
  EXPECT_FALSE(form.control("txtName").FontBold());
  EXPECT_EQ(form.control("lstItems").font().name, "Courier New");
  EXPECT_TRUE(form.control("lstItems").FontBold());
  form.control("lstItems").SetFontBold(false);
  EXPECT_FALSE(form.control("lstItems").font().bold);
}

}  // namespace
}  // namespace korvix::ui
