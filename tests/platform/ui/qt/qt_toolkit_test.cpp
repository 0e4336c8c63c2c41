// The toolkit for a person: modal event loops that block the caller until
// the form unloads, with or without a QApplication of the host's.
#include "korvix/ui/qt_toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "korvix/ui/form.h"
#include "korvix/ui/message_box.h"
#include "platform/ui/qt/placed_test_form.h"

namespace korvix::ui {
namespace {

using testing::PlacedTestForm;

// The button captioned `caption` of the window in front, or null.
QPushButton* ButtonInFront(const QString& caption) {
  QWidget* front = QApplication::activeModalWidget();
  if (front == nullptr) return nullptr;
  for (QPushButton* button : front->findChildren<QPushButton*>()) {
    if (button->text() == caption) return button;
  }
  return nullptr;
}

// Runs `act` from the event loop once the current event has been handled:
// the person in front of the screen.
void Later(std::function<void()> act) { QTimer::singleShot(0, std::move(act)); }

// Closes whatever window is in front after a while, so that a click that
// missed fails the test instead of leaving its loop running forever.
void Watchdog() {
  QTimer::singleShot(5000, [] {
    if (QWidget* front = QApplication::activeModalWidget()) front->close();
  });
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(QtToolkitTest, ShowModalBlocksUntilTheFormUnloads) {
  QtToolkit toolkit;
  Form form(PlacedTestForm());
  int clicks = 0;
  form.On(Event::kClick, "btnOK", [&] {
    ++clicks;
    form.Unload();
  });
  // The window is up once the first control has the focus.
  form.On(Event::kGotFocus, "lstItems", [&] {
    Watchdog();
    Later([] {
      QPushButton* ok = ButtonInFront("OK");
      ASSERT_NE(ok, nullptr);
      QTest::mouseClick(ok, Qt::LeftButton);
    });
  });
  EXPECT_TRUE(toolkit.ShowModal(form));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form.state(), FormState::kUnloaded);
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the call's application is gone";
}

TEST(QtToolkitTest, CloseBoxEndsTheLoopAndNestedFormsReturnInOrder) {
  QtToolkit toolkit;
  Form outer(PlacedTestForm("frmOuter"));
  Form inner(PlacedTestForm("frmInner"));
  std::string order;
  outer.OnCloseBox([&] { order += "outer closed;"; });
  inner.OnCloseBox([&] { order += "inner closed;"; });
  outer.On(Event::kGotFocus, "lstItems", [&] {
    Watchdog();
    Later([] { QTest::mouseClick(ButtonInFront("OK"), Qt::LeftButton); });
  });
  outer.On(Event::kClick, "btnOK", [&] {
    EXPECT_TRUE(toolkit.ShowModal(inner));
    order += "inner returned;";
    Later([] { QApplication::activeModalWidget()->close(); });
  });
  inner.On(Event::kGotFocus, "lstItems", [&] {
    Later([] { QApplication::activeModalWidget()->close(); });
  });
  EXPECT_TRUE(toolkit.ShowModal(outer));
  EXPECT_EQ(order, "inner closed;inner returned;outer closed;");
}

TEST(QtToolkitTest, MessageBoxesAnswerWithTheButtonPressed) {
  QtToolkit toolkit;
  const struct {
    int flags;
    Qt::Key key;
    int result;
  } cases[] = {
      {48, Qt::Key_Return, kResultOk},      {48, Qt::Key_Escape, kResultOk},
      {289, Qt::Key_Return, kResultCancel}, {289, Qt::Key_Escape, kResultCancel},
      {292, Qt::Key_Return, kResultNo},     {292, Qt::Key_Escape, kResultNo},
      {1, Qt::Key_Return, kResultOk},       {4, Qt::Key_Return, kResultYes},
  };
  // A host's application, so that the key press can be queued before the
  // call; the box's own event loop then delivers it.
  int argc = 1;
  char name[] = "host";
  char* argv[] = {name, nullptr};
  const QApplication host(argc, argv);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.flags << " " << c.key);
    Later([key = c.key] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      QTest::keyClick(box, key);
    });
    EXPECT_EQ(toolkit.MessageBox("Frage", c.flags, "Titel"), c.result);
  }
  Later([] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
  });
  EXPECT_EQ(toolkit.MessageBox("Frage", 292, "Titel"), kResultYes);
}

TEST(QtToolkitTest, AHostsApplicationIsUsedAndKeepsRunning) {
  int argc = 1;
  char name[] = "host";
  char* argv[] = {name, nullptr};
  QApplication host(argc, argv);
  QtToolkit toolkit;
  Form form(PlacedTestForm());
  bool shown = false;
  bool quit_by_host = false;
  form.On(Event::kGotFocus, "lstItems", [&] {
    Later([] { QApplication::activeModalWidget()->close(); });
  });
  // The host shows the dialog from its own event loop, then goes on; closing
  // the dialog's window must not end the host's application.
  Later([&] {
    shown = toolkit.ShowModal(form);
    QTimer::singleShot(50, [&] {
      quit_by_host = true;
      QApplication::quit();
    });
  });
  QApplication::exec();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(quit_by_host);
  EXPECT_EQ(QCoreApplication::instance(), &host);
}

TEST(QtToolkitTest, TheHostsLocaleSurvivesTheCallsApplication) {
  const ScopedEnv all("LC_ALL", "C.UTF-8");
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  QtToolkit toolkit;
  Form form(PlacedTestForm());
  std::string during;
  form.On(Event::kGotFocus, "lstItems", [&] {
    during = std::setlocale(LC_NUMERIC, nullptr);
    form.Unload();
  });
  EXPECT_TRUE(toolkit.ShowModal(form));
  EXPECT_EQ(during, "C");
  EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), "C");
}

TEST(QtToolkitTest, WithoutAWindowingSystemNothingIsShown) {
  const ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  const ScopedEnv display("DISPLAY", nullptr);
  const ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  QtToolkit toolkit;
  ScriptedQtToolkit scripted;
  for (Toolkit* t : {static_cast<Toolkit*>(&toolkit), static_cast<Toolkit*>(&scripted)}) {
    Form form(PlacedTestForm());
    EXPECT_FALSE(t->ShowModal(form));
    EXPECT_EQ(form.state(), FormState::kLoaded);
    EXPECT_EQ(t->MessageBox("Frage", 292, "Titel"), kResultNo);
  }
  EXPECT_EQ(scripted.message_boxes().size(), 1u);
}

}  // namespace
}  // namespace korvix::ui
