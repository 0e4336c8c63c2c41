// The two dialogs in real windows: what only a real toolkit can get wrong
// (places, fonts, tab order, colours, and the details drawn bold or
// regular). Their behaviour is the scenario suites'.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/editor/frm_algorithm.h"
#include "dialogs/select/frm_select.h"
#include "korvix/ui/qt_toolkit.h"
#include "db/backend_fixture.h"
#include "qt/fonts.h"
#include "qt/qt_user.h"
#include "qt/twips.h"

namespace korvix::ui::qt {
namespace {

// Every control stands at its description's rectangle in Tahoma 8.25 pt as
// drawn, Tab visits the controls that take the focus in tab order, and no
// button is one that Enter presses.
void ExpectDrawnAsDescribed(const FormWindow& window) {
  const FormDescription& d = window.form().description();
  EXPECT_EQ(window.size(), QSize(TwipsToPixels(d.client_width, window.dpi()),
                                 TwipsToPixels(d.client_height, window.dpi())));
  std::vector<const Control*> tab_order;
  for (const Control* c : window.form().controls()) {
    const QWidget* widget = window.widget(c->name(), c->index());
    EXPECT_EQ(widget->geometry(), PixelRect(c->description().position, window.dpi())) << c->name();
    EXPECT_EQ(QFontInfo(widget->font()).family(), ResolveFontFamily("Tahoma")) << c->name();
    EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 8.25);
    if (c->kind() != ControlKind::kLabel) tab_order.push_back(c);
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
      EXPECT_FALSE(button->isDefault() || button->autoDefault()) << c->name();
    }
  }
  std::stable_sort(tab_order.begin(), tab_order.end(), [](const Control* a, const Control* b) {
    return a->description().tab_index < b->description().tab_index;
  });
  const QWidget* w = window.widget(tab_order.front()->name(), tab_order.front()->index());
  for (const Control* expected : tab_order) {
    while (window.control_of(w) == nullptr || w->focusPolicy() == Qt::NoFocus) {
      w = w->nextInFocusChain();
    }
    EXPECT_EQ(window.control_of(w), expected) << expected->name() << expected->index();
    w = w->nextInFocusChain();
  }
}

int Ink(QWidget& widget) {
  const QImage image = widget.grab().toImage();
  int dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
  }
  return dark;
}

// Whether the text box `name` is drawn bold: its ink against the same text
// drawn with the other weight, put into the model for a moment.
bool DrawnBold(const FormWindow& window, const char* name) {
  TextBox& box = window.form().text_box(name);
  const int as_shown = Ink(*window.widget(name));
  box.SetFontBold(!box.FontBold());
  const int other = Ink(*window.widget(name));
  box.SetFontBold(!box.FontBold());
  EXPECT_NE(as_shown, other) << "bold and regular are drawn alike";
  return as_shown > other;
}

class DialogWindowsTest : public db::testing::DatabaseTest {
 protected:
  db::testing::BackendKind backend() const override { return db::testing::BackendKind::kSqlite; }

  ScriptedQtToolkit toolkit_;
};

TEST_F(DialogWindowsTest, SelectionWindowAndItsDetailsInBothStates) {
  Seed({{"0105000000000000", "-", "Postleitzahl", "Nur die PLZ."},
        {"0205000000000000", "-", "Öffentlicher Ort", "Größe ß"}});
  const std::string png = ::testing::TempDir() + "korvix-select.png";
  toolkit_.QueueScript("frmSelect", [&](User& user) {
    const FormWindow& window = dynamic_cast<QtUser&>(user).window();
    ExpectDrawnAsDescribed(window);
    const QWidget& details = *window.widget("txtDescription");
    EXPECT_EQ(details.palette().color(QPalette::Active, QPalette::Base),
              QApplication::palette().color(QPalette::Active, QPalette::Button));
    const struct {
      int select;  // -1: as opened, no entry selected
      QColor text;
      bool bold;
    } states[] = {{-1, QColor(0, 0, 128), false}, {1, Qt::black, true}, {0, Qt::black, true}};
    for (const auto& s : states) {
      SCOPED_TRACE(s.select);
      EXPECT_TRUE(s.select < 0 || user.Select({"Liste"}, s.select));
      EXPECT_EQ(details.palette().color(QPalette::Active, QPalette::Text), s.text);
      EXPECT_EQ(DrawnBold(window, "txtDescription"), s.bold);
    }
    EXPECT_TRUE(toolkit_.SaveWindowImage(png));
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), window.size());
  });
  dialogs::FrmSelect dialog(toolkit_);
  dialog.Connection = connection_.get();
  dialog.IsAdmin = true;
  dialog.ShowData();
  EXPECT_EQ(toolkit_.pending_scripts("frmSelect"), 0u);
  std::filesystem::remove(png);
}

TEST_F(DialogWindowsTest, EditorWindowIsDrawnAsDescribed) {
  dialogs::FrmAlgorithm editor(toolkit_);
  editor.AlgoCode = "010500000000000003050000000000000504110000000000";
  toolkit_.QueueScript("frmAlgorithm", [](User& user) {
    ExpectDrawnAsDescribed(dynamic_cast<QtUser&>(user).window());
  });
  editor.ShowData();
  EXPECT_EQ(toolkit_.pending_scripts("frmAlgorithm"), 0u);
}

}  // namespace
}  // namespace korvix::ui::qt
