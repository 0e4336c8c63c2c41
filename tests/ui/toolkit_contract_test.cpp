// What the dialogs rely on of a toolkit, proven the same way on each back
// end: this file is built into the headless and the Qt test binaries. Every
// read goes through the scripted user, so on Qt it is what the widgets show.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "case_file.h"
#include "korvix/ui/message_box.h"
#include "ui/test_form.h"

namespace korvix::ui::testing {
namespace {

using Events = std::vector<std::string>;

class ToolkitContract : public ::testing::Test {
 protected:
  // Shows the form with `script` as its user; the script must have run.
  void Show(Script script) {
    toolkit_->QueueScript(form_.name(), std::move(script));
    EXPECT_TRUE(toolkit_->ShowModal(form_));
    EXPECT_EQ(toolkit_->pending_scripts(form_.name()), 0u) << "the script did not run";
  }
  // Plays the acts of the case file `name` under ui/cases (see focus.tsv).
  void Play(User& user, const std::string& name) {
    for (const korvix::testing::Case& c : korvix::testing::ReadCases("ui/cases/" + name, 6)) {
      const ControlId id = c[2] == "-" ? ControlId{c[1]} : ControlId{c[1], std::stoi(c[2])};
      const bool ok = c[0] == "put"     ? form_.control(c[1]).SetFocus()
                      : c[0] == "focus" ? user.Focus(id)
                      : c[0] == "click" ? user.Click(id)
                      : c[0] == "type"  ? user.Type(id, "x")
                                        : user.DoubleClick(id, std::stoi(c[3]));
      EXPECT_EQ(ok, c[4] == "1") << c.where;
      EXPECT_EQ(log_.Take(), korvix::testing::SplitField(c[5])) << c.where;
    }
  }

  std::unique_ptr<ScriptedToolkit> toolkit_ = MakeToolkit();
  Form form_{TestForm()};
  EventLog log_{form_};
};

TEST_F(ToolkitContract, SelectionsRaiseClickOnlyWhenTheyChange) {
  for (const char* text : {"eins", "zwei", "drei"}) form_.list("lstItems").AddItem(text);
  for (const char* text : {"", "PLZ", "Straße"}) form_.list("cboRow", 1).AddItem(text);
  form_.list("cboRow", 1).SetItemData(2, 51);
  // Read before the window shows: a script that throws only closes it.
  const auto steps = korvix::testing::ReadCases("ui/cases/selections.tsv", 7);
  Show([&](User& user) {
    EXPECT_EQ(log_.Take(), Events{"GotFocus lstItems"}) << "first in tab order, label skipped";
    for (const korvix::testing::Case& s : steps) {
      const ControlId id = s[1] == "-" ? ControlId{"lstItems"} : ControlId{"cboRow", std::stoi(s[1])};
      const int index = std::stoi(s[2]);
      SCOPED_TRACE(s.where);
      ListControl& list = form_.list(id.name, id.index);
      EXPECT_EQ(s[0] == "pick" ? user.Select(id, index) : list.SetListIndex(index), s[3] == "1");
      EXPECT_EQ(log_.Take(), korvix::testing::SplitField(s[4]));
      EXPECT_EQ(user.State(id).list_index, std::stoi(s[5]));
      EXPECT_EQ(user.State(id).text, s[6]);
    }
    EXPECT_EQ(user.State({"cboRow", 1}).item_data, (std::vector<std::int32_t>{0, 0, 51}));
    EXPECT_TRUE(form_.list("lstItems").Clear() && form_.list("lstItems").AddItem("neu"));
    EXPECT_EQ(log_.Take(), Events{}) << "emptying and filling raise nothing";
    EXPECT_EQ(user.State({"lstItems"}).items, Events{"neu"});
  });
}

TEST_F(ToolkitContract, OptionButtonsOfAGroupExcludeEachOther) {
  Show([&](User& user) {
    for (const korvix::testing::Case& c : korvix::testing::ReadCases("ui/cases/option_buttons.tsv", 4)) {
      const ControlId id = c[1] == "-" ? ControlId{"optOther"} : ControlId{"optKind", std::stoi(c[1])};
      EXPECT_TRUE(c[0] == "click" ? user.Click(id) : form_.option(id.name, id.index).SetValue(c[2] == "1"));
      std::string shown;
      for (const ControlId& id : {ControlId{"optKind", 0}, {"optKind", 1}, {"optOther"}}) {
        shown += user.State(id).value ? '1' : '0';
      }
      EXPECT_EQ(shown, c[3]) << c.where;
    }
  });
}

TEST_F(ToolkitContract, SetFocusRaisesGotFocusOnlyWhenTheFocusMoves) {
  form_.text_box("txtNotes").SetText("Zeile 1\r\nMüller 😀");
  Show([&](User& user) {
    log_.Take();
    Play(user, "focus.tsv");
    EXPECT_EQ(user.Focused(), (ControlId{"txtNotes"}));
    // As the editor does: the box that gets the focus selects its whole text,
    // counted in characters (a line break is two).
    form_.On(Event::kGotFocus, "txtNotes", [&] {
      form_.active_control().SetSelStart(0);
      form_.active_control().SetSelLength(CharacterCount(form_.active_control().Text()));
    });
    EXPECT_TRUE(user.Focus({"btnOK"}) && user.Focus({"txtNotes"}));
    const ControlState notes = user.State({"txtNotes"});
    EXPECT_EQ(std::make_pair(notes.sel_start, notes.sel_length), std::make_pair(0, 17));
    log_.Take();
    // Disabling the focused control leaves none; nothing passes it on.
    EXPECT_TRUE(form_.control("txtNotes").SetEnabled(false));
    EXPECT_EQ(user.Focused(), std::nullopt);
    EXPECT_EQ(log_.Take(), Events{});
  });
}

TEST_F(ToolkitContract, WhatAUserCannotDoFailsAndRaisesNothing) {
  for (const char* text : {"eins", "zwei"}) form_.list("lstItems").AddItem(text);
  form_.list("cboRow", 0).AddItem("x");
  Show([&](User& user) {
    log_.Take();
    Play(user, "refused_acts.tsv");
    EXPECT_EQ(user.State({"lstItems"}).list_index, 1) << "a click below the items keeps the pick";
    EXPECT_EQ(form_.text_box("txtNotes").Text(), "");
  });
}

TEST_F(ToolkitContract, TheProgramsPutsAndTheDialogsPropertiesShowAlsoOnceClosed) {
  std::string algorithm = "vorher";
  bool result = false;
  form_.Publish("Algorithm", &algorithm);
  form_.Publish("Result", &result);
  Show([&](User& user) {
    EXPECT_EQ(user.Property("Result"), "False");
    TextBox& notes = form_.text_box("txtNotes");
    TextBox& name = form_.text_box("txtName");
    // Read-only binds the user, not the program.
    EXPECT_TRUE(notes.SetText("Zeile 1\r\nZeile 2") && notes.SetFontBold(true));
    EXPECT_TRUE(notes.SetForeColor(Color::Rgb(0, 0, 128)));
    EXPECT_TRUE(name.SetText("Müller-Schlüssel") && name.SetSelStart(3) && name.SetSelLength(5));
    EXPECT_TRUE(form_.control("btnOK").SetEnabled(false));
    EXPECT_TRUE(form_.control("btnCancel").SetVisible(false));
    EXPECT_TRUE(form_.control("btnHidden").SetVisible(true) && user.Click({"btnHidden"}));
    EXPECT_FALSE(user.Click({"btnOK"}) || user.Click({"btnCancel"}));
    algorithm = "0103000000000000";
    result = true;
    EXPECT_TRUE(user.CloseBox());
    EXPECT_FALSE(user.shown() || user.CloseBox());
    const ControlState shown = user.State({"txtNotes"}), selected = user.State({"txtName"});
    EXPECT_EQ(std::tie(shown.text, shown.font_bold, shown.fore_color),
              std::make_tuple("Zeile 1\r\nZeile 2", true, Color::Rgb(0, 0, 128)));
    EXPECT_EQ(std::tie(selected.font_bold, selected.sel_start, selected.sel_length),
              std::make_tuple(false, 3, 5));
    EXPECT_FALSE(user.State({"btnOK"}).enabled || user.State({"btnCancel"}).visible);
    EXPECT_EQ(user.State({"btnOK"}).caption, "OK");
    EXPECT_FALSE(user.State({"cboRow", 3}).exists);
    EXPECT_EQ(user.Caption(), "Prüfung");
    EXPECT_EQ(user.Property("Algorithm"), "0103000000000000");
    EXPECT_EQ(user.Property("Result"), "True");
    EXPECT_EQ(user.Property("ResultName"), std::nullopt);
  });
}

TEST_F(ToolkitContract, NestedFormsAreModalAndScriptsAreTakenInOrder) {
  Form inner(TestForm("frmInner"));
  Events order;
  inner.OnCloseBox([&] { order.push_back("inner close box"); });
  form_.On(Event::kClick, "btnOK", [&] {
    EXPECT_TRUE(toolkit_->ShowModal(inner));
    EXPECT_FALSE(toolkit_->ShowModal(form_)) << "a shown form cannot be shown again";
    order.push_back("inner returned");
  });
  User* below = nullptr;
  toolkit_->QueueScript("frmInner", [&](User& user) {
    EXPECT_FALSE(below->Click({"btnCancel"})) << "the window below is blocked";
    EXPECT_TRUE(below->shown() && user.Type({"txtName"}, "innen"));
  });  // left open: closes by its close box
  toolkit_->QueueScript("frmInner", [&](User&) { throw std::runtime_error("user gave up"); });
  Show([&](User& user) {
    below = &user;
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_TRUE(user.Type({"txtName"}, "wieder da")) << "the window is in front again";
    EXPECT_TRUE(user.Click({"btnOK"}));  // the second script throws
    EXPECT_TRUE(user.Click({"btnOK"}));  // no script: closes at once
  });
  const Events round = {"inner close box", "inner returned"};
  EXPECT_EQ(order, (Events{round[0], round[1], round[0], round[1], round[0], round[1]}));
  EXPECT_EQ(inner.text_box("txtName").Text() + form_.text_box("txtName").Text(), "innenwieder da");
}

TEST_F(ToolkitContract, MessageBoxesAnswerFromTheQueueOrByTheirDefaultButton) {
  const auto cases = korvix::testing::ReadCases("ui/cases/message_boxes.tsv", 3);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const korvix::testing::Case& c = cases[i];
    if (c[0] != "-") toolkit_->QueueAnswer(std::stoi(c[0]));
    const std::string prompt = std::to_string(i) + "\r\n\r\nLöschen?";
    const int flags = std::stoi(c[1]), result = std::stoi(c[2]);
    EXPECT_EQ(toolkit_->MessageBox(prompt, flags, "Titel"), result) << c.where;
    const MessageBoxRecord& got = toolkit_->message_boxes().at(i);
    EXPECT_EQ(std::tie(got.prompt, got.flags, got.title, got.result), std::tie(prompt, flags, "Titel", result));
  }
  EXPECT_EQ(toolkit_->pending_answers(), 0u);
}

}  // namespace
}  // namespace korvix::ui::testing
