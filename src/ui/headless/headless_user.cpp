#include "ui/headless/headless_user.h"

namespace korvix::ui {

ControlState Snapshot(const Control& control) {
  ControlState s;
  if (!control.attached()) return s;
  s.exists = true;
  s.kind = control.kind();
  s.caption = control.caption();
  s.text = control.Text();
  s.enabled = control.Enabled();
  s.visible = control.Visible();
  s.font_bold = control.FontBold();
  s.fore_color = control.ForeColor();
  s.focused = control.HasFocus();
  switch (control.kind()) {
    case ControlKind::kComboBox:
    case ControlKind::kListBox: {
      const auto& list = static_cast<const ListControl&>(control);
      for (int i = 0; i < list.ListCount(); ++i) {
        s.items.push_back(list.ItemText(i).value_or(""));
        s.item_data.push_back(list.ItemData(i).value_or(0));
      }
      s.list_index = list.ListIndex();
      break;
    }
    case ControlKind::kTextBox: {
      const auto& box = static_cast<const TextBox&>(control);
      s.sel_start = box.SelStart();
      s.sel_length = box.SelLength();
      break;
    }
    case ControlKind::kOptionButton:
      s.value = static_cast<const OptionButton&>(control).Value();
      break;
    case ControlKind::kLabel:
    case ControlKind::kCommandButton:
      break;
  }
  return s;
}

bool HeadlessUser::Select(const ControlId& control, int item) {
  return OnTop() && form_.UserSelect(form_.list(control.name, control.index), item);
}

bool HeadlessUser::Type(const ControlId& control, std::string_view text) {
  return OnTop() && form_.UserType(form_.text_box(control.name, control.index), text);
}

bool HeadlessUser::Click(const ControlId& control) {
  return OnTop() && form_.UserClick(form_.control(control.name, control.index));
}

bool HeadlessUser::DoubleClick(const ControlId& control, int item) {
  return OnTop() && form_.UserDoubleClick(form_.list(control.name, control.index), item);
}

bool HeadlessUser::Focus(const ControlId& control) {
  return OnTop() && form_.UserFocus(form_.control(control.name, control.index));
}

bool HeadlessUser::CloseBox() { return OnTop() && form_.UserClose(); }

ControlState HeadlessUser::State(const ControlId& control) const {
  return Snapshot(form_.control(control.name, control.index));
}

std::optional<ControlId> HeadlessUser::Focused() const {
  const Control& focused = form_.active_control();
  if (!focused.attached()) return std::nullopt;
  return ControlId{focused.name(), focused.index()};
}

std::string HeadlessUser::Caption() const { return form_.description().caption; }

std::optional<std::string> HeadlessUser::Property(std::string_view name) const {
  return form_.Published(name);
}

}  // namespace korvix::ui
