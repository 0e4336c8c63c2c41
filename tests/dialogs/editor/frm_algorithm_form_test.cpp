// The window as the user finds it before any row is filled.
#include "dialogs/editor/frm_algorithm_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace korvix::dialogs {
namespace {

using ui::ControlDescription;
using ui::ControlKind;

const ControlDescription* Find(const ui::FormDescription& form, const std::string& name,
                               int index) {
  for (const ControlDescription& c : form.controls) {
    if (c.name == name && c.index == index) return &c;
  }
  return nullptr;
}

TEST(FrmAlgorithmFormTest, WindowHasItsCaptionSizeAndFont) {
  const ui::FormDescription form = FrmAlgorithmDescription();
  EXPECT_EQ(form.name, "frmAlgorithm");
  EXPECT_EQ(form.caption, "Dupletten-Algorithmus bearbeiten");
  EXPECT_EQ(form.client_width, 6735);
  EXPECT_EQ(form.client_height, 7230);
  EXPECT_EQ(form.font.name, "Tahoma");
  EXPECT_DOUBLE_EQ(form.font.size_points, 8.25);
  EXPECT_FALSE(form.font.bold);
  EXPECT_EQ(form.controls.size(), 2u + 5u * 10u + 6u);
  for (const ControlDescription& c : form.controls) {
    SCOPED_TRACE(c.name + "(" + std::to_string(c.index) + ")");
    EXPECT_FALSE(c.font.has_value()) << "every control takes the window's font";
    EXPECT_TRUE(c.visible);
  }
}

TEST(FrmAlgorithmFormTest, ControlsHaveTheirCaptionsPositionsAndInitialStates) {
  struct Case {
    std::string name;
    int index;
    ControlKind kind;
    std::string caption;
    ui::Rect rect;
    bool enabled;
  };
  const Case cases[] = {
      {"Label2", -1, ControlKind::kLabel, "Name:", {150, 210, 555, 315}, true},
      {"txtName", -1, ControlKind::kTextBox, "", {750, 180, 5895, 345}, true},
      {"lblID", 0, ControlKind::kLabel, "1.", {150, 750, 345, 255}, true},
      {"cboField", 0, ControlKind::kComboBox, "", {600, 720, 2200, 315}, true},
      {"cboLength", 0, ControlKind::kComboBox, "", {2840, 720, 1000, 315}, true},
      {"cboLeftRight", 0, ControlKind::kComboBox, "", {3840, 720, 1200, 315}, true},
      {"cboSoundex", 0, ControlKind::kComboBox, "", {5040, 720, 1600, 315}, true},
      {"lblID", 1, ControlKind::kLabel, "2.", {150, 1110, 345, 255}, false},
      {"cboField", 1, ControlKind::kComboBox, "", {600, 1080, 2200, 315}, false},
      {"lblID", 9, ControlKind::kLabel, "10.", {150, 3990, 345, 255}, false},
      {"cboField", 9, ControlKind::kComboBox, "", {600, 3960, 2200, 315}, false},
      {"cboLength", 9, ControlKind::kComboBox, "", {2840, 3960, 1000, 315}, false},
      {"cboLeftRight", 9, ControlKind::kComboBox, "", {3840, 3960, 1200, 315}, false},
      {"cboSoundex", 9, ControlKind::kComboBox, "", {5040, 3960, 1600, 315}, false},
      {"Label1", -1, ControlKind::kLabel, "Beschreibung:", {180, 4410, 2865, 315}, true},
      {"txtDescription", -1, ControlKind::kTextBox, "", {150, 4710, 6465, 1665}, true},
      {"optPublic", 0, ControlKind::kOptionButton, "Öffentlich", {180, 6540, 2595, 315}, false},
      {"optPublic", 1, ControlKind::kOptionButton, "Privat", {180, 6840, 2595, 315}, false},
      {"btnOK", -1, ControlKind::kCommandButton, "Speichern", {4080, 6810, 1215, 315}, false},
      {"btnCancel", -1, ControlKind::kCommandButton, "Abbrechen", {5370, 6810, 1215, 315}, true},
  };
  const ui::FormDescription form = FrmAlgorithmDescription();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + "(" + std::to_string(c.index) + ")");
    const ControlDescription* d = Find(form, c.name, c.index);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->kind, c.kind);
    EXPECT_EQ(d->caption, c.caption);
    EXPECT_EQ(std::tie(d->position.left, d->position.top, d->position.width, d->position.height),
              std::tie(c.rect.left, c.rect.top, c.rect.width, c.rect.height));
    EXPECT_EQ(d->enabled, c.enabled);
  }
  // Rows 2 to 9 as created: disabled, with their numbers as labels.
  for (int i = 1; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Find(form, "lblID", i)->caption, std::to_string(i + 1) + ".");
    for (const char* box : {"lblID", "cboField", "cboLength", "cboLeftRight", "cboSoundex"}) {
      ASSERT_NE(Find(form, box, i), nullptr) << box;
      EXPECT_FALSE(Find(form, box, i)->enabled) << box;
      EXPECT_EQ(Find(form, box, i)->position.top, Find(form, box, 0)->position.top + 360 * i);
    }
  }
}

TEST(FrmAlgorithmFormTest, TabOrderRunsFromTheNameThroughTheRowsToTheButtons) {
  std::vector<std::string> expected = {"Label2", "txtName"};
  for (int i = 0; i < 10; ++i) {
    for (const char* box : {"lblID", "cboField", "cboLength", "cboLeftRight", "cboSoundex"}) {
      expected.push_back(std::string(box) + "(" + std::to_string(i) + ")");
    }
  }
  for (const char* rest : {"Label1", "txtDescription", "optPublic(0)", "optPublic(1)", "btnOK",
                           "btnCancel"}) {
    expected.push_back(rest);
  }

  std::vector<ControlDescription> controls = FrmAlgorithmDescription().controls;
  std::stable_sort(controls.begin(), controls.end(),
                   [](const auto& a, const auto& b) { return a.tab_index < b.tab_index; });
  std::vector<std::string> order;
  for (const ControlDescription& c : controls) {
    order.push_back(c.index < 0 ? c.name : c.name + "(" + std::to_string(c.index) + ")");
  }
  EXPECT_EQ(order, expected);
  for (std::size_t k = 1; k < controls.size(); ++k) {
    EXPECT_LT(controls[k - 1].tab_index, controls[k].tab_index) << "tab indexes must not tie";
  }
}

TEST(FrmAlgorithmFormTest, InputsAreDarkBlueAndTheOptionsFormOneGroup) {
  const ui::FormDescription form = FrmAlgorithmDescription();
  int dark_blue = 0;
  for (const ControlDescription& c : form.controls) {
    SCOPED_TRACE(c.name + "(" + std::to_string(c.index) + ")");
    const bool input = c.kind == ControlKind::kTextBox || c.kind == ControlKind::kComboBox;
    EXPECT_EQ(c.fore_color, input ? ui::Color::Rgb(0, 0, 128) : ui::Color::Default());
    EXPECT_EQ(c.back_color, ui::Color::Default());
    dark_blue += input ? 1 : 0;
  }
  EXPECT_EQ(dark_blue, 42);

  EXPECT_EQ(Find(form, "optPublic", 0)->option_group, Find(form, "optPublic", 1)->option_group);
  const ControlDescription* description = Find(form, "txtDescription", -1);
  EXPECT_TRUE(description->style.multi_line);
  EXPECT_TRUE(description->style.vertical_scroll_bar);
  EXPECT_FALSE(description->style.read_only);
  const ControlDescription* name = Find(form, "txtName", -1);
  EXPECT_FALSE(name->style.multi_line);
  EXPECT_FALSE(name->style.read_only);
}

}  // namespace
}  // namespace korvix::dialogs
