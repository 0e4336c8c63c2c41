// The window of the editor dialog as data, and the entries of its row boxes.
//
// Every row holds the same entries in the same order, so a list position
// means the same choice in every row; the rows keep their values as list
// positions (the field box also as the item data of its entry).
#ifndef KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_FORM_H_
#define KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_FORM_H_

#include <array>
#include <cstdint>
#include <string_view>

#include "ui/form_description.h"

namespace korvix::dialogs {

inline constexpr int kEditorRows = 10;

// The field box lists an empty entry (item data 0, no field), then the
// fields of RecordFields() (korvix/fields.h) with their numbers as item data.

// Length box: list position + 1 is the length.
inline constexpr std::array<std::string_view, 9> kLengthEntries = {
    "1 Stelle",  "2 Stellen", "3 Stellen", "4 Stellen", "5 Stellen",
    "6 Stellen", "7 Stellen", "8 Stellen", "9 Stellen",
};

// Direction box: list position 0 from the left, 1 from the right.
inline constexpr std::array<std::string_view, 2> kLeftRightEntries = {"von links", "von rechts"};

// Phonetic box: list position 0 off, 1 on.
inline constexpr std::array<std::string_view, 2> kSoundexEntries = {"Soundex AUS", "Soundex AN"};

// The defaults that a row gets when it receives a field.
inline constexpr int kDefaultLengthIndex = 2;  // "3 Stellen"
inline constexpr int kDefaultLeftRightIndex = 0;
inline constexpr int kDefaultSoundexIndex = 0;

// The window "frmAlgorithm" as created: every control with its caption,
// position, colour, tab order and initial Enabled state. Only row 0 and
// "Abbrechen" start enabled among the inputs below the name; the option
// buttons and "Speichern" wait for LoadAlgorithm and the row rules.
ui::FormDescription FrmAlgorithmDescription();

}  // namespace korvix::dialogs

#endif  // KORVIX_DIALOGS_EDITOR_FRM_ALGORITHM_FORM_H_
