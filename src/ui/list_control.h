// Combo boxes (drop-down lists) and list boxes: an unsorted list of items,
// each a text with one 32-bit integer kept alongside, and at most one
// selected item.
//
// Positions count from 0; ListIndex -1 means that nothing is selected.
//
// Putting a ListIndex that changes the selection raises the control's Click
// event inside the put, after the new selection is in place; putting the value
// it already has raises nothing. A position outside the list (below -1, or at
// or past ListCount) fails and leaves the selection as it was. Clear and
// AddItem raise no event.
#ifndef KORVIX_PLATFORM_UI_LIST_CONTROL_H_
#define KORVIX_PLATFORM_UI_LIST_CONTROL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/export.h"
#include "ui/control.h"

namespace korvix::ui {

class KORVIX_EXPORT ListControl final : public Control {
 public:
  // Removes every item: nothing is selected and NewIndex is -1.
  bool Clear();

  // Appends an item with item data 0; NewIndex becomes its position.
  bool AddItem(std::string_view text);

  // Position of the item added last, or -1 after Clear or before any AddItem.
  int NewIndex() const { return new_index_; }

  int ListCount() const { return static_cast<int>(items_.size()); }

  int ListIndex() const { return list_index_; }
  bool SetListIndex(int index);

  // The integer kept with item `index`; none (get) or failure (put) when
  // `index` names no item.
  std::optional<std::int32_t> ItemData(int index) const;
  bool SetItemData(int index, std::int32_t value);

  // The text of item `index`; none when `index` names no item.
  std::optional<std::string> ItemText(int index) const;

  // The selected item's text, or "" when nothing is selected.
  std::string Text() const override;

 private:
  struct Item {
    std::string text;
    std::int32_t data = 0;
  };

  ListControl(Form* form, const ControlDescription* description)
      : Control(form, description) {}

  bool Holds(int index) const { return index >= 0 && index < ListCount(); }

  std::vector<Item> items_;
  int list_index_ = -1;
  int new_index_ = -1;

  friend class Form;
};

}  // namespace korvix::ui

#endif  // KORVIX_PLATFORM_UI_LIST_CONTROL_H_
