#include "ui/list_control.h"

namespace korvix::ui {

bool ListControl::Clear() {
  if (!attached()) return false;
  const bool had_selection = list_index_ != -1;
  items_.clear();
  list_index_ = -1;
  new_index_ = -1;
  Changed(Property::kItems);
  // Emptying is not a pick: the selection goes without a Click.
  if (had_selection) Changed(Property::kListIndex);
  return true;
}

bool ListControl::AddItem(std::string_view text) {
  if (!attached()) return false;
  items_.push_back(Item{std::string(text), 0});
  new_index_ = ListCount() - 1;
  Changed(Property::kItems);
  return true;
}

bool ListControl::SetListIndex(int index) {
  if (!attached() || (index != -1 && !Holds(index))) return false;
  if (index == list_index_) return true;
  list_index_ = index;
  Changed(Property::kListIndex);
  Raise(Event::kClick);
  return true;
}

std::optional<std::int32_t> ListControl::ItemData(int index) const {
  if (!Holds(index)) return std::nullopt;
  return items_[static_cast<std::size_t>(index)].data;
}

bool ListControl::SetItemData(int index, std::int32_t value) {
  if (!attached() || !Holds(index)) return false;
  items_[static_cast<std::size_t>(index)].data = value;
  Changed(Property::kItems);
  return true;
}

std::optional<std::string> ListControl::ItemText(int index) const {
  if (!Holds(index)) return std::nullopt;
  return items_[static_cast<std::size_t>(index)].text;
}

std::string ListControl::Text() const {
  return Holds(list_index_) ? items_[static_cast<std::size_t>(list_index_)].text
                            : std::string();
}

}  // namespace korvix::ui
