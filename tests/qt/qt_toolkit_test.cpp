// The toolkit for a person: modal event loops that block the caller until
// the form unloads, with or without a QApplication of the host's. This
// binary runs the toolkit suite (../toolkit_contract_test.cpp) on the
// scripted Qt toolkit.
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
#include <memory>
#include <string>

#include "korvix/ui/message_box.h"
#include "ui/test_form.h"

namespace korvix::ui {
namespace testing {

std::unique_ptr<ScriptedToolkit> MakeToolkit() { return std::make_unique<ScriptedQtToolkit>(); }

}  // namespace testing

namespace {

using testing::TestForm;

// Runs `act` from the event loop once the current event has been handled:
// the person in front of the screen. A watchdog closes what is still in
// front after a while, so that a click that missed fails instead of hanging.
void Later(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
  QTimer::singleShot(5000, [] {
    if (QWidget* front = QApplication::activeModalWidget()) front->close();
  });
}

void ClickInFront(const char* caption) {
  for (QPushButton* button : QApplication::activeModalWidget()->findChildren<QPushButton*>()) {
    if (button->text() == caption) QTest::mouseClick(button, Qt::LeftButton);
  }
}

TEST(QtToolkit, ShowModalBlocksUntilTheFormUnloadsAndNestedFormsReturnInOrder) {
  // The application made for the call reads the locale from the
  // environment; the host's own must come back.
  setenv("LC_ALL", "C.UTF-8", 1);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  QtToolkit toolkit;
  Form outer(TestForm("frmOuter"));
  Form inner(TestForm("frmInner"));
  std::string order;
  outer.OnCloseBox([&] { order += "outer closed;"; });
  inner.OnCloseBox([&] { order += "inner closed;"; });
  // A window is up once its first control has the focus.
  outer.On(Event::kGotFocus, "lstItems", [&] { Later([] { ClickInFront("OK"); }); });
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
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the call's application is gone";
  EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), "C");
}

TEST(QtToolkit, AHostsApplicationKeepsRunningAndMessageBoxesAnswerItsUser) {
  int argc = 1;
  char name[] = "host";
  char* argv[] = {name, nullptr};
  QApplication host(argc, argv);
  QtToolkit toolkit;
  Form form(TestForm());
  form.On(Event::kGotFocus, "lstItems", [&] {
    Later([] { QApplication::activeModalWidget()->close(); });
  });
  bool shown = false;
  int answer = 0;
  // The host shows a dialog and a box from its own event loop, then goes on:
  // closing them must not end the host's application.
  Later([&] {
    shown = toolkit.ShowModal(form);
    Later([] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    answer = toolkit.MessageBox("Frage", 292, "Titel");
    QTimer::singleShot(50, [] { QApplication::exit(7); });
  });
  EXPECT_EQ(QApplication::exec(), 7);
  EXPECT_TRUE(shown);
  EXPECT_EQ(answer, kResultYes);
}

TEST(QtToolkit, WithoutAWindowingSystemNothingIsShown) {
  const std::string platform = std::getenv("QT_QPA_PLATFORM");
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(variable);
  QtToolkit toolkit;
  ScriptedQtToolkit scripted;
  for (Toolkit* t : {static_cast<Toolkit*>(&toolkit), static_cast<Toolkit*>(&scripted)}) {
    Form form(TestForm());
    EXPECT_FALSE(t->ShowModal(form));
    EXPECT_EQ(form.state(), FormState::kLoaded);
    EXPECT_EQ(t->MessageBox("Frage", 292, "Titel"), kResultNo);
  }
  EXPECT_EQ(scripted.message_boxes().size(), 1u);
  setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

}  // namespace
}  // namespace korvix::ui
