#include "qt/message_box_widget.h"

#include <algorithm>

#include "ui/message_box_style.h"
#include "qt/text_convert.h"

namespace korvix::ui::qt {
namespace {

struct ButtonResult {
  QMessageBox::StandardButton button;
  int result;
};

constexpr ButtonResult kButtons[] = {
    {QMessageBox::Ok, kResultOk},         {QMessageBox::Cancel, kResultCancel},
    {QMessageBox::Abort, kResultAbort},   {QMessageBox::Retry, kResultRetry},
    {QMessageBox::Ignore, kResultIgnore}, {QMessageBox::Yes, kResultYes},
    {QMessageBox::No, kResultNo},
};

QMessageBox::StandardButton StandardButtonFor(int result) {
  for (const ButtonResult& b : kButtons) {
    if (b.result == result) return b.button;
  }
  return QMessageBox::NoButton;
}

QMessageBox::Icon IconFor(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kCritical: return QMessageBox::Critical;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kExclamation: return QMessageBox::Warning;
    case MessageIcon::kInformation: return QMessageBox::Information;
    case MessageIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

bool Has(const MessageBoxStyle& style, int result) {
  return std::find(style.buttons.begin(), style.buttons.end(), result) != style.buttons.end();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view prompt, int flags,
                                            std::string_view title, QWidget* parent) {
  const MessageBoxStyle style = DecodeMessageBoxFlags(flags);
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(ToQString(title));
  box->setTextFormat(Qt::PlainText);
  box->setText(ToShownText(prompt, true));
  box->setIcon(IconFor(style.icon));
  for (int result : style.buttons) box->addButton(StandardButtonFor(result));
  box->setDefaultButton(StandardButtonFor(style.default_result));
  int escape = 0;
  if (Has(style, kResultCancel)) {
    escape = kResultCancel;
  } else if (Has(style, kResultNo)) {
    escape = kResultNo;
  } else if (style.buttons.size() == 1) {
    escape = style.buttons.front();
  }
  if (escape != 0) box->setEscapeButton(StandardButtonFor(escape));
  box->setWindowModality(Qt::ApplicationModal);
  // A box of the host's: closing it must not end the host's application.
  box->setAttribute(Qt::WA_QuitOnClose, false);
  return box;
}

int ResultOf(const QMessageBox& box, const QAbstractButton* button) {
  if (button == nullptr) return 0;
  const QMessageBox::StandardButton standard =
      box.standardButton(const_cast<QAbstractButton*>(button));
  for (const ButtonResult& b : kButtons) {
    if (b.button == standard) return b.result;
  }
  return 0;
}

QAbstractButton* ButtonFor(const QMessageBox& box, int result) {
  const QMessageBox::StandardButton standard = StandardButtonFor(result);
  return standard == QMessageBox::NoButton ? nullptr : box.button(standard);
}

int Answer(const QMessageBox& box, int flags) {
  if (const int result = ResultOf(box, box.clickedButton()); result != 0) return result;
  return ButtonFor(box, kResultCancel) != nullptr ? kResultCancel
                                                  : DecodeMessageBoxFlags(flags).default_result;
}

}  // namespace korvix::ui::qt
