#include "qt/modal_run.h"

#include <QApplication>

#include "qt/application.h"

namespace korvix::ui::qt {

void Activate(QWidget& window, Activation activation) {
  if (activation == Activation::kForce) {
    QApplication::setActiveWindow(&window);
    return;
  }
  window.raise();
  window.activateWindow();
}

bool RunModal(Form& form, ModalStack& stack, Activation activation,
              const std::function<void(FormWindow&)>& body) {
  if (form.state() == FormState::kShown) return false;
  const ApplicationScope application;
  if (!application.ok()) return false;

  FormWindow window(form);
  // The model gives the first control its focus (and GotFocus) while the
  // window observes it, so the widget takes the focus with it.
  if (!form.BeginModal()) return false;
  stack.Push(window);
  if (form.state() == FormState::kShown) {
    window.show();
    Activate(window, activation);
    QCoreApplication::processEvents();
  }
  body(window);
  // Whoever walks away from a window closes it.
  if (form.state() == FormState::kShown) window.close();
  stack.Pop();
  window.hide();
  if (FormWindow* below = stack.top()) Activate(*below, activation);
  return true;
}

}  // namespace korvix::ui::qt
