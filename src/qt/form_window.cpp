#include "qt/form_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <algorithm>

#include "qt/compact_style.h"
#include "qt/fonts.h"
#include "qt/text_convert.h"
#include "qt/twips.h"

namespace korvix::ui::qt {
namespace {

bool MultiLine(const Control& control) { return control.description().style.multi_line; }

}  // namespace

FormWindow::FormWindow(Form& form) : form_(form), dpi_(ScreenDpi()) {
  const FormDescription& d = form.description();
  setWindowTitle(ToQString(d.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  // A dialog of the host: closing it must not end the host's application.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(TwipsToPixels(d.client_width, dpi_), TwipsToPixels(d.client_height, dpi_));
  setFont(ToQFont(d.font));

  for (Control* control : form.controls()) {
    QWidget* widget = Create(*control);
    widget->setGeometry(PixelRect(control->description().position, dpi_));
    entries_.emplace_back(control, widget);
    widgets_.emplace(control, widget);
  }
  SetTabOrder();
  for (const auto& [control, widget] : entries_) ApplyAll(*control);
  form_.set_observer(this);
}

FormWindow::~FormWindow() {
  detached_ = true;
  form_.set_observer(nullptr);
}

QWidget* FormWindow::Create(Control& control) {
  const ControlDescription& d = control.description();
  switch (d.kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(ToQString(d.caption), this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(true);
      return label;
    }
    case ControlKind::kTextBox: {
      if (d.style.multi_line) {
        auto* area = new TextArea(*this, this);
        area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        area->setVerticalScrollBarPolicy(d.style.vertical_scroll_bar ? Qt::ScrollBarAlwaysOn
                                                                     : Qt::ScrollBarAsNeeded);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Tab moves on to the next control, as in every other box.
        area->setTabChangesFocus(true);
        area->setReadOnly(d.style.read_only);
        if (d.style.read_only) {
          area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        }
        area->setFocusPolicy(Qt::StrongFocus);
        connect(area, &QPlainTextEdit::textChanged, this, [this, &control] { UserTyped(control); });
        connect(area, &QPlainTextEdit::selectionChanged, this,
                [this, &control] { SelectionMoved(control); });
        connect(area, &QPlainTextEdit::cursorPositionChanged, this,
                [this, &control] { SelectionMoved(control); });
        return area;
      }
      auto* line = new LineEdit(*this, this);
      line->setReadOnly(d.style.read_only);
      line->setFocusPolicy(Qt::StrongFocus);
      connect(line, &QLineEdit::textEdited, this, [this, &control] { UserTyped(control); });
      connect(line, &QLineEdit::selectionChanged, this,
              [this, &control] { SelectionMoved(control); });
      connect(line, &QLineEdit::cursorPositionChanged, this,
              [this, &control] { SelectionMoved(control); });
      return line;
    }
    case ControlKind::kComboBox: {
      auto* combo = new ComboBox(*this, this);
      combo->setEditable(false);
      combo->setStyle(CompactComboStyle());
      combo->setFocusPolicy(Qt::StrongFocus);
      connect(combo, &QComboBox::activated, this,
              [this, &control](int index) { UserPicked(control, index); });
      return combo;
    }
    case ControlKind::kListBox: {
      auto* list = new ListBox(*this, this);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      list->setSortingEnabled(false);
      list->setFocusPolicy(Qt::StrongFocus);
      connect(list, &QListWidget::itemSelectionChanged, this,
              [this, &control] { ListSelectionChanged(control); });
      return list;
    }
    case ControlKind::kOptionButton: {
      auto* option = new RadioButton(*this, this);
      option->setText(ToQString(d.caption));
      // The group is the model's: Qt must not clear partners on its own.
      option->setAutoExclusive(false);
      option->setFocusPolicy(Qt::StrongFocus);
      connect(option, &QAbstractButton::clicked, this, [this, &control] { UserClicked(control); });
      return option;
    }
    case ControlKind::kCommandButton: {
      auto* button = new PushButton(*this, this);
      button->setText(ToQString(d.caption));
      // No default button: Enter presses nothing.
      button->setAutoDefault(false);
      button->setDefault(false);
      button->setFocusPolicy(Qt::StrongFocus);
      connect(button, &QAbstractButton::clicked, this, [this, &control] { UserClicked(control); });
      return button;
    }
  }
  return new QWidget(this);
}

void FormWindow::SetTabOrder() {
  std::vector<std::pair<Control*, QWidget*>> order;
  for (const auto& entry : entries_) {
    if (entry.first->kind() != ControlKind::kLabel) order.push_back(entry);
  }
  // Ties go to the control declared first, as in the model.
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first->description().tab_index < b.first->description().tab_index;
  });
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1].second, order[i].second);
  }
}

QWidget* FormWindow::widget(std::string_view name, int index) const {
  for (const auto& [control, widget] : entries_) {
    if (control->name() == name && control->index() == index) return widget;
  }
  return nullptr;
}

Control* FormWindow::control_of(const QWidget* widget) const {
  for (const auto& [control, w] : entries_) {
    if (w == widget) return control;
  }
  return nullptr;
}

QWidget* FormWindow::WidgetOf(const Control& control) const {
  const auto it = widgets_.find(&control);
  return it == widgets_.end() ? nullptr : it->second;
}

// ---- Widget to model.

bool FormWindow::Acting() const {
  return !detached_ && applying_ == 0 && form_.state() == FormState::kShown;
}

void FormWindow::WidgetFocused(QWidget& widget, Qt::FocusReason reason) {
  if (!Acting()) return;
  Control* control = control_of(&widget);
  const bool users_move = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                          reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
  // The window coming back to the front, or a drop-down closing, moves
  // nothing in the model: the focus goes where the model has it.
  if (control != nullptr && users_move) form_.UserFocus(*control);
  if (Acting() && (control == nullptr || !control->HasFocus())) RestoreFocus();
}

void FormWindow::UserTyped(Control& control) {
  if (!Acting() || control.kind() != ControlKind::kTextBox) return;
  QWidget* widget = WidgetOf(control);
  QString shown;
  if (auto* line = qobject_cast<QLineEdit*>(widget)) shown = line->text();
  if (auto* area = qobject_cast<QPlainTextEdit*>(widget)) shown = area->toPlainText();
  bool typed = false;
  {
    const Control* const outer = origin_;
    origin_ = &control;
    typed = form_.UserType(static_cast<TextBox&>(control), ToModelText(shown, MultiLine(control)));
    origin_ = outer;
  }
  if (!typed) {
    Apply(control, Property::kText);  // refused: the box shows the model's text again
    return;
  }
  PushSelection(control);
}

void FormWindow::SelectionMoved(Control& control) {
  QWidget* widget = WidgetOf(control);
  if (!Acting() || &control == origin_ || widget == nullptr || !widget->hasFocus()) return;
  PushSelection(control);
}

void FormWindow::PushSelection(Control& control) {
  QWidget* widget = WidgetOf(control);
  const bool multi = MultiLine(control);
  QString shown;
  int start = 0;
  int end = 0;
  if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    shown = line->text();
    start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    end = line->hasSelectedText() ? line->selectionEnd() : start;
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(widget)) {
    shown = area->toPlainText();
    start = area->textCursor().selectionStart();
    end = area->textCursor().selectionEnd();
  } else {
    return;
  }
  auto& box = static_cast<TextBox&>(control);
  const int model_start = ToModelPosition(shown, start, multi);
  const int model_length = ToModelPosition(shown, end, multi) - model_start;
  if (box.SelStart() == model_start && box.SelLength() == model_length) return;
  const Control* const outer = origin_;
  origin_ = &control;
  box.SetSelStart(model_start);
  box.SetSelLength(model_length);
  origin_ = outer;
}

void FormWindow::UserPicked(Control& control, int index) {
  if (!Acting()) return;
  form_.UserSelect(static_cast<ListControl&>(control), index);
  // A refused pick snaps back to the model's selection.
  if (!detached_) Apply(control, Property::kListIndex);
}

void FormWindow::ListSelectionChanged(Control& control) {
  if (!Acting()) return;
  auto* box = qobject_cast<QListWidget*>(WidgetOf(control));
  const QList<QListWidgetItem*> selected = box->selectedItems();
  const int row = selected.isEmpty() ? -1 : box->row(selected.front());
  auto& list = static_cast<ListControl&>(control);
  // A selection that Qt drops by itself is no pick: the list shows the
  // model's again.
  if (row >= 0 && row != list.ListIndex()) form_.UserSelect(list, row);
  if (!detached_) Apply(control, Property::kListIndex);
}

void FormWindow::ListDoubleClicked(QListWidget& list, int row) {
  if (!Acting()) return;
  if (Control* control = control_of(&list)) {
    form_.UserDoubleClick(static_cast<ListControl&>(*control), row);
  }
}

void FormWindow::UserClicked(Control& control) {
  if (!Acting()) return;
  form_.UserClick(control);
  // An option button shows the model's value, also when Qt toggled it off.
  if (!detached_ && control.kind() == ControlKind::kOptionButton) {
    Apply(control, Property::kValue);
  }
}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (Acting()) form_.UserClose();
  event->accept();
}

}  // namespace korvix::ui::qt
