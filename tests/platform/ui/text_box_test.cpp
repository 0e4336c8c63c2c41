#include "korvix/ui/text_box.h"

#include <gtest/gtest.h>

#include <string>

#include "korvix/ui/form.h"
#include "platform/ui/test_form.h"

namespace korvix::ui {
namespace {

using testing::TestForm;

TEST(TextBoxTest, CharacterCountCountsCodePointsAndStrayBytesAsOne) {
  struct Case {
    std::string text;
    int count;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"Müller", 6},             // ü is two bytes
      {"M\xFCller", 6},          // Windows-1252 ü, not UTF-8
      {"u\xCC\x88", 2},          // u and a combining diaeresis
      {"\xF0\x9F\x98\x80", 1},   // four bytes, one character
      {"\xE2\x82", 2},           // a cut sequence: two stray bytes
      {"\xC0\xAF", 2},           // overlong form of '/'
      {"\xED\xA0\x80", 3},       // a surrogate is not valid UTF-8
      {"Stra\xC3\x9F" "e", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CharacterCount(c.text), c.count);
  }
}

TEST(TextBoxTest, SelectionIsClampedToTheTextAndNegativeValuesFail) {
  Form form(TestForm());
  TextBox& box = form.text_box("txtName");
  EXPECT_EQ(box.Text(), "Anfang");  // the declared initial text
  ASSERT_TRUE(box.SetText("Müller"));

  enum Op { kStart, kLength };
  struct Step {
    Op op;
    int value;
    bool ok;
    int start;
    int length;
  };
  const Step steps[] = {
      {kLength, 6, true, 0, 6},   {kStart, 2, true, 2, 0},    {kLength, 3, true, 2, 3},
      {kLength, 10, true, 2, 4},  {kStart, -1, false, 2, 4},  {kLength, -1, false, 2, 4},
      {kStart, 99, true, 6, 0},   {kLength, 1, true, 6, 0},   {kStart, 0, true, 0, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE((s.op == kStart ? "SelStart " : "SelLength ") + std::to_string(s.value));
    EXPECT_EQ(s.op == kStart ? box.SetSelStart(s.value) : box.SetSelLength(s.value), s.ok);
    EXPECT_EQ(box.SelStart(), s.start);
    EXPECT_EQ(box.SelLength(), s.length);
  }
}

TEST(TextBoxTest, PuttingTextResetsTheSelectionAndWorksOnReadOnlyBoxes) {
  Form form(TestForm());
  TextBox& name = form.text_box("txtName");
  name.SetSelStart(2);
  name.SetSelLength(3);
  EXPECT_TRUE(name.SetText("Neu"));
  EXPECT_EQ(name.SelStart(), 0);
  EXPECT_EQ(name.SelLength(), 0);

  TextBox& notes = form.text_box("txtNotes");
  ASSERT_TRUE(notes.read_only());
  EXPECT_TRUE(notes.SetText("Zeile 1\r\nZeile 2"));
  EXPECT_EQ(notes.Text(), "Zeile 1\r\nZeile 2");
}

TEST(TextBoxTest, OtherKindsHaveNoTextSelection) {
  Form form(TestForm());
  for (const char* name : {"lstItems", "btnOK", "lblTitle", "optOther"}) {
    SCOPED_TRACE(name);
    Control& c = form.control(name);
    ASSERT_TRUE(c.attached());
    EXPECT_FALSE(c.SetSelStart(0));
    EXPECT_FALSE(c.SetSelLength(0));
  }
  EXPECT_FALSE(form.text_box("lstItems").attached());
}

}  // namespace
}  // namespace korvix::ui
