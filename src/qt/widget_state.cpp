#include "qt/widget_state.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "qt/colors.h"
#include "qt/text_convert.h"

namespace korvix::ui::qt {
namespace {

void ReadText(const QWidget& widget, ControlState& s) {
  if (const auto* line = qobject_cast<const QLineEdit*>(&widget)) {
    const QString shown = line->text();
    s.text = ToModelText(shown, false);
    const int start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    const int end = line->hasSelectedText() ? line->selectionEnd() : start;
    s.sel_start = ToModelPosition(shown, start, false);
    s.sel_length = ToModelPosition(shown, end, false) - s.sel_start;
  } else if (const auto* area = qobject_cast<const QPlainTextEdit*>(&widget)) {
    const QString shown = area->toPlainText();
    s.text = ToModelText(shown, true);
    s.sel_start = ToModelPosition(shown, area->textCursor().selectionStart(), true);
    s.sel_length = ToModelPosition(shown, area->textCursor().selectionEnd(), true) - s.sel_start;
  }
}

void ReadItems(const QWidget& widget, ControlState& s) {
  if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
    for (int i = 0; i < combo->count(); ++i) {
      s.items.push_back(ToUtf8(combo->itemText(i)));
      s.item_data.push_back(combo->itemData(i, kItemDataRole).toInt());
    }
    s.list_index = combo->currentIndex();
    s.text = s.list_index < 0 ? std::string() : ToUtf8(combo->currentText());
  } else if (const auto* list = qobject_cast<const QListWidget*>(&widget)) {
    for (int i = 0; i < list->count(); ++i) {
      s.items.push_back(ToUtf8(list->item(i)->text()));
      s.item_data.push_back(list->item(i)->data(kItemDataRole).toInt());
    }
    const QList<QListWidgetItem*> selected = list->selectedItems();
    s.list_index = selected.isEmpty() ? -1 : list->row(selected.front());
    s.text = selected.isEmpty() ? std::string() : ToUtf8(selected.front()->text());
  }
}

}  // namespace

std::optional<ControlKind> KindOfWidget(const QWidget& widget) {
  if (qobject_cast<const QLabel*>(&widget)) return ControlKind::kLabel;
  if (qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QPlainTextEdit*>(&widget)) {
    return ControlKind::kTextBox;
  }
  if (qobject_cast<const QComboBox*>(&widget)) return ControlKind::kComboBox;
  if (qobject_cast<const QListWidget*>(&widget)) return ControlKind::kListBox;
  if (qobject_cast<const QRadioButton*>(&widget)) return ControlKind::kOptionButton;
  if (qobject_cast<const QPushButton*>(&widget)) return ControlKind::kCommandButton;
  return std::nullopt;
}

ControlState ReadControlState(const FormWindow& window, const ControlId& id) {
  ControlState s;
  const QWidget* widget = window.widget(id.name, id.index);
  const std::optional<ControlKind> kind = widget ? KindOfWidget(*widget) : std::nullopt;
  if (!kind) return s;
  s.exists = true;
  s.kind = *kind;
  switch (*kind) {
    case ControlKind::kLabel:
      s.caption = ToUtf8(static_cast<const QLabel*>(widget)->text());
      break;
    case ControlKind::kOptionButton: {
      const auto* option = static_cast<const QRadioButton*>(widget);
      s.caption = ToUtf8(option->text());
      s.value = option->isChecked();
      break;
    }
    case ControlKind::kCommandButton:
      s.caption = ToUtf8(static_cast<const QPushButton*>(widget)->text());
      break;
    case ControlKind::kTextBox:
      if (const Control* control = window.control_of(widget)) s.caption = control->caption();
      ReadText(*widget, s);
      break;
    case ControlKind::kComboBox:
    case ControlKind::kListBox:
      ReadItems(*widget, s);
      break;
  }
  s.enabled = widget->isEnabled();
  s.visible = widget->isVisibleTo(&window);
  s.font_bold = widget->font().bold();
  s.fore_color = ShownTextColor(*widget, *kind);
  s.focused = window.focusWidget() == widget;
  return s;
}

std::optional<ControlId> ReadFocusedControl(const FormWindow& window) {
  const Control* control = window.control_of(window.focusWidget());
  if (control == nullptr) return std::nullopt;
  return ControlId{control->name(), control->index()};
}

}  // namespace korvix::ui::qt
