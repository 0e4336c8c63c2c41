#include "qt/application.h"

#include <QThread>
#include <clocale>
#include <cstdlib>
#include <string>

namespace korvix::ui::qt {
namespace {

// QApplication keeps references to argc and argv for its lifetime.
int application_argc = 1;
char application_name[] = "korvix";
char* application_argv[] = {application_name, nullptr};

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool WindowingSystemAvailable() {
  return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

ApplicationScope::ApplicationScope() {
  if (QCoreApplication* running = QCoreApplication::instance()) {
    ok_ = qobject_cast<QApplication*>(running) != nullptr &&
          running->thread() == QThread::currentThread();
    return;
  }
  if (!WindowingSystemAvailable()) return;
  const char* host_locale = std::setlocale(LC_ALL, nullptr);
  const std::string saved = host_locale != nullptr ? host_locale : "C";
  owned_ = std::make_unique<QApplication>(application_argc, application_argv);
  std::setlocale(LC_ALL, saved.c_str());
  // The windows are the host's dialogs, not an application of their own.
  QApplication::setQuitOnLastWindowClosed(false);
  ok_ = true;
}

ApplicationScope::~ApplicationScope() {
  if (owned_) {
    // Events still queued for the windows of this call go with it.
    QCoreApplication::removePostedEvents(nullptr);
    owned_.reset();
  }
}

}  // namespace korvix::ui::qt
