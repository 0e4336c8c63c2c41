// Every test of the Qt back end draws offscreen unless its runner names
// another platform, and hears nothing of what that platform cannot do.
#include <QString>
#include <QtGlobal>
#include <cstdlib>

namespace {

QtMessageHandler qt_default_handler = nullptr;

// The offscreen platform cannot raise a drop-down's list or grab the
// keyboard for it, and each application made for a call finds no runtime
// directory; nothing else is dropped.
void DropOffscreenNoise(QtMsgType type, const QMessageLogContext& context,
                        const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support")) ||
      message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
    return;
  }
  if (qt_default_handler != nullptr) qt_default_handler(type, context, message);
}

const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  qt_default_handler = qInstallMessageHandler(DropOffscreenNoise);
  return true;
}();

}  // namespace
