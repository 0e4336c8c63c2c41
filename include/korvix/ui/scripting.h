// Playing the user: scripts that act on shown forms, and message-box answers.
//
// A test or an unattended host queues, per form name, scripts that play the
// user. Each time a form is shown modally, the toolkit takes the next script
// queued under the form's name and runs it with a User bound to that form;
// when the script returns and the form is still shown, the form is closed as
// by its close box. A form shown with no script queued closes that way at
// once. A script may act so that the form opens another form modally (a click
// whose handler shows the editor); the inner form then takes its own script
// and the outer script goes on once the inner form has closed.
//
// Message boxes are answered from one queue in the order they appear; with
// the queue empty, a box is answered by its default button (48 -> 1 OK,
// 289 -> 2 Cancel, 292 -> 7 No). Every box shown is recorded.
//
//   toolkit.QueueScript("frmSelect", [](ui::User& user) {
//     user.Select({"Liste"}, 0);
//     user.Click({"btnEdit"});      // the editor runs its own script here
//     EXPECT_TRUE(user.State({"btnOK"}).enabled);
//     user.Click({"btnOK"});
//     EXPECT_EQ(user.Property("Result"), "True");   // readable once closed
//   });
//   toolkit.QueueScript("frmAlgorithm", [](ui::User& user) {
//     user.Type({"txtName"}, "Kurz");
//     user.Click({"btnOK"});
//   });
//   toolkit.QueueAnswer(ui::kResultYes);
//
// Every back end implements this interface, so one suite of scenarios runs
// against each of them.
#ifndef KORVIX_UI_SCRIPTING_H_
#define KORVIX_UI_SCRIPTING_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/export.h"
#include "korvix/ui/control_state.h"
#include "korvix/ui/toolkit.h"

namespace korvix::ui {

// The user in front of one shown form.
//
// Acts fail (return false, changing nothing) when the form is no longer
// shown, when another form is modal over it, or when the control is missing,
// of the wrong kind, disabled or invisible: what a real user could not do.
// Each act first moves the focus to its control, raising GotFocus when the
// focus moves. Reads work at any time, also after the form has closed.
class KORVIX_EXPORT User {
 public:
  virtual ~User();

  virtual const std::string& form_name() const = 0;
  // The form is shown (not yet closed).
  virtual bool shown() const = 0;

  // Picks item `item` of a list or combo box; raises Click when that changes
  // the selection.
  virtual bool Select(const ControlId& control, int item) = 0;
  // Picks the first item whose text is `text`.
  bool SelectText(const ControlId& control, std::string_view text);
  // Replaces the text of a text box that is not read-only.
  virtual bool Type(const ControlId& control, std::string_view text) = 0;
  // Presses a command button (Click) or switches an option button on.
  virtual bool Click(const ControlId& control) = 0;
  // Double-clicks a list box on item `item` (picked first, as by Select), or
  // off the items when `item` is -1; raises DblClick.
  virtual bool DoubleClick(const ControlId& control, int item) = 0;
  // Moves the focus to a control, as by Tab or a click on it.
  virtual bool Focus(const ControlId& control) = 0;
  // Closes the form by its close box.
  virtual bool CloseBox() = 0;

  virtual ControlState State(const ControlId& control) const = 0;
  // The control that has the focus, if any.
  virtual std::optional<ControlId> Focused() const = 0;
  // The window's caption, as shown.
  virtual std::string Caption() const = 0;
  // A property that the dialog behind the form publishes by name, such as
  // its results ("Result", "Algorithm", "AlgoCode"), read now; Booleans read
  // "True" or "False". None when the dialog publishes no such property.
  virtual std::optional<std::string> Property(std::string_view name) const = 0;
};

using Script = std::function<void(User& user)>;

struct MessageBoxRecord {
  std::string prompt{};
  int flags = 0;
  std::string title{};
  int result = 0;  // the answer given
};

// A toolkit whose user can be scripted.
class KORVIX_EXPORT ScriptedToolkit : public Toolkit {
 public:
  // Queues `script` for the next showing of a form named `form_name` that
  // has not taken a script yet.
  virtual void QueueScript(std::string_view form_name, Script script) = 0;
  // Queues the answer to the next message box: a result code, given as is.
  virtual void QueueAnswer(int result) = 0;

  // Scripts still queued for `form_name`; answers still queued.
  virtual std::size_t pending_scripts(std::string_view form_name) const = 0;
  virtual std::size_t pending_answers() const = 0;

  // Every message box shown so far, oldest first.
  virtual const std::vector<MessageBoxRecord>& message_boxes() const = 0;
};

}  // namespace korvix::ui

#endif  // KORVIX_UI_SCRIPTING_H_
