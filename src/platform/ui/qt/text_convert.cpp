#include "platform/ui/qt/text_convert.h"

#include <algorithm>
#include <cstdint>

namespace korvix::ui::qt {
namespace {

// Length of the well-formed UTF-8 sequence that starts `s`, or 0.
std::size_t SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  else return 0;
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (n == 3 && ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F))) return 0;
  if (n == 4 && ((lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))) return 0;
  return n;
}

// Windows-1252 at 0x80-0x9F; the other bytes are Latin-1. The five unused
// positions keep their C1 code points.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar Cp1252(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
}

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
  QString text;
  text.reserve(static_cast<qsizetype>(utf8.size()));
  while (!utf8.empty()) {
    const std::size_t n = SequenceLength(utf8);
    if (n == 0) {
      text += Cp1252(static_cast<unsigned char>(utf8.front()));
      utf8.remove_prefix(1);
    } else {
      text += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(n));
      utf8.remove_prefix(n);
    }
  }
  return text;
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
