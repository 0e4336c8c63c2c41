#include "qt/compact_style.h"

#include <QApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionComplex>

namespace korvix::ui::qt {
namespace {

// Width of the arrow button and of the frame around the chosen entry.
constexpr int kArrowWidth = 16;
constexpr int kFrame = 2;

class CompactStyle final : public QProxyStyle {
 public:
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                       SubControl part, const QWidget* widget) const override {
    if (control == CC_ComboBox && option != nullptr) {
      const QRect r = option->rect;
      if (part == SC_ComboBoxArrow) {
        return QRect(r.right() - kFrame - kArrowWidth + 1, r.top() + kFrame, kArrowWidth,
                     r.height() - 2 * kFrame);
      }
      if (part == SC_ComboBoxEditField) {
        return QRect(r.left() + kFrame + 1, r.top() + kFrame,
                     r.width() - 2 * kFrame - kArrowWidth - 2, r.height() - 2 * kFrame);
      }
    }
    return QProxyStyle::subControlRect(control, option, part, widget);
  }
};

}  // namespace

QStyle* CompactComboStyle() {
  static QPointer<QStyle> style;
  if (style.isNull() || style->parent() != qApp) {
    style = new CompactStyle();
    style->setParent(qApp);
  }
  return style.data();
}

}  // namespace korvix::ui::qt
