// Normalising a record before it is keyed and compared (--normalize).
//
// Every rule makes two spellings of one thing one spelling, so that the key
// rules, which compare characters exactly, see them as equal:
//   every field    capitals; Ä/AE, Ö/OE, Ü/UE, ß/SS written AE, OE, UE, SS;
//                  blanks, tabs and no-break spaces one blank, none at the ends
//   PLZ            four digits get their leading zero (a spreadsheet took it);
//                  a "D-" before five digits goes
//   Ort            a qualifier goes: "(Saale)", "/Saale", "am Main", "a. M.",
//                  "i. Br.", "an der ..." (the words after the first from one
//                  of AM AN AUF BEI IM IN OB UNTER VOR or a short abbreviation
//                  such as A. I. V. U.); "St." is SANKT; hyphens are blanks
//   Straße         "Str." and "Str" ending a word are STRASSE ("Hauptstr.5" is
//                  HAUPTSTRASSE 5); Dr. Prof. St. Bgm. opening a word are
//                  DOKTOR PROFESSOR SANKT BUERGERMEISTER; a letter after a
//                  house number joins it ("5 a" is 5A); hyphens between
//                  letters are blanks
//   Suchbegriff, Bez1-Bez4
//                  "&", "+" and "u." are UND; titles go wherever they stand
//                  (Dr., Prof., Dipl.-Ing., Dipl.-Kfm., Dr.-Ing., med., dent.,
//                  rer. nat., Doktor, Professor ...); legal forms at the end go
//                  (GmbH, mbH, GmbH & Co. KG, AG, KG, OHG, GbR, e.K., e.V., eG,
//                  UG (haftungsbeschränkt), SE, KGaA, Ltd. and the long forms
//                  such as "Gesellschaft mit beschränkter Haftung"), however
//                  dotted or spaced; hyphens are blanks
// Fields after the ninth only get the rules for every field.
#ifndef KORVIX_DEDUPE_NORMALIZE_H_
#define KORVIX_DEDUPE_NORMALIZE_H_

#include <string>
#include <string_view>

namespace korvix::dedupe {

// Sets `*out` to the normalised form of record string `record`; reuses its
// storage. The same as korvix::NormalizeRecord.
void NormalizeRecordInto(std::string_view record, std::string* out);

// The normalised form of one item (1 = PLZ ... 9 = Kundengruppe, others
// like Kundengruppe), appended to `*out`.
void AppendNormalizedField(int item, std::string_view value, std::string* out);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_NORMALIZE_H_
