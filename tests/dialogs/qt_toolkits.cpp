// The toolkits of the dialog suites in real windows: the Qt back end, drawn
// offscreen unless the runner names another platform.
#include <QString>
#include <QtGlobal>
#include <cstdlib>
#include <memory>

#include "dialogs/dialog_fixture.h"
#include "korvix/ui/qt_toolkit.h"

namespace korvix::dialogs::testing {
namespace {

QtMessageHandler qt_default_handler = nullptr;

// The offscreen platform says, each time a drop-down list opens, that it
// cannot raise the list or grab the keyboard for it, and each application
// made for a dialog finds no runtime directory; nothing else is dropped.
void DropOffscreenNoise(QtMsgType type, const QMessageLogContext& context,
                        const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support")) ||
      message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
    return;
  }
  if (qt_default_handler != nullptr) qt_default_handler(type, context, message);
}

}  // namespace

std::vector<ToolkitFactory> ToolkitFactories() {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  if (qt_default_handler == nullptr) qt_default_handler = qInstallMessageHandler(DropOffscreenNoise);
  return {{"Qt", [] { return std::make_unique<ui::ScriptedQtToolkit>(); }}};
}

}  // namespace korvix::dialogs::testing
