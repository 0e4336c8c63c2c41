// A form in a real window, driven through its widgets: the events the user's
// input raises, the program's puts on the screen, what the user cannot do.
#include "platform/ui/qt/form_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "korvix/ui/form.h"
#include "korvix/ui/qt_toolkit.h"
#include "platform/ui/qt/qt_user.h"
#include "platform/ui/qt/placed_test_form.h"

namespace korvix::ui::qt {
namespace {

using Log = std::vector<std::string>;
using testing::EventLog;
using testing::PlacedTestForm;

class FormWindowTest : public ::testing::Test {
 protected:
  // Shows `form` on the toolkit, played by `script` through a QtUser, and
  // returns what ShowModal returned.
  bool Show(Form& form, std::function<void(QtUser&)> script) {
    toolkit_.QueueScript(form.name(), [script = std::move(script)](User& user) {
      script(dynamic_cast<QtUser&>(user));
    });
    return toolkit_.ShowModal(form);
  }

  template <class W>
  static W* Widget(const QtUser& user, const char* name, int index = -1) {
    return qobject_cast<W*>(user.window().widget(name, index));
  }

  ScriptedQtToolkit toolkit_;
};

TEST_F(FormWindowTest, ListBoxClickOnChangeDoubleClickOnAndOffTheItems) {
  Form form(PlacedTestForm());
  EventLog log(form);
  ListControl& items = form.list("lstItems");
  for (const char* text : {"eins", "zwei", "drei"}) items.AddItem(text);
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    auto* list = Widget<QListWidget>(user, "lstItems");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(log.Take(), (Log{"GotFocus lstItems"}));  // first in tab order

    EXPECT_TRUE(user.Select({"lstItems"}, 1));
    EXPECT_EQ(log.Take(), (Log{"Click lstItems"}));
    EXPECT_TRUE(user.Select({"lstItems"}, 1));
    EXPECT_EQ(log.Take(), Log{}) << "the same item again changes nothing";
    EXPECT_FALSE(user.Select({"lstItems"}, 3));

    // The program's puts: a change raises Click and shows; the same value
    // raises nothing.
    EXPECT_TRUE(items.SetListIndex(2));
    EXPECT_EQ(log.Take(), (Log{"Click lstItems"}));
    EXPECT_EQ(user.State({"lstItems"}).list_index, 2);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_TRUE(items.SetListIndex(2));
    EXPECT_TRUE(items.SetListIndex(-1));
    EXPECT_EQ(log.Take(), (Log{"Click lstItems"}));
    EXPECT_TRUE(list->selectedItems().isEmpty());

    EXPECT_TRUE(user.DoubleClick({"lstItems"}, 0));
    EXPECT_EQ(log.Take(), (Log{"Click lstItems", "DblClick lstItems"}));
    EXPECT_TRUE(user.DoubleClick({"lstItems"}, -1));
    EXPECT_EQ(log.Take(), (Log{"DblClick lstItems"}));
    EXPECT_EQ(user.State({"lstItems"}).list_index, 0) << "a click below the items keeps the pick";
    EXPECT_FALSE(user.DoubleClick({"cboRow", 0}, 0)) << "drop-down lists have no double click";

    // Item data follows the model's puts; so do items added while shown.
    EXPECT_TRUE(items.SetItemData(1, 42));
    EXPECT_TRUE(items.AddItem("vier"));
    EXPECT_EQ(user.State({"lstItems"}).item_data, (std::vector<std::int32_t>{0, 42, 0, 0}));
    EXPECT_EQ(user.State({"lstItems"}).items,
              (std::vector<std::string>{"eins", "zwei", "drei", "vier"}));
    EXPECT_EQ(log.Take(), Log{});

    // Emptying is not a pick.
    EXPECT_TRUE(items.Clear());
    EXPECT_EQ(log.Take(), Log{});
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(user.State({"lstItems"}).list_index, -1);
    EXPECT_TRUE(items.AddItem("neu"));
    EXPECT_EQ(user.State({"lstItems"}).items, (std::vector<std::string>{"neu"}));
    user.CloseBox();
  }));
}

TEST_F(FormWindowTest, DropDownPicksRaiseClickOnlyOnChange) {
  Form form(PlacedTestForm());
  EventLog log(form);
  ListControl& row = form.list("cboRow", 1);
  for (const char* text : {"PLZ", "Ort", "Straße"}) {
    row.AddItem(text);
    row.SetItemData(row.NewIndex(), 10 * (row.NewIndex() + 1));
  }
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    auto* combo = Widget<QComboBox>(user, "cboRow", 1);
    ASSERT_NE(combo, nullptr);
    // Qt would show the first entry added; the model has none chosen.
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(user.State({"cboRow", 1}).text, "");
    EXPECT_EQ(user.State({"cboRow", 1}).item_data, (std::vector<std::int32_t>{10, 20, 30}));
    log.Take();

    EXPECT_TRUE(user.Select({"cboRow", 1}, 2));
    EXPECT_EQ(log.Take(), (Log{"GotFocus cboRow(1)", "Click cboRow(1)"}));
    EXPECT_EQ(combo->currentText(), QString::fromUtf8("Straße"));
    EXPECT_FALSE(combo->view()->isVisible()) << "the list closed after the pick";
    EXPECT_TRUE(user.Select({"cboRow", 1}, 2));
    EXPECT_EQ(log.Take(), Log{});
    EXPECT_FALSE(user.Select({"cboRow", 1}, 3));
    EXPECT_FALSE(user.Select({"cboRow", 1}, -1));

    EXPECT_TRUE(row.SetListIndex(0));
    EXPECT_EQ(log.Take(), (Log{"Click cboRow(1)"}));
    EXPECT_EQ(combo->currentText(), "PLZ");
    EXPECT_FALSE(row.SetListIndex(7));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(row.SetListIndex(-1));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(log.Take(), (Log{"Click cboRow(1)"}));
  }));
}

TEST_F(FormWindowTest, TextBoxesTypingFocusAndSelection) {
  Form form(PlacedTestForm());
  EventLog log(form);
  form.text_box("txtNotes").SetText("Zeile 1\r\nZeile 2");
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    auto* name = Widget<QLineEdit>(user, "txtName");
    auto* notes = Widget<QPlainTextEdit>(user, "txtNotes");
    ASSERT_NE(name, nullptr);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(name->text(), "Anfang");
    EXPECT_EQ(notes->document()->blockCount(), 2);
    EXPECT_EQ(user.State({"txtNotes"}).text, "Zeile 1\r\nZeile 2");
    log.Take();

    EXPECT_TRUE(user.Focus({"txtName"}));
    EXPECT_EQ(log.Take(), (Log{"GotFocus txtName"}));
    EXPECT_TRUE(user.Type({"txtName"}, "Öffentlich, Privat, Straße"));
    EXPECT_EQ(form.text_box("txtName").Text(), "Öffentlich, Privat, Straße");
    EXPECT_EQ(name->text(), QString::fromUtf8("Öffentlich, Privat, Straße"));
    // The caret stands after what was typed, in characters.
    EXPECT_EQ(form.text_box("txtName").SelStart(), 26);
    EXPECT_TRUE(user.Type({"txtName"}, ""));
    EXPECT_EQ(form.text_box("txtName").Text(), "");
    EXPECT_EQ(log.Take(), Log{}) << "typing raises nothing";

    // The program selects; the widget shows it.
    TextBox& box = form.text_box("txtName");
    box.SetText("Müller-Schlüssel");
    box.SetSelStart(3);
    box.SetSelLength(5);
    EXPECT_EQ(name->selectedText(), QString::fromUtf8("ler-S"));
    EXPECT_EQ(user.State({"txtName"}).sel_start, 3);
    EXPECT_EQ(user.State({"txtName"}).sel_length, 5);

    // Read only binds the user, not the program.
    EXPECT_FALSE(user.Type({"txtNotes"}, "nein"));
    EXPECT_TRUE(form.text_box("txtNotes").SetText("ja"));
    EXPECT_EQ(notes->toPlainText(), "ja");
    EXPECT_TRUE(user.Focus({"txtNotes"}));
    EXPECT_EQ(log.Take(), (Log{"GotFocus txtNotes"}));
    EXPECT_FALSE(user.Focus({"lblTitle"})) << "labels take no focus";
  }));
}

TEST_F(FormWindowTest, OptionButtonsFollowTheModelsGroups) {
  Form form(PlacedTestForm());
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    const auto values = [&] {
      return std::string(Widget<QRadioButton>(user, "optKind", 0)->isChecked() ? "1" : "0") +
             (Widget<QRadioButton>(user, "optKind", 1)->isChecked() ? "1" : "0") +
             (Widget<QRadioButton>(user, "optOther")->isChecked() ? "1" : "0");
    };
    EXPECT_EQ(values(), "000");
    EXPECT_TRUE(user.Click({"optOther"}));
    EXPECT_TRUE(user.Click({"optKind", 0}));
    EXPECT_EQ(values(), "101");
    EXPECT_TRUE(user.Click({"optKind", 1}));
    EXPECT_EQ(values(), "011");
    EXPECT_TRUE(user.Click({"optKind", 1})) << "a click on the chosen one keeps it on";
    EXPECT_EQ(values(), "011");
    EXPECT_TRUE(form.option("optKind", 0).SetValue(true));
    EXPECT_EQ(values(), "101");
    EXPECT_TRUE(user.State({"optKind", 0}).value);
  }));
}

TEST_F(FormWindowTest, EnabledAndVisibleShowAndBindTheUser) {
  Form form(PlacedTestForm());
  EventLog log(form);
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    auto* ok = Widget<QPushButton>(user, "btnOK");
    EXPECT_FALSE(Widget<QPushButton>(user, "btnOff")->isEnabled());
    EXPECT_FALSE(Widget<QPushButton>(user, "btnHidden")->isVisibleTo(&user.window()));
    EXPECT_FALSE(user.Click({"btnOff"}));
    EXPECT_FALSE(user.Click({"btnHidden"}));
    EXPECT_FALSE(user.Click({"txtName"})) << "a text box is not pressed";
    EXPECT_FALSE(user.Click({"btnNone"}));
    EXPECT_FALSE(user.State({"btnNone"}).exists);
    log.Take();

    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_EQ(log.Take(), (Log{"GotFocus btnOK", "Click btnOK"}));
    EXPECT_TRUE(form.button("btnOK").SetEnabled(false));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(user.State({"btnOK"}).enabled);
    EXPECT_FALSE(user.Click({"btnOK"}));
    EXPECT_TRUE(form.button("btnOK").SetEnabled(true));
    EXPECT_TRUE(form.button("btnOK").SetVisible(false));
    EXPECT_FALSE(user.State({"btnOK"}).visible);
    EXPECT_FALSE(user.Click({"btnOK"}));
    EXPECT_TRUE(form.button("btnHidden").SetVisible(true));
    EXPECT_TRUE(user.State({"btnHidden"}).visible);
    EXPECT_TRUE(user.Click({"btnHidden"}));
    EXPECT_EQ(log.Take(), (Log{"GotFocus btnHidden", "Click btnHidden"}));
  }));
}

TEST_F(FormWindowTest, DisablingTheFocusedControlLeavesTheWindowWithoutFocus) {
  Form form(PlacedTestForm());
  EventLog log(form);
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    EXPECT_TRUE(user.Focus({"txtName"}));
    log.Take();
    EXPECT_TRUE(form.text_box("txtName").SetEnabled(false));
    EXPECT_EQ(user.Focused(), std::nullopt);
    EXPECT_EQ(user.window().focusWidget(), nullptr);
    EXPECT_EQ(log.Take(), Log{}) << "Qt must not pass the focus on by itself";
    // The program's SetFocus shows too, with its GotFocus.
    EXPECT_TRUE(form.button("btnCancel").SetFocus());
    EXPECT_EQ(log.Take(), (Log{"GotFocus btnCancel"}));
    EXPECT_EQ(user.Focused(), (ControlId{"btnCancel"}));
    EXPECT_TRUE(Widget<QPushButton>(user, "btnCancel")->hasFocus());
  }));
}

TEST_F(FormWindowTest, EnterAndEscapePressNoButton) {
  Form form(PlacedTestForm());
  EventLog log(form);
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    QWidget* ok = user.window().widget("btnOK");
    for (QWidget* target : {ok, static_cast<QWidget*>(&user.window())}) {
      EXPECT_TRUE(user.Focus({"btnOK"}));
      log.Take();
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(target, key);
      }
      EXPECT_EQ(log.Take(), Log{});
      EXPECT_TRUE(user.shown());
    }
    // The space bar presses the focused button, as on every button.
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_EQ(log.Take(), (Log{"Click btnOK"}));
  }));
}

TEST_F(FormWindowTest, CloseBoxAndScriptsThatEndWithTheFormOpen) {
  int close_box = 0;
  Form form(PlacedTestForm());
  form.OnCloseBox([&] { ++close_box; });
  EXPECT_TRUE(Show(form, [&](QtUser& user) {
    EXPECT_TRUE(user.CloseBox());
    EXPECT_FALSE(user.shown());
    EXPECT_FALSE(user.Click({"btnOK"})) << "the window is gone";
    EXPECT_FALSE(user.CloseBox());
    EXPECT_EQ(user.State({"btnOK"}).caption, "OK") << "reads work after closing";
  }));
  EXPECT_EQ(close_box, 1);
  EXPECT_EQ(form.state(), FormState::kUnloaded);

  // A script that walks away, and a show without a script, close the same way.
  EXPECT_TRUE(Show(form, [](QtUser& user) { EXPECT_TRUE(user.shown()); }));
  EXPECT_TRUE(toolkit_.ShowModal(form));
  EXPECT_EQ(close_box, 3);
  EXPECT_EQ(form.state(), FormState::kUnloaded);
}

TEST_F(FormWindowTest, AModalFormBlocksTheWindowBelowIt) {
  Form outer(PlacedTestForm("frmOuter"));
  Form inner(PlacedTestForm("frmInner"));
  EventLog inner_log(inner);
  outer.On(Event::kClick, "btnOK", [&] { EXPECT_TRUE(toolkit_.ShowModal(inner)); });
  QtUser* below = nullptr;
  toolkit_.QueueScript("frmInner", [&](User& user) {
    ASSERT_NE(below, nullptr);
    EXPECT_FALSE(below->Click({"btnCancel"}));
    EXPECT_FALSE(below->Focus({"txtName"}));
    EXPECT_FALSE(below->CloseBox());
    EXPECT_TRUE(below->shown());
    EXPECT_TRUE(user.Click({"btnCancel"}));
    EXPECT_TRUE(inner.Unload());
  });
  EXPECT_TRUE(Show(outer, [&](QtUser& user) {
    below = &user;
    EXPECT_TRUE(user.Click({"btnOK"}));
    EXPECT_EQ(inner.state(), FormState::kUnloaded);
    EXPECT_TRUE(user.window().isActiveWindow()) << "the window is in front again";
    EXPECT_TRUE(user.Type({"txtName"}, "wieder da"));
    EXPECT_EQ(outer.text_box("txtName").Text(), "wieder da");
  }));
  EXPECT_EQ(toolkit_.pending_scripts("frmInner"), 0u);
  // A shown form cannot be shown again.
  outer.On(Event::kClick, "btnOK", [&] { EXPECT_FALSE(toolkit_.ShowModal(outer)); });
  EXPECT_TRUE(Show(outer, [](QtUser& user) { EXPECT_TRUE(user.Click({"btnOK"})); }));
}

}  // namespace
}  // namespace korvix::ui::qt
