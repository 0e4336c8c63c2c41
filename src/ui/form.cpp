#include "ui/form.h"

#include <utility>

namespace korvix::ui {
namespace {

// Descriptions behind the stand-ins: no name, so no handler ever matches.
const ControlDescription& StandInDescription(ControlKind kind) {
  static const ControlDescription kLabel{.kind = ControlKind::kLabel};
  static const ControlDescription kList{.kind = ControlKind::kListBox};
  static const ControlDescription kTextBox{.kind = ControlKind::kTextBox};
  static const ControlDescription kOption{.kind = ControlKind::kOptionButton};
  static const ControlDescription kButton{.kind = ControlKind::kCommandButton};
  switch (kind) {
    case ControlKind::kComboBox:
    case ControlKind::kListBox: return kList;
    case ControlKind::kTextBox: return kTextBox;
    case ControlKind::kOptionButton: return kOption;
    case ControlKind::kCommandButton: return kButton;
    case ControlKind::kLabel: break;
  }
  return kLabel;
}

bool TakesFocus(const Control& control) {
  return control.kind() != ControlKind::kLabel && control.Enabled() && control.Visible();
}

bool IsList(const Control& c) {
  return c.kind() == ControlKind::kComboBox || c.kind() == ControlKind::kListBox;
}

}  // namespace

Form::Form(FormDescription description) : description_(std::move(description)) {
  owned_.reserve(description_.controls.size());
  for (const ControlDescription& d : description_.controls) {
    Control* control = nullptr;
    switch (d.kind) {
      case ControlKind::kComboBox:
      case ControlKind::kListBox: control = new ListControl(this, &d); break;
      case ControlKind::kTextBox: control = new TextBox(this, &d); break;
      case ControlKind::kOptionButton: control = new OptionButton(this, &d); break;
      case ControlKind::kCommandButton: control = new CommandButton(this, &d); break;
      case ControlKind::kLabel: control = new Control(this, &d); break;
    }
    owned_.emplace_back(control);
    controls_.push_back(control);
  }
  missing_control_.reset(new Control(nullptr, &StandInDescription(ControlKind::kLabel)));
  missing_list_.reset(new ListControl(nullptr, &StandInDescription(ControlKind::kListBox)));
  missing_text_box_.reset(new TextBox(nullptr, &StandInDescription(ControlKind::kTextBox)));
  missing_option_.reset(
      new OptionButton(nullptr, &StandInDescription(ControlKind::kOptionButton)));
  missing_button_.reset(
      new CommandButton(nullptr, &StandInDescription(ControlKind::kCommandButton)));
}

Form::~Form() = default;

Control* Form::Find(std::string_view name, int index) const {
  for (Control* control : controls_) {
    if (control->name() == name && control->index() == index) return control;
  }
  return nullptr;
}

Control& Form::control(std::string_view name, int index) {
  Control* c = Find(name, index);
  return c != nullptr ? *c : *missing_control_;
}

const Control& Form::control(std::string_view name, int index) const {
  const Control* c = Find(name, index);
  return c != nullptr ? *c : *missing_control_;
}

ListControl& Form::list(std::string_view name, int index) {
  Control* c = Find(name, index);
  return c != nullptr && IsList(*c) ? static_cast<ListControl&>(*c) : *missing_list_;
}

TextBox& Form::text_box(std::string_view name, int index) {
  Control* c = Find(name, index);
  return c != nullptr && c->kind() == ControlKind::kTextBox ? static_cast<TextBox&>(*c)
                                                            : *missing_text_box_;
}

OptionButton& Form::option(std::string_view name, int index) {
  Control* c = Find(name, index);
  return c != nullptr && c->kind() == ControlKind::kOptionButton
             ? static_cast<OptionButton&>(*c)
             : *missing_option_;
}

CommandButton& Form::button(std::string_view name, int index) {
  Control* c = Find(name, index);
  return c != nullptr && c->kind() == ControlKind::kCommandButton
             ? static_cast<CommandButton&>(*c)
             : *missing_button_;
}

Control& Form::active_control() { return focus_ != nullptr ? *focus_ : *missing_control_; }

void Form::On(Event event, std::string_view name, Handler handler) {
  for (Binding& b : bindings_) {
    if (b.event == event && b.name == name) {
      b.handler = std::move(handler);
      return;
    }
  }
  bindings_.push_back(Binding{event, std::string(name), std::move(handler)});
}

void Form::On(Event event, std::string_view name, std::function<void()> handler) {
  On(event, name, Handler([h = std::move(handler)](int) {
       if (h) h();
     }));
}

void Form::OnCloseBox(std::function<void()> handler) {
  close_box_handler_ = std::move(handler);
}

bool Form::Unload() {
  if (state_ == FormState::kUnloaded) return false;
  state_ = FormState::kUnloaded;
  if (observer_ != nullptr) observer_->Unloaded();
  return true;
}

void Form::Publish(std::string_view name, const std::string* property) {
  PublishProperty(name, property);
}

void Form::Publish(std::string_view name, const bool* property) { PublishProperty(name, property); }

void Form::PublishProperty(std::string_view name, PublishedProperty property) {
  for (auto& [known, value] : published_) {
    if (known == name) {
      value = property;
      return;
    }
  }
  published_.emplace_back(std::string(name), property);
}

std::optional<std::string> Form::Published(std::string_view name) const {
  for (const auto& [known, value] : published_) {
    if (known != name) continue;
    if (const auto* text = std::get_if<const std::string*>(&value)) return **text;
    return *std::get<const bool*>(value) ? "True" : "False";
  }
  return std::nullopt;
}

bool Form::BeginModal() {
  if (state_ == FormState::kShown) return false;
  state_ = FormState::kShown;
  // Ties in tab order go to the control declared first.
  Control* first = nullptr;
  for (Control* control : controls_) {
    if (!TakesFocus(*control)) continue;
    if (first == nullptr || control->description().tab_index < first->description().tab_index) {
      first = control;
    }
  }
  if (first != nullptr) Focus(*first);
  return true;
}

bool Form::CanAct(const Control& control) const {
  return state_ == FormState::kShown && control.form() == this && TakesFocus(control);
}

bool Form::Focus(Control& control) {
  if (control.form() != this || !TakesFocus(control)) return false;
  if (focus_ == &control) return true;
  Control* const previous = focus_;
  focus_ = &control;
  if (previous != nullptr) Notify(*previous, Property::kFocus);
  Notify(control, Property::kFocus);
  control.Raise(Event::kGotFocus);
  return true;
}

void Form::LoseFocus(const Control& control) {
  if (focus_ != &control) return;
  focus_ = nullptr;
  Notify(control, Property::kFocus);
}

void Form::Notify(const Control& control, Property what) const {
  if (observer_ != nullptr) observer_->ControlChanged(control, what);
}

void Form::Raise(Event event, const Control& control) {
  for (const Binding& b : bindings_) {
    if (b.event == event && b.name == control.name()) {
      // A copy, since the handler may replace bindings while it runs.
      const Handler handler = b.handler;
      if (handler) handler(control.index());
      return;
    }
  }
}

}  // namespace korvix::ui
