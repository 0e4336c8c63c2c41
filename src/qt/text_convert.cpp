#include "qt/text_convert.h"

#include <algorithm>

#include "base/text.h"

namespace korvix::ui::qt {
namespace {

// Characters that the model counts for shown[i], which starts a character.
int ModelWidth(const QString& shown, qsizetype i, bool multi_line) {
  return multi_line && shown[i] == u'\n' ? 2 : 1;
}

// Code units of the character that starts at shown[i].
qsizetype ShownWidth(const QString& shown, qsizetype i) {
  return shown[i].isHighSurrogate() && i + 1 < shown.size() && shown[i + 1].isLowSurrogate() ? 2
                                                                                              : 1;
}

}  // namespace

QString ToQString(std::string_view utf8) {
  QString result;
  result.reserve(static_cast<qsizetype>(utf8.size()));
  for (std::size_t i = 0; i < utf8.size();) {
    const text::Character c = text::DecodeCharacter(utf8, i);
    result.append(QChar::fromUcs4(c.code));
    i += c.length;
  }
  return result;
}

std::string ToUtf8(const QString& text) { return text.toStdString(); }

QString ToShownText(std::string_view text, bool multi_line) {
  QString shown = ToQString(text);
  if (multi_line) {
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
  }
  return shown;
}

std::string ToModelText(const QString& shown, bool multi_line) {
  if (!multi_line) return ToUtf8(shown);
  QString text = shown;
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return ToUtf8(text);
}

int ToModelPosition(const QString& shown, int index, bool multi_line) {
  const qsizetype end = std::clamp<qsizetype>(index, 0, shown.size());
  int position = 0;
  for (qsizetype i = 0; i < end; i += ShownWidth(shown, i)) {
    position += ModelWidth(shown, i, multi_line);
  }
  return position;
}

int ToShownIndex(const QString& shown, int position, bool multi_line) {
  qsizetype i = 0;
  int at = 0;
  while (i < shown.size() && at < position) {
    at += ModelWidth(shown, i, multi_line);
    i += ShownWidth(shown, i);
  }
  return static_cast<int>(i);
}

}  // namespace korvix::ui::qt
