// The two dialogs in real windows: where each control stands, tab order,
// fonts, colours, and the details box in both of its states. What only a
// real toolkit can get wrong; the dialogs' behaviour is the scenario suites'.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "dialogs/editor/frm_algorithm.h"
#include "korvix/doublet_functions.h"
#include "korvix/ui/qt_toolkit.h"
#include "korvix/ui/toolkit.h"
#include "platform/db/backend_fixture.h"
#include "platform/ui/qt/fonts.h"
#include "platform/ui/qt/qt_user.h"
#include "platform/ui/qt/twips.h"

namespace korvix::ui {

void PrintTo(const ControlId& id, std::ostream* os) { *os << id.name << "(" << id.index << ")"; }

namespace qt {
namespace {

struct Placed {
  ControlId id;
  QRect pixels;  // at 96 dpi
};

// The first `count` widgets of controls that take the focus, in the order
// Tab visits them from `first`.
std::vector<QWidget*> TabChain(const FormWindow& window, std::size_t count, QWidget* first) {
  std::vector<QWidget*> chain;
  for (QWidget* w = first; w != nullptr && chain.size() < count; w = w->nextInFocusChain()) {
    if (window.control_of(w) != nullptr && w->focusPolicy() != Qt::NoFocus) chain.push_back(w);
    if (w->nextInFocusChain() == first) break;
  }
  return chain;
}

class DialogWindowsTest : public db::testing::DatabaseTest {
 protected:
  db::testing::BackendKind backend() const override { return db::testing::BackendKind::kSqlite; }

  void SetUp() override {
    DatabaseTest::SetUp();
    SetDefaultToolkit(&toolkit_);
  }
  void TearDown() override {
    SetDefaultToolkit(nullptr);
    DatabaseTest::TearDown();
  }

  void Queue(const char* form, std::function<void(QtUser&)> script) {
    toolkit_.QueueScript(form, [script = std::move(script)](User& user) {
      auto& qt_user = dynamic_cast<QtUser&>(user);
      if (ScreenDpi() != kStandardDpi) {
        ADD_FAILURE() << "the layout is checked at 96 dpi, the screen has " << ScreenDpi();
        return;
      }
      script(qt_user);
    });
  }

  static void ExpectLayout(const QtUser& user, const std::vector<Placed>& placed) {
    for (const Placed& p : placed) {
      const QWidget* widget = user.window().widget(p.id.name, p.id.index);
      ASSERT_NE(widget, nullptr) << p.id.name << "(" << p.id.index << ")";
      EXPECT_EQ(widget->geometry(), p.pixels) << p.id.name << "(" << p.id.index << ")";
    }
  }

  static void ExpectTahoma(const QtUser& user) {
    const QString family = ResolveFontFamily("Tahoma");
    for (const QWidget* widget : user.window().findChildren<QWidget*>()) {
      if (user.window().control_of(widget) == nullptr) continue;
      EXPECT_EQ(widget->font().family(), family) << widget->metaObject()->className();
      EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 8.25);
      // The font really drawn is the one asked for, not a substitute.
      EXPECT_EQ(QFontInfo(widget->font()).family(), family);
    }
  }

  // Every letter of `text` has a glyph in `widget`'s font.
  static void ExpectGlyphs(const QWidget& widget, const QString& text) {
    const QFontMetrics metrics(widget.font());
    for (const QChar c : text) {
      if (!c.isLetter()) continue;
      EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
    }
  }

  ScriptedQtToolkit toolkit_;
};

TEST_F(DialogWindowsTest, SelectionWindowLayoutFontsAndDetailsStates) {
  Seed({{"0105000000000000", "-", "Postleitzahl", "Nur die PLZ."},
        {"0205000000000000", "-", "Öffentlicher Ort", "Größe ß"}});
  Queue("frmSelect", [](QtUser& user) {
    const FormWindow& window = user.window();
    EXPECT_EQ(window.windowTitle(), "Dupletten-Algorithmen");
    EXPECT_EQ(window.size(), QSize(512, 484));
    ExpectLayout(user, {{{"Liste"}, {10, 6, 489, 225}},
                        {{"txtDescription"}, {14, 246, 481, 203}},
                        {{"btnOK"}, {334, 454, 81, 21}},
                        {{"btnCancel"}, {420, 454, 81, 21}},
                        {{"btnNew"}, {12, 454, 81, 21}},
                        {{"btnDelete"}, {184, 454, 81, 21}},
                        {{"btnEdit"}, {98, 454, 81, 21}}});
    ExpectTahoma(user);
    const std::vector<std::string> order = {"Liste", "txtDescription", "btnOK", "btnCancel",
                                            "btnNew", "btnDelete", "btnEdit"};
    std::vector<std::string> chain;
    for (QWidget* w : TabChain(window, order.size(), window.widget("Liste"))) {
      chain.push_back(window.control_of(w)->name());
    }
    EXPECT_EQ(chain, order);

    // No entry selected: the introduction in regular dark blue on the
    // button face, read only, with its vertical scroll bar.
    auto* details = qobject_cast<QPlainTextEdit*>(window.widget("txtDescription"));
    ASSERT_NE(details, nullptr);
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    const auto expect_details = [&](bool bold, QColor text) {
      EXPECT_EQ(details->palette().color(QPalette::Active, QPalette::Base), face);
      EXPECT_EQ(details->palette().color(QPalette::Active, QPalette::Text), text);
      EXPECT_EQ(details->font().bold(), bold);
      EXPECT_EQ(QFontInfo(details->font()).bold(), bold);
    };
    expect_details(false, QColor(0, 0, 128));
    EXPECT_TRUE(details->isReadOnly());
    EXPECT_EQ(details->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_GT(details->document()->blockCount(), 3);

    // An entry selected: status and description in bold black.
    EXPECT_TRUE(user.Select({"Liste"}, 1));
    expect_details(true, QColor(0, 0, 0));
    EXPECT_EQ(details->toPlainText(), QString::fromUtf8("Status: öffentlich\n\nGröße ß"));
    ExpectGlyphs(*details, details->toPlainText());
    ExpectGlyphs(*window.widget("btnOK"), QString::fromUtf8("Auswählen Löschen"));
    EXPECT_TRUE(user.Select({"Liste"}, 0));
    expect_details(true, QColor(0, 0, 0));
  });
  EXPECT_EQ(DoubletFunctions().ShowDlg(connection_.get(), "", "", true, true), "");
  EXPECT_EQ(toolkit_.pending_scripts("frmSelect"), 0u);
}

TEST_F(DialogWindowsTest, EditorWindowLayoutFontsAndColours) {
  dialogs::FrmAlgorithm editor(toolkit_);
  editor.AlgoCode = "010500000000000003050000000000000504110000000000";  // three rows
  editor.AlgoPersonalNr = "-";
  editor.AlgoName = "Adresse und Name";
  editor.IsAdmin = true;
  Queue("frmAlgorithm", [](QtUser& user) {
    const FormWindow& window = user.window();
    EXPECT_EQ(window.windowTitle(), "Dupletten-Algorithmus bearbeiten");
    EXPECT_EQ(window.size(), QSize(449, 482));
    std::vector<Placed> placed = {{{"Label2"}, {10, 14, 37, 21}},
                                  {{"txtName"}, {50, 12, 393, 23}},
                                  {{"Label1"}, {12, 294, 191, 21}},
                                  {{"txtDescription"}, {10, 314, 431, 111}},
                                  {{"optPublic", 0}, {12, 436, 173, 21}},
                                  {{"optPublic", 1}, {12, 456, 173, 21}},
                                  {{"btnOK"}, {272, 454, 81, 21}},
                                  {{"btnCancel"}, {358, 454, 81, 21}}};
    for (int i = 0; i < 10; ++i) {
      const int top = 48 + 24 * i;
      placed.push_back({{"lblID", i}, {10, top + 2, 23, 17}});
      placed.push_back({{"cboField", i}, {40, top, 147, 21}});
      placed.push_back({{"cboLength", i}, {189, top, 67, 21}});
      placed.push_back({{"cboLeftRight", i}, {256, top, 80, 21}});
      placed.push_back({{"cboSoundex", i}, {336, top, 107, 21}});
    }
    ExpectLayout(user, placed);
    ExpectTahoma(user);

    std::vector<ControlId> order = {{"txtName"}};
    for (int i = 0; i < 10; ++i) {
      for (const char* box : {"cboField", "cboLength", "cboLeftRight", "cboSoundex"}) {
        order.push_back({box, i});
      }
    }
    for (ControlId id : {ControlId{"txtDescription"}, ControlId{"optPublic", 0},
                         ControlId{"optPublic", 1}, ControlId{"btnOK"}, ControlId{"btnCancel"}}) {
      order.push_back(id);
    }
    std::vector<ControlId> chain;
    for (QWidget* w : TabChain(window, order.size(), window.widget("txtName"))) {
      const Control* control = window.control_of(w);
      chain.push_back({control->name(), control->index()});
    }
    EXPECT_EQ(chain, order);

    // What the user edits is dark blue; labels keep the scheme's colour, and
    // the labels of rows 2 to 10 show disabled.
    for (const ControlId& id : order) {
      if (id.name.rfind("cbo", 0) != 0 && id.name.rfind("txt", 0) != 0) continue;
      EXPECT_EQ(user.State(id).fore_color, Color::Rgb(0, 0, 128)) << id.name << id.index;
      const QWidget* widget = window.widget(id.name, id.index);
      EXPECT_EQ(widget->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 128));
    }
    EXPECT_EQ(user.State({"Label1"}).fore_color, Color::Default());
    EXPECT_TRUE(window.widget("lblID", 0)->isEnabled());
    EXPECT_FALSE(window.widget("lblID", 1)->isEnabled());
    EXPECT_EQ(qobject_cast<QLabel*>(window.widget("lblID", 9))->text(), "10.");

    EXPECT_EQ(qobject_cast<QRadioButton*>(window.widget("optPublic", 0))->text(),
              QString::fromUtf8("Öffentlich"));
    ExpectGlyphs(*window.widget("optPublic", 0), QString::fromUtf8("Öffentlich Straße"));
    EXPECT_EQ(user.State({"cboField", 1}).text, "Straße");
    EXPECT_EQ(user.State({"cboLeftRight", 2}).text, "von rechts");
    EXPECT_TRUE(user.State({"optPublic", 0}).value);
    EXPECT_EQ(user.Focused(), (ControlId{"txtName"}));
    EXPECT_EQ(user.State({"txtName"}).sel_length, 16) << "GotFocus selected the name";
  });
  editor.ShowData();
  EXPECT_FALSE(editor.Result);
  EXPECT_EQ(toolkit_.pending_scripts("frmAlgorithm"), 0u);
}

TEST_F(DialogWindowsTest, WindowImagesOfTheShownDialog) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "korvix_qt_png";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "select.png").string();
  std::filesystem::remove(file);
  EXPECT_FALSE(toolkit_.SaveWindowImage(file)) << "no window is shown";
  Queue("frmSelect", [&](QtUser& user) {
    EXPECT_TRUE(toolkit_.SaveWindowImage(file));
    EXPECT_FALSE(toolkit_.SaveWindowImage((dir / "missing" / "x.png").string()));
    const QImage image(QString::fromStdString(file));
    EXPECT_EQ(image.size(), user.window().size());
  });
  DoubletFunctions().ShowDlg(connection_.get());
  EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace qt
}  // namespace korvix::ui
