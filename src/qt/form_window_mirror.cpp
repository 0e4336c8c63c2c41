// The model's state put into the widgets: what FormWindow shows as the
// model's observer.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextCursor>

#include "qt/colors.h"
#include "qt/fonts.h"
#include "qt/form_window.h"
#include "qt/text_convert.h"

namespace korvix::ui::qt {
namespace {

// Counts a put of the model's state into the widgets, so that the widgets'
// reactions to it are not taken for the user's.
class Applying {
 public:
  explicit Applying(int& depth) : depth_(depth) { ++depth_; }
  Applying(const Applying&) = delete;
  Applying& operator=(const Applying&) = delete;
  ~Applying() { --depth_; }

 private:
  int& depth_;
};

bool MultiLine(const Control& control) { return control.description().style.multi_line; }

}  // namespace

void FormWindow::ControlChanged(const Control& control, Property what) {
  if (!detached_) Apply(control, what);
}

void FormWindow::Unloaded() {
  if (detached_) return;
  {
    Applying applying(applying_);
    hide();
  }
  if (unloaded_handler_) unloaded_handler_();
}

void FormWindow::ApplyAll(const Control& control) {
  for (Property what : {Property::kItems, Property::kText, Property::kSelection, Property::kValue,
                        Property::kEnabled, Property::kVisible, Property::kFontBold,
                        Property::kForeColor, Property::kFocus}) {
    Apply(control, what);
  }
}

void FormWindow::Apply(const Control& control, Property what) {
  QWidget* widget = WidgetOf(control);
  if (widget == nullptr) return;
  Applying applying(applying_);
  const QSignalBlocker blocker(widget);
  const ControlDescription& d = control.description();
  switch (what) {
    case Property::kItems:
      if (d.kind == ControlKind::kComboBox || d.kind == ControlKind::kListBox) {
        ApplyItems(static_cast<const ListControl&>(control), *widget);
      }
      break;
    case Property::kListIndex:
      if (d.kind == ControlKind::kComboBox || d.kind == ControlKind::kListBox) {
        ApplyListIndex(static_cast<const ListControl&>(control), *widget);
      }
      break;
    case Property::kText:
    case Property::kSelection: {
      // The box whose own input is being stored already shows it.
      if (d.kind != ControlKind::kTextBox || &control == origin_) break;
      const auto& box = static_cast<const TextBox&>(control);
      const bool multi = MultiLine(control);
      if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        const QString shown = ToShownText(box.Text(), false);
        if (line->text() != shown) line->setText(shown);
        const int start = ToShownIndex(shown, box.SelStart(), false);
        const int end = ToShownIndex(shown, box.SelStart() + box.SelLength(), false);
        if (end > start) {
          line->setSelection(start, end - start);
        } else {
          line->setCursorPosition(start);
        }
      } else if (auto* area = qobject_cast<QPlainTextEdit*>(widget)) {
        const QString shown = ToShownText(box.Text(), multi);
        if (area->toPlainText() != shown) area->setPlainText(shown);
        QTextCursor cursor = area->textCursor();
        cursor.setPosition(ToShownIndex(shown, box.SelStart(), multi));
        cursor.setPosition(ToShownIndex(shown, box.SelStart() + box.SelLength(), multi),
                           QTextCursor::KeepAnchor);
        area->setTextCursor(cursor);
      }
      break;
    }
    case Property::kValue:
      if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        option->setChecked(static_cast<const OptionButton&>(control).Value());
      }
      break;
    case Property::kEnabled:
      widget->setEnabled(control.Enabled());
      break;
    case Property::kVisible:
      widget->setHidden(!control.Visible());
      break;
    case Property::kFontBold: {
      // A control with a font of its own has it resolved here; the others
      // take the window's.
      QFont font = d.font ? ToQFont(control.font()) : widget->font();
      font.setBold(control.FontBold());
      widget->setFont(font);
      break;
    }
    case Property::kForeColor:
      ApplyColors(*widget, d.kind, control.ForeColor(), d.back_color);
      break;
    case Property::kFocus:
      if (control.HasFocus()) {
        if (focusWidget() != widget) widget->setFocus(Qt::OtherFocusReason);
      } else if (focusWidget() == widget) {
        // Cleared first, so that disabling or hiding the widget does not
        // make Qt pass the focus on: the model leaves the form without one.
        widget->clearFocus();
      }
      break;
  }
}

void FormWindow::ApplyItems(const ListControl& list, QWidget& widget) {
  // The model only appends items, changes their data, or clears them all;
  // each of these reaches the widget as it happens, so the widget's items
  // are the model's first ones and only what is new is appended.
  const int count = list.ListCount();
  const auto text = [&](int i) { return ToQString(list.ItemText(i).value_or("")); };
  const auto data = [&](int i) { return static_cast<int>(list.ItemData(i).value_or(0)); };
  if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    if (combo->count() > count) combo->clear();
    for (int i = 0; i < combo->count(); ++i) {
      if (combo->itemData(i, kItemDataRole).toInt() != data(i)) {
        combo->setItemData(i, data(i), kItemDataRole);
      }
    }
    for (int i = combo->count(); i < count; ++i) combo->addItem(text(i), QVariant(data(i)));
  } else if (auto* box = qobject_cast<QListWidget*>(&widget)) {
    if (box->count() > count) box->clear();
    for (int i = 0; i < box->count(); ++i) {
      if (box->item(i)->data(kItemDataRole).toInt() != data(i)) {
        box->item(i)->setData(kItemDataRole, data(i));
      }
    }
    for (int i = box->count(); i < count; ++i) {
      auto* item = new QListWidgetItem(text(i));
      item->setData(kItemDataRole, data(i));
      box->addItem(item);
    }
  }
  // Qt selects the first item added to an empty drop-down list; the model
  // selects nothing.
  ApplyListIndex(list, widget);
}

void FormWindow::ApplyListIndex(const ListControl& list, QWidget& widget) {
  const int index = list.ListIndex();
  if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    if (combo->currentIndex() != index) combo->setCurrentIndex(index);
  } else if (auto* box = qobject_cast<QListWidget*>(&widget)) {
    if (index < 0) {
      box->clearSelection();
      box->setCurrentRow(-1);
    } else {
      box->setCurrentRow(index);
      box->scrollToItem(box->item(index));
    }
  }
}

void FormWindow::RestoreFocus() {
  Applying applying(applying_);
  const Control& focused = form_.active_control();
  QWidget* target = focused.attached() ? WidgetOf(focused) : nullptr;
  if (target != nullptr) {
    if (focusWidget() != target) target->setFocus(Qt::OtherFocusReason);
  } else if (QWidget* current = focusWidget()) {
    current->clearFocus();
  }
}

}  // namespace korvix::ui::qt
