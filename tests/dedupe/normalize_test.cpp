// Normalising before keying, rule by rule.
#include <gtest/gtest.h>

#include <string>

#include "dedupe/compare/normalize.h"
#include "korvix/dedupe.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {
namespace {

std::string Field(int item, std::string_view value) {
  std::string out;
  Normalizer().Field(item, value, &out);
  return out;
}

TEST(Normalize, EachRuleOnItsField) {
  const struct {
    int item;
    const char* value;
    const char* want;
  } cases[] = {
      // Every field: capitals, umlauts and ß written out, blanks folded.
      {2, "  Köln \t", "KOELN"},
      {2, "Koeln", "KOELN"},
      {9, "a  b", "A B"},
      {2, "Gro\xDF" "enhain", "GROSSENHAIN"},      // Windows-1252
      {2, "Mu\xCC\x88nchen", "MUENCHEN"},          // decomposed ü
      // PLZ: the lost leading zero, the country prefix.
      {1, "1067", "01067"},
      {1, " 01067 ", "01067"},
      {1, "D-10115", "10115"},
      {1, "106", "106"},
      {1, "1067a", "1067A"},
      // Ort: qualifiers go, Sankt is written out.
      {2, "Frankfurt am Main", "FRANKFURT"},
      {2, "Frankfurt a. M.", "FRANKFURT"},
      {2, "Halle (Saale)", "HALLE"},
      {2, "Halle/Saale", "HALLE"},
      {2, "Landau in der Pfalz", "LANDAU"},
      {2, "St. Ingbert", "SANKT INGBERT"},
      {2, "Aue-Bad Schlema", "AUE BAD SCHLEMA"},
      {2, "Bad Homburg v. d. Höhe", "BAD HOMBURG"},
      // Straße: the street word, abbreviations, house numbers.
      {3, "Hauptstr. 5", "HAUPTSTRASSE 5"},
      {3, "Hauptstr.5", "HAUPTSTRASSE 5"},
      {3, "Berliner Str 12 a", "BERLINER STRASSE 12A"},
      {3, "Am Strand 3", "AM STRAND 3"},
      {3, "Dr.-Külz-Str. 7", "DOKTOR KUELZ STRASSE 7"},
      {3, "St.-Anna-Platz 1", "SANKT ANNA PLATZ 1"},
      {3, "Marktweg 12-14", "MARKTWEG 12-14"},
      // Names: titles anywhere, legal forms at the end, "und".
      {5, "Dr. med. Hans Meier", "HANS MEIER"},
      {6, "Prof.Dr.Lena", "LENA"},
      {6, "Dipl.-Ing. (FH) Jörg", "JOERG"},
      {5, "Neumann, Dr. med. Alexander", "NEUMANN, ALEXANDER"},
      {5, "Müller GmbH", "MUELLER"},
      {5, "Müller Gesellschaft mbH", "MUELLER"},
      {5, "Müller Gesellschaft mit beschränkter Haftung", "MUELLER"},
      {5, "Hoff GmbH & Co. KG", "HOFF"},
      {5, "Hoff GmbH&Co.KG", "HOFF"},
      {5, "Peters u. Söhne G.m.b.H.", "PETERS UND SOEHNE"},
      {5, "Peters + Söhne", "PETERS UND SOEHNE"},
      {5, "Sturm UG (haftungsbeschränkt)", "STURM"},
      {5, "Metallbau Friedrich e. K.", "METALLBAU FRIEDRICH"},
      {5, "Sportverein Concordia e.V.", "SPORTVEREIN CONCORDIA"},
      {5, "AG Nord Bau", "AG NORD BAU"},  // a legal form only at the end
      {4, "KÄLTE- UND KLIMATECHNIK", "KAELTE UND KLIMATECHNIK"},
      {6, "Karl jun.", "KARL JUN."},     // a generation is no title
      {5, "U. Nowak", "U. NOWAK"},       // an initial, not "und"
      // Letters and digits a scanner confuses, where the field tells which.
      {1, "1O115", "10115"},
      {1, "1O1I5", "10115"},
      {1, "I0II5", "I0II5"},             // two digits of five: no PLZ to read
      {1, "ABCDE", "ABCDE"},             // no PLZ at all: left as it is
      {3, "Krumme 5tr 7", "KRUMME STRASSE 7"},
      {3, "Hauptstraße 1O", "HAUPTSTRASSE 1O"},  // a house number is the profile's to read
      {2, "8erlin", "BERLIN"},
      {5, "Mü1ler", "MUELLER"},
      {5, "A5 Logistik", "A5 LOGISTIK"},  // a digit after one letter stays
      // Towns and house-number ranges written several ways.
      {2, "St.Augustin", "SANKT AUGUSTIN"},
      {2, "St. Augustin", "SANKT AUGUSTIN"},
      {3, "Hauptstr. 89 - 91", "HAUPTSTRASSE 89-91"},
      {3, "Hauptstr. 89/91", "HAUPTSTRASSE 89-91"},
  };
  for (const auto& c : cases) EXPECT_EQ(Field(c.item, c.value), c.want) << c.item << " " << c.value;
  EXPECT_EQ(NormalizeRecord("1067|Köln||S|Dr. Müller GmbH|||x|A|extra ü"),
            "01067|KOELN||S|MUELLER|||X|A|EXTRA UE");
}

TEST(Normalize, SpellingsOfOneAddressGetOneKey) {
  const KeyBuilder builder("0105000000000000" "0204000000000000" "0306000000000000" "0504010000000000" "0603000000000000");
  const std::string want = builder.Key(NormalizeRecord("01067|Köln|Hauptstraße 5||Müller GmbH|Hans"));
  for (const char* record : {"1067|KOELN|Hauptstr. 5||Mueller Gesellschaft mbH|Hans",
                             "01067|köln |Hauptstrasse 5||Dr. Müller G.m.b.H.|Hans",
                             "01067|Köln|Hauptstr.5||MÜLLER GMBH|HANS"}) {
    EXPECT_EQ(builder.Key(NormalizeRecord(record)), want) << record;
  }
}

}  // namespace
}  // namespace korvix::dedupe
