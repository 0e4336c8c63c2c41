#include "platform/ui/headless/headless_user.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "korvix/ui/form.h"
#include "korvix/ui/headless_toolkit.h"
#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::EventLog;
using testing::TestForm;

// What a real user cannot do fails and changes nothing.
TEST(HeadlessUserTest, ImpossibleActsFailWithoutEffect) {
  HeadlessToolkit toolkit;
  Form form(TestForm());
  form.list("lstItems").AddItem("eins");
  form.list("cboRow", 0).AddItem("x");
  EventLog log(form);
  toolkit.QueueScript("frmTest", [&](User& user) {
    log.Take();  // the first focus at opening
    struct Case {
      const char* what;
      std::function<bool()> act;
    };
    const Case cases[] = {
        {"click a disabled button", [&] { return user.Click({"btnOff"}); }},
        {"click an invisible button", [&] { return user.Click({"btnHidden"}); }},
        {"click a label", [&] { return user.Click({"lblTitle"}); }},
        {"click a missing control", [&] { return user.Click({"btnNope"}); }},
        {"type into a read-only box", [&] { return user.Type({"txtNotes"}, "x"); }},
        {"type into a list", [&] { return user.Type({"lstItems"}, "x"); }},
        {"select past the end", [&] { return user.Select({"lstItems"}, 1); }},
        {"select none", [&] { return user.Select({"lstItems"}, -1); }},
        {"select in a text box", [&] { return user.Select({"txtName"}, 0); }},
        {"select an unknown item text", [&] { return user.SelectText({"lstItems"}, "zwei"); }},
        {"double-click a combo box", [&] { return user.DoubleClick({"cboRow", 0}, 0); }},
        {"double-click past the end", [&] { return user.DoubleClick({"lstItems"}, 3); }},
        {"focus a label", [&] { return user.Focus({"lblTitle"}); }},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      EXPECT_FALSE(c.act());
      EXPECT_THAT(log.Take(), IsEmpty());
    }
    EXPECT_EQ(form.list("lstItems").ListIndex(), -1);
    EXPECT_EQ(form.text_box("txtNotes").Text(), "");
    EXPECT_EQ(user.Focused(), (ControlId{"lstItems"}));
    // Enabled again, the button works.
    form.button("btnOff").SetEnabled(true);
    EXPECT_TRUE(user.Click({"btnOff"}));
    EXPECT_THAT(log.Take(), ElementsAre("GotFocus btnOff", "Click btnOff"));
  });
  toolkit.ShowModal(form);
}

TEST(HeadlessUserTest, ActsMoveTheFocusAndRaiseTheEventsAUserWould) {
  HeadlessToolkit toolkit;
  Form form(TestForm());
  for (const char* t : {"eins", "zwei", "drei"}) form.list("lstItems").AddItem(t);
  for (const char* t : {"", "PLZ", "Ort"}) form.list("cboRow", 1).AddItem(t);
  EventLog log(form);
  toolkit.QueueScript("frmTest", [&](User& user) {
    // Opening gave the focus to the first control in tab order.
    EXPECT_THAT(log.Take(), ElementsAre("GotFocus lstItems"));
    struct Step {
      const char* what;
      std::function<bool()> act;
      std::vector<std::string> events;
    };
    const std::vector<Step> steps = {
        {"pick", [&] { return user.Select({"lstItems"}, 1); }, {"Click lstItems"}},
        {"same pick", [&] { return user.Select({"lstItems"}, 1); }, {}},
        {"pick by text", [&] { return user.SelectText({"cboRow", 1}, "Ort"); },
         {"GotFocus cboRow(1)", "Click cboRow(1)"}},
        {"type", [&] { return user.Type({"txtName"}, "Meier"); }, {"GotFocus txtName"}},
        {"type again", [&] { return user.Type({"txtName"}, "Maier"); }, {}},
        {"double-click an item", [&] { return user.DoubleClick({"lstItems"}, 2); },
         {"GotFocus lstItems", "Click lstItems", "DblClick lstItems"}},
        {"double-click the selected item", [&] { return user.DoubleClick({"lstItems"}, 2); },
         {"DblClick lstItems"}},
        {"double-click off the items", [&] { return user.DoubleClick({"lstItems"}, -1); },
         {"DblClick lstItems"}},
        {"option", [&] { return user.Click({"optKind", 1}); }, {"GotFocus optKind(1)"}},
        {"tab", [&] { return user.Focus({"txtNotes"}); }, {"GotFocus txtNotes"}},
        {"button", [&] { return user.Click({"btnCancel"}); },
         {"GotFocus btnCancel", "Click btnCancel"}},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.what);
      EXPECT_TRUE(s.act());
      EXPECT_EQ(log.Take(), s.events);
    }
    EXPECT_EQ(form.list("lstItems").Text(), "drei");
    EXPECT_EQ(form.list("cboRow", 1).ListIndex(), 2);
    EXPECT_EQ(form.text_box("txtName").Text(), "Maier");
    EXPECT_TRUE(form.option("optKind", 1).Value());
    EXPECT_TRUE(user.CloseBox());
    EXPECT_FALSE(user.CloseBox());
  });
  toolkit.ShowModal(form);
  EXPECT_EQ(form.state(), FormState::kUnloaded);
}

TEST(HeadlessUserTest, StateShowsWhatTheUserSees) {
  HeadlessToolkit toolkit;
  Form form(TestForm());
  ListControl& row = form.list("cboRow", 2);
  row.AddItem("");
  row.AddItem("Bez1+2");
  row.SetItemData(row.NewIndex(), 51);
  row.SetListIndex(1);
  row.SetEnabled(false);
  TextBox& notes = form.text_box("txtNotes");
  notes.SetText("Status: öffentlich");
  notes.SetFontBold(true);
  notes.SetForeColor(Color::Rgb(0, 0, 128));
  form.button("btnOK").SetVisible(false);
  form.option("optKind", 0).SetValue(true);
  form.On(Event::kGotFocus, "txtName", [&] {
    form.active_control().SetSelStart(1);
    form.active_control().SetSelLength(3);
  });

  toolkit.QueueScript("frmTest", [&](User& user) {
    EXPECT_EQ(user.form_name(), "frmTest");
    const ControlState combo = user.State({"cboRow", 2});
    EXPECT_TRUE(combo.exists);
    EXPECT_EQ(combo.kind, ControlKind::kComboBox);
    EXPECT_THAT(combo.items, ElementsAre("", "Bez1+2"));
    EXPECT_THAT(combo.item_data, ElementsAre(0, 51));
    EXPECT_EQ(combo.list_index, 1);
    EXPECT_EQ(combo.text, "Bez1+2");
    EXPECT_FALSE(combo.enabled);
    EXPECT_TRUE(combo.visible);

    const ControlState text = user.State({"txtNotes"});
    EXPECT_EQ(text.text, "Status: öffentlich");
    EXPECT_TRUE(text.font_bold);
    EXPECT_EQ(text.fore_color, Color::Rgb(0, 0, 128));

    EXPECT_FALSE(user.State({"btnOK"}).visible);
    EXPECT_EQ(user.State({"btnOK"}).caption, "OK");
    EXPECT_EQ(user.State({"lblTitle"}).caption, "Titel:");
    EXPECT_TRUE(user.State({"optKind", 0}).value);
    EXPECT_FALSE(user.State({"optKind", 1}).value);
    EXPECT_FALSE(user.State({"cboRow", 7}).exists);

    EXPECT_TRUE(user.Focus({"txtName"}));
    const ControlState name = user.State({"txtName"});
    EXPECT_TRUE(name.focused);
    EXPECT_EQ(name.sel_start, 1);
    EXPECT_EQ(name.sel_length, 3);
    EXPECT_EQ(user.Focused(), (ControlId{"txtName"}));
    EXPECT_FALSE(user.State({"lstItems"}).focused);
    user.CloseBox();
    // Still readable once closed.
    EXPECT_EQ(user.State({"txtNotes"}).text, "Status: öffentlich");
  });
  toolkit.ShowModal(form);
  EXPECT_EQ(toolkit.pending_scripts("frmTest"), 0u);
}

}  // namespace
}  // namespace korvix::ui
