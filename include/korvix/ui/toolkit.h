// Toolkit: what shows forms and message boxes.
//
// The dialogs are written against this interface and are given a toolkit
// object; they never include a back end's header. Back ends: the headless
// one (korvix/ui/headless_toolkit.h), in memory with a scripted user, and
// the Qt ones in their own library (korvix/ui/qt_toolkit.h). A host chooses
// one and lets the dialogs show their forms on it; the forms themselves
// (Form) are the library's own.
//
// A host chooses the toolkit once for the whole process, before it opens a
// dialog:
//
//   static korvix::ui::QtToolkit qt;
//   korvix::ui::SetDefaultToolkit(&qt);
//
// Without that, DefaultToolkit() is a headless toolkit without scripts: every
// form closes at once as by its close box and every message box is answered
// with its default button, so an unattended host never blocks.
#ifndef KORVIX_UI_TOOLKIT_H_
#define KORVIX_UI_TOOLKIT_H_

#include <string_view>

#include "korvix/export.h"

namespace korvix::ui {

class Form;

class KORVIX_EXPORT Toolkit {
 public:
  virtual ~Toolkit();

  // Shows `form` modally, with no owner window, and returns when the form has
  // been unloaded. May be called again from an event handler of the shown
  // form: the inner form is modal over the outer one. Returns false, showing
  // nothing, when `form` is shown already.
  virtual bool ShowModal(Form& form) = 0;

  // Shows a modal message box with `prompt` and `title`; `flags` as in
  // korvix/ui/message_box.h. Returns the result code of the button that
  // closed it (a box closed otherwise answers Cancel where it has Cancel).
  virtual int MessageBox(std::string_view prompt, int flags, std::string_view title) = 0;
};

// The toolkit that dialogs use when their caller names none.
KORVIX_EXPORT Toolkit& DefaultToolkit();

// Makes `toolkit` (not owned; it must outlive its use) the default; null
// restores the built-in headless one. Set it before any dialog runs: the
// switch is atomic, but a dialog that is open keeps the toolkit it was shown by.
KORVIX_EXPORT void SetDefaultToolkit(Toolkit* toolkit);

}  // namespace korvix::ui

#endif  // KORVIX_UI_TOOLKIT_H_
