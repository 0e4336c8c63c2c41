// Showing a form modally in a window of its own, for both Qt toolkits.
#ifndef KORVIX_PLATFORM_UI_QT_MODAL_RUN_H_
#define KORVIX_PLATFORM_UI_QT_MODAL_RUN_H_

#include <functional>
#include <vector>

#include "ui/form.h"
#include "qt/form_window.h"

namespace korvix::ui::qt {

// The windows of one toolkit that are shown, nested modal shows innermost
// last. The user reaches only the innermost one.
class ModalStack {
 public:
  FormWindow* top() const { return windows_.empty() ? nullptr : windows_.back(); }
  bool IsTop(const FormWindow& window) const { return top() == &window; }

  void Push(FormWindow& window) { windows_.push_back(&window); }
  void Pop() { windows_.pop_back(); }

 private:
  std::vector<FormWindow*> windows_;
};

// How a shown window is brought to the front.
enum class Activation {
  kRequest,  // ask the windowing system, which decides (a person's desktop)
  kForce,    // make it Qt's active window at once (a scripted user)
};

// Brings `window` to the front as `activation` says.
void Activate(QWidget& window, Activation activation);

// Shows `form` in a new window, modal over the top of `stack`, and runs
// `body` with it (also when the form unloaded as it opened: `body` looks at
// the form's state). When `body` returns and the form is still shown, the
// window is closed as by its close box. Then the window goes and
// the window below it, if any, comes to the front again. Returns false,
// showing nothing, when the form is shown already or no QApplication can be
// used on this thread.
bool RunModal(Form& form, ModalStack& stack, Activation activation,
              const std::function<void(FormWindow&)>& body);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_MODAL_RUN_H_
