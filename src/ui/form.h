// Form: one window's controls, their state and its events, independent of
// how (or whether) the window is drawn.
//
// A dialog owns a Form built from its FormDescription, registers handlers for
// the events it cares about, fills its controls, and hands the form to a
// Toolkit (korvix/ui/toolkit.h) to show it modally. The semantics of every
// control live here, once; a back end only mirrors this state on screen
// (through a FormObserver) and turns the user's acts into the User* calls
// below, which apply the same rules as the program's puts.
//
// A form is Loaded when created, Shown while a toolkit shows it, Unloaded
// after Unload. Its controls work in every state and stay readable after
// Unload; only the focus and the user's acts need a shown form.
//
//   Form form(MakeDescription());
//   form.On(Event::kClick, "btnOK", [&] { form.Unload(); });
//   form.list("Liste").AddItem("Erster");
//   DefaultToolkit().ShowModal(form);   // returns once unloaded
//
// Not thread-safe: a form lives on the thread that shows it.
//
// The model is the library's own: its headers are not installed, and its
// classes are exported from libkorvix only for libkorvix-qt, which is built
// with them.
#ifndef KORVIX_PLATFORM_UI_FORM_H_
#define KORVIX_PLATFORM_UI_FORM_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "korvix/export.h"
#include "ui/control.h"
#include "ui/form_description.h"
#include "ui/list_control.h"
#include "ui/option_button.h"
#include "ui/text_box.h"

namespace korvix::ui {

enum class FormState { kLoaded, kShown, kUnloaded };

// What a back end learns from the model. Calls arrive synchronously, inside
// the put that caused them.
class KORVIX_EXPORT FormObserver {
 public:
  virtual ~FormObserver() = default;
  virtual void ControlChanged(const Control& control, Property what) = 0;
  // The form was unloaded: its window must close.
  virtual void Unloaded() = 0;
};

class KORVIX_EXPORT Form {
 public:
  // Handler of a control's event; `index` is the control's array index, or
  // -1 for a single control.
  using Handler = std::function<void(int index)>;

  explicit Form(FormDescription description);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form();

  const FormDescription& description() const { return description_; }
  const std::string& name() const { return description_.name; }
  FormState state() const { return state_; }

  // Controls by name and array index (-1 for a single control). When no
  // control of that name, index and kind exists, the result is a stand-in
  // whose puts fail (see ui/control.h).
  Control& control(std::string_view name, int index = -1);
  ListControl& list(std::string_view name, int index = -1);  // combo or list box
  TextBox& text_box(std::string_view name, int index = -1);
  OptionButton& option(std::string_view name, int index = -1);
  CommandButton& button(std::string_view name, int index = -1);
  const Control& control(std::string_view name, int index = -1) const;

  // Every control, in the order of the description.
  const std::vector<Control*>& controls() const { return controls_; }

  // The control that has the focus, or a stand-in when none has.
  Control& active_control();

  // Sets the handler of `event` for the control `name` (all of a control
  // array), replacing an earlier one. Events without a handler are dropped.
  void On(Event event, std::string_view name, Handler handler);
  void On(Event event, std::string_view name, std::function<void()> handler);
  // Runs when the user closes the window by its close box, before the form
  // unloads; the form unloads in any case.
  void OnCloseBox(std::function<void()> handler);

  // Closes the window. Returns false when the form was already unloaded.
  bool Unload();

  // Makes a property of the dialog behind the form readable by name for a
  // scripted user, such as its results. The form keeps only the address:
  // the property must outlive the form (a dialog's member declared before
  // its form). Publishing a name again replaces the earlier property.
  void Publish(std::string_view name, const std::string* property);
  void Publish(std::string_view name, const bool* property);
  // The property's value now, Booleans as "True" or "False"; none when
  // nothing is published under `name`.
  std::optional<std::string> Published(std::string_view name) const;

  // ---- For back ends ----

  // One observer at a time; null to stop. Not owned.
  void set_observer(FormObserver* observer) { observer_ = observer; }

  // Marks the window as shown and gives the focus to the first control in
  // tab order that can take it, raising its GotFocus. Fails when the form is
  // already shown.
  bool BeginModal();

  // A user's acts. Each needs a shown form and an enabled, visible control
  // of this form, moves the focus to that control (raising GotFocus when it
  // moves) and then acts; it fails, changing nothing, otherwise.
  //   UserSelect:      pick item `item` of a list or combo box (Click when
  //                    the selection changes).
  //   UserType:        replace the text of a text box that is not read-only.
  //   UserClick:       press a command button (Click), or switch an option
  //                    button on.
  //   UserDoubleClick: double-click a list box on item `item` (picked first,
  //                    as by UserSelect), or off the items when `item` is -1;
  //                    then DblClick.
  //   UserFocus:       move the focus to a control (Tab or a click).
  bool UserSelect(ListControl& list, int item);
  bool UserType(TextBox& box, std::string_view text);
  bool UserClick(Control& control);
  bool UserDoubleClick(ListControl& list, int item);
  bool UserFocus(Control& control);
  // The close box: runs the OnCloseBox handler, then unloads. Needs a shown
  // form.
  bool UserClose();

 private:
  friend class Control;

  using PublishedProperty = std::variant<const std::string*, const bool*>;
  void PublishProperty(std::string_view name, PublishedProperty property);

  struct Binding {
    Event event;
    std::string name;
    Handler handler;
  };

  Control* Find(std::string_view name, int index) const;
  bool CanAct(const Control& control) const;
  bool Focus(Control& control);
  void LoseFocus(const Control& control);
  void Notify(const Control& control, Property what) const;
  void Raise(Event event, const Control& control);

  const FormDescription description_;
  std::vector<std::unique_ptr<Control>> owned_;
  std::vector<Control*> controls_;
  std::vector<Binding> bindings_;
  std::function<void()> close_box_handler_;
  std::vector<std::pair<std::string, PublishedProperty>> published_;
  FormObserver* observer_ = nullptr;
  FormState state_ = FormState::kLoaded;
  Control* focus_ = nullptr;

  // Stand-ins for failed lookups; never attached, so never changed.
  std::unique_ptr<Control> missing_control_;
  std::unique_ptr<ListControl> missing_list_;
  std::unique_ptr<TextBox> missing_text_box_;
  std::unique_ptr<OptionButton> missing_option_;
  std::unique_ptr<CommandButton> missing_button_;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_FORM_H_
