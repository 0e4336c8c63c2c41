// A control of a form: the state that every kind shares.
//
// Controls belong to a korvix::ui::Form, which creates them from its
// description and hands them out by name and index. A lookup that finds no
// matching control returns a stand-in that is not attached to any form: every
// put on it fails (returns false) and changes nothing, every get returns the
// empty value. So a dialog can go on after a failed step, as its callers
// expect, without testing each lookup.
//
// Puts happen at once and synchronously: an event that a put raises (Click,
// GotFocus) runs its handler before the put returns, and handlers may put
// further properties, nested to any depth.
#ifndef KORVIX_PLATFORM_UI_CONTROL_H_
#define KORVIX_PLATFORM_UI_CONTROL_H_

#include <string>

#include "korvix/export.h"
#include "ui/form_description.h"

namespace korvix::ui {

class Form;

// Events that a form delivers to the handlers of its logic.
enum class Event {
  kClick,     // command button pressed; list or combo selection changed
  kDblClick,  // list box double-clicked
  kGotFocus,  // the control received the focus
};

// What changed in a control, for a back end that mirrors the model.
enum class Property {
  kItems,      // list contents (Clear, AddItem, ItemData)
  kListIndex,
  kText,
  kSelection,  // SelStart, SelLength
  kValue,      // option button
  kEnabled,
  kVisible,
  kFontBold,
  kForeColor,
  kFocus,      // the control received or lost the focus
};

class KORVIX_EXPORT Control {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  // False for the stand-in that a failed lookup returns.
  bool attached() const { return form_ != nullptr; }
  // The form that owns the control; null for the stand-in.
  Form* form() const { return form_; }

  const ControlDescription& description() const { return *description_; }
  ControlKind kind() const { return description_->kind; }
  const std::string& name() const { return description_->name; }
  int index() const { return description_->index; }
  const std::string& caption() const { return description_->caption; }

  bool Enabled() const { return enabled_; }
  bool SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  // Disabling or hiding the control that has the focus leaves the form
  // without focus; no event is raised.
  bool SetVisible(bool visible);

  // The effective font: the control's own or the form's, with the bold put
  // at run time.
  Font font() const;
  bool FontBold() const { return font_bold_; }
  bool SetFontBold(bool bold);
  Color ForeColor() const { return fore_color_; }
  bool SetForeColor(Color color);

  // Gives this control the focus. When it did not have it, raises its
  // GotFocus event. Fails for labels, for disabled or invisible controls and
  // while the form is not shown.
  bool SetFocus();
  bool HasFocus() const;

  // The text that the user reads in it: a text box's text, the selected
  // item of a list or combo box (empty when none). Empty for other kinds.
  virtual std::string Text() const;

  // Selection within the text; only text boxes have one, the others fail.
  virtual bool SetSelStart(int start);
  virtual bool SetSelLength(int length);

 protected:
  // `form` null makes the stand-in. `description` must outlive the control.
  Control(Form* form, const ControlDescription* description);

  // Tells the form's back end that `what` changed.
  void Changed(Property what) const;
  // Delivers `event` to the form's handler for this control, if any.
  void Raise(Event event);

 private:
  Font DeclaredFont() const;

  Form* const form_;
  const ControlDescription* const description_;
  bool enabled_;
  bool visible_;
  bool font_bold_;
  Color fore_color_;

  friend class Form;
};

// Command buttons: pressed by the user, they raise Click. Their state is the
// shared one of every control; the type exists so that a lookup by name
// checks the kind.
class KORVIX_EXPORT CommandButton final : public Control {
 private:
  CommandButton(Form* form, const ControlDescription* description)
      : Control(form, description) {}

  friend class Form;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_CONTROL_H_
