// Texts between the model and the widgets.
//
// The model holds UTF-8 with "\r\n" line breaks and counts positions in
// characters (code points; a byte that is not valid UTF-8 is one character).
// Widgets hold QStrings, and a multi-line box keeps a line break as one "\n".
// These functions carry texts and positions across without losing anything a
// user can see.
#ifndef KORVIX_PLATFORM_UI_QT_TEXT_CONVERT_H_
#define KORVIX_PLATFORM_UI_QT_TEXT_CONVERT_H_

#include <QString>
#include <string>
#include <string_view>

namespace korvix::ui::qt {

// `utf8` as a QString. Bytes that are not valid UTF-8 are read one by one as
// Windows-1252 characters, as everywhere in the component.
QString ToQString(std::string_view utf8);
std::string ToUtf8(const QString& text);

// The text a box shows for the model's `text`. In a multi-line box every
// line break ("\r\n", or a lone "\r" or "\n") becomes one "\n".
QString ToShownText(std::string_view text, bool multi_line);
// The model's text for what a box shows: in a multi-line box each "\n" is
// the line break "\r\n".
std::string ToModelText(const QString& shown, bool multi_line);

// The model position (characters) of the place before `shown[index]`; a
// line break of a multi-line box counts two characters. `index` is clamped
// to the text.
int ToModelPosition(const QString& shown, int index, bool multi_line);
// The index into `shown` of the model position `position`. A position
// inside a line break or inside a surrogate pair goes to its end; past the
// end of the text, to the end.
int ToShownIndex(const QString& shown, int position, bool multi_line);

}  // namespace korvix::ui::qt

#endif  // KORVIX_PLATFORM_UI_QT_TEXT_CONVERT_H_
