#include "korvix/ui/list_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "korvix/ui/form.h"
#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::EventLog;
using testing::TestForm;

void Fill(ListControl& list, const std::vector<std::string>& texts) {
  for (const std::string& t : texts) list.AddItem(t);
}

TEST(ListControlTest, ListIndexPutRaisesClickOnlyWhenTheSelectionChanges) {
  Form form(TestForm());
  ListControl& list = form.list("lstItems");
  Fill(list, {"a", "b", "c"});
  EventLog log(form);

  struct Step {
    int put;
    bool ok;
    bool click;
    int index_after;
    const char* text_after;
  };
  const Step steps[] = {
      {1, true, true, 1, "b"},    {1, true, false, 1, "b"},  {-1, true, true, -1, ""},
      {-1, true, false, -1, ""},  {3, false, false, -1, ""}, {-2, false, false, -1, ""},
      {2, true, true, 2, "c"},    {3, false, false, 2, "c"}, {-7, false, false, 2, "c"},
      {INT_MAX, false, false, 2, "c"}, {0, true, true, 0, "a"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE("put " + std::to_string(s.put));
    EXPECT_EQ(list.SetListIndex(s.put), s.ok);
    EXPECT_EQ(log.Take().size(), s.click ? 1u : 0u);
    EXPECT_EQ(list.ListIndex(), s.index_after);
    EXPECT_EQ(list.Text(), s.text_after);
  }
}

TEST(ListControlTest, ClickSeesTheNewSelectionAndCarriesTheArrayIndex) {
  Form form(TestForm());
  for (int i = 0; i < 3; ++i) Fill(form.list("cboRow", i), {"", "PLZ", "Ort"});
  std::vector<std::string> seen;
  form.On(Event::kClick, "cboRow", [&](int index) {
    seen.push_back(std::to_string(index) + ":" + form.list("cboRow", index).Text());
  });
  form.list("cboRow", 2).SetListIndex(1);
  form.list("cboRow", 0).SetListIndex(2);
  EXPECT_THAT(seen, ElementsAre("2:PLZ", "0:Ort"));
}

// A handler that removes a row by copying the rows below it upwards, as the
// editor does, runs nested inside its own puts; the put of an unchanged value
// raising nothing is what ends the recursion.
TEST(ListControlTest, NestedClicksFromAShiftOfRowsEndWithTheRowsMovedUp) {
  Form form(TestForm());
  auto row = [&](int i) -> ListControl& { return form.list("cboRow", i); };
  for (int i = 0; i < 3; ++i) Fill(row(i), {"", "PLZ", "Ort", "Bez1"});
  bool loading = true;
  std::vector<std::string> clicks;
  form.On(Event::kClick, "cboRow", [&](int index) {
    if (loading) return;
    clicks.push_back(std::to_string(index) + "=" + std::to_string(row(index).ListIndex()));
    if (row(index).ListIndex() >= 1) return;
    for (int i = index; i < 2; ++i) row(i).SetListIndex(row(i + 1).ListIndex());
    row(2).SetListIndex(0);
  });
  for (int i = 0; i < 3; ++i) row(i).SetListIndex(i + 1);
  loading = false;

  EXPECT_TRUE(row(0).SetListIndex(0));

  EXPECT_THAT(clicks, ElementsAre("0=0", "0=2", "1=3", "2=0"));
  EXPECT_EQ(row(0).Text(), "Ort");
  EXPECT_EQ(row(1).Text(), "Bez1");
  EXPECT_EQ(row(2).ListIndex(), 0);
}

TEST(ListControlTest, ClearEmptiesWithoutClickAndResetsNewIndex) {
  Form form(TestForm());
  ListControl& list = form.list("cboRow", 1);
  Fill(list, {"x", "y"});
  list.SetListIndex(1);
  EventLog log(form);

  EXPECT_TRUE(list.Clear());
  EXPECT_THAT(log.Take(), IsEmpty());
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_EQ(list.NewIndex(), -1);
  EXPECT_EQ(list.Text(), "");
  // Nothing left to select: position 0 is now outside the list.
  EXPECT_FALSE(list.SetListIndex(0));
  EXPECT_THAT(log.Take(), IsEmpty());
}

TEST(ListControlTest, AddItemAppendsUnsortedAndKeepsOneIntegerPerItem) {
  Form form(TestForm());
  ListControl& box = form.list("cboRow", 0);
  EXPECT_EQ(box.NewIndex(), -1);
  // The editor's field box: data set through NewIndex, 51 between 5 and 6.
  const std::vector<std::pair<std::string, std::int32_t>> entries = {
      {"", 0}, {"Bez1", 5}, {"Bez1+2", 51}, {"Bez2", 6}, {"Alpha", INT32_MIN}, {"Zulu", INT32_MAX}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ASSERT_TRUE(box.AddItem(entries[i].first));
    EXPECT_EQ(box.NewIndex(), static_cast<int>(i));
    EXPECT_EQ(box.ItemData(box.NewIndex()), 0);  // until put
    ASSERT_TRUE(box.SetItemData(box.NewIndex(), entries[i].second));
  }
  ASSERT_EQ(box.ListCount(), static_cast<int>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(box.ItemText(static_cast<int>(i)), entries[i].first);
    EXPECT_EQ(box.ItemData(static_cast<int>(i)), entries[i].second);
  }

  struct OutOfRange {
    int index;
  };
  for (const OutOfRange c : {OutOfRange{-1}, OutOfRange{6}, OutOfRange{100}}) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(box.ItemData(c.index), std::nullopt);
    EXPECT_EQ(box.ItemText(c.index), std::nullopt);
    EXPECT_FALSE(box.SetItemData(c.index, 9));
  }
  // Putting item data raises nothing and leaves the selection.
  EventLog log(form);
  box.SetItemData(2, 52);
  EXPECT_THAT(log.Take(), IsEmpty());
  EXPECT_EQ(box.ListIndex(), -1);
}

TEST(ListControlTest, LookupsThatMissGiveAStandInWhosePutsFail) {
  Form form(TestForm());
  struct Lookup {
    const char* name;
    int index;
  };
  // Unknown name, index past the array, an array without index, wrong kind.
  for (const Lookup l : {Lookup{"cboNope", -1}, Lookup{"cboRow", 3}, Lookup{"cboRow", -1},
                         Lookup{"txtName", -1}, Lookup{"btnOK", -1}}) {
    SCOPED_TRACE(l.name);
    ListControl& stand_in = form.list(l.name, l.index);
    EXPECT_FALSE(stand_in.attached());
    EXPECT_FALSE(stand_in.AddItem("x"));
    EXPECT_FALSE(stand_in.SetListIndex(-1));
    EXPECT_FALSE(stand_in.Clear());
    EXPECT_FALSE(stand_in.SetEnabled(false));
    EXPECT_FALSE(stand_in.SetFocus());
    EXPECT_EQ(stand_in.ListCount(), 0);
    EXPECT_EQ(stand_in.ListIndex(), -1);
    EXPECT_EQ(stand_in.Text(), "");
  }
  EXPECT_TRUE(form.list("cboRow", 2).attached());
  EXPECT_TRUE(form.list("lstItems").attached());
}

}  // namespace
}  // namespace korvix::ui
