// What a user sees of a form's controls, read from their widgets.
//
// The counterpart of the headless back end's snapshot of the model: the same
// ControlState, but every field comes from what the widget shows, so that a
// scenario checks the screen and not the model behind it.
#ifndef KORVIX_PLATFORM_UI_QT_WIDGET_STATE_H_
#define KORVIX_PLATFORM_UI_QT_WIDGET_STATE_H_

#include <optional>

#include "korvix/ui/scripting.h"
#include "qt/form_window.h"

namespace korvix::ui::qt {

// The control `id` of `window` as its widget shows it; exists is false when
// the window has no such control. A text box's caption (its text at
// creation) is the description's, as a widget keeps no such thing.
//   visible: shown whenever the window is (so still readable after it
//            closed); focused: the window's focus widget; text selection:
//            the widget's, in model characters.
ControlState ReadControlState(const FormWindow& window, const ControlId& id);

// The control whose widget has the window's focus, if any.
std::optional<ControlId> ReadFocusedControl(const FormWindow& window);

// The kind of control that `widget` shows, by its class; none for a widget
// that shows no control.
std::optional<ControlKind> KindOfWidget(const QWidget& widget);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_WIDGET_STATE_H_
