// The QApplication that a toolkit call needs.
//
// A host with a running QApplication lends it: the toolkit uses it from the
// application's thread. A host without one gets one for the length of the
// call, made here and destroyed at the end of the outermost call; its C
// locale, which QApplication resets from the environment, is given back.
#ifndef KORVIX_PLATFORM_UI_QT_APPLICATION_H_
#define KORVIX_PLATFORM_UI_QT_APPLICATION_H_

#include <QApplication>
#include <memory>

namespace korvix::ui::qt {

class ApplicationScope {
 public:
  ApplicationScope();
  ApplicationScope(const ApplicationScope&) = delete;
  ApplicationScope& operator=(const ApplicationScope&) = delete;
  ~ApplicationScope();

  // True iff widgets can be used on this thread for the scope's length: a
  // QApplication runs on it, the host's or this scope's.
  bool ok() const { return ok_; }

  // True iff this scope made the application.
  bool owns() const { return owned_ != nullptr; }

 private:
  std::unique_ptr<QApplication> owned_;
  bool ok_ = false;
};

// True iff a QApplication could be made here: a platform plugin is named
// (QT_QPA_PLATFORM) or a display is there to connect to. Qt aborts the
// process when it cannot connect, so this is asked first.
bool WindowingSystemAvailable();

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_APPLICATION_H_
