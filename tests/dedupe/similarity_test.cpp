// Scoring candidate pairs: what a record is, first names by the list of
// names, house numbers and misread letters, and the parts of each score.
#include <gtest/gtest.h>

#include <string>

#include "dedupe/compare/profile.h"
#include "dedupe/compare/similarity.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {
namespace {

TEST(Score, DuplicatesPassAndLookAlikesFail) {
  const std::string base = "28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Brigitte|||A";
  const struct {
    const char* other;
    bool same;  // at 0.8
  } cases[] = {
      {"28742|Bremen|Robert-Bosch-Str. 67|KRAWCZYK|Krawcyzk|Brigitte|||B", true},  // typo
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Brigitte|Krawczyk|||A", true},  // swapped
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Dr. Brigitte|||A", true},
      {"28542|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Brigitte|||A", true},  // PLZ typo
      {"28742||Robert-Bosch-Straße 67b|KRAWCZYK|Krawczyk|B.|||A", true},
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk||||A", true},  // first name left out
      {"28742|Bremen|Robert-Bosch-Straße 67-69|KRAWCZYK|Krawczyk|Brigitte|||A", true},  // a range
      {"2B742|Bremen|Robert-Bosch-Straße 6T|KRAWCZYK|Krawczyk|Brigitte|||A", false},  // 7 is no T
      {"28742|8remen|R0bert-Bosch-5traße 67|KRAWCZYK|Krawczyk|Brigitte|||A", true},  // scanned
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Hans|||A", false},  // family
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Brigitte jun.|||A", false},
      {"28717|Bremen|Lindenweg 3|KRAWCZYK|Krawczyk|Brigitte|||A", false},  // namesake
      {"28742|Bremen|Robert-Bosch-Straße 67|BAU|Bau Krawczyk GmbH||||A", false},  // owner's firm
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk GmbH||||A", false},  // the same, plainer
      {"28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Brigitte Krawczyk e.K.||||A", true},  // sole trader
      {"28742|Bremen|Robert-Bosch-Straße 69|KRAWCZYK|Krawczyk|Brigitte|||A", false},
  };
  for (const auto& c : cases) {
    const double score = ScoreRecords(base, c.other);
    EXPECT_EQ(score >= 0.8, c.same) << c.other << ": " << score;
    EXPECT_DOUBLE_EQ(ScoreRecords(c.other, base), score) << "symmetric";
  }
  EXPECT_DOUBLE_EQ(ScoreRecords(base, base), 1.0);
  // Items left off the end are empty items: the firm and the person apart either way.
  for (const char* firm : {"51049|Köln|Ring 9|N|Neumann GmbH", "51049|Köln|Ring 9|N|Neumann GmbH|",
                           "51049|Köln|Ring 9|N|Neumann GmbH||||||x|y"}) {
    EXPECT_EQ(CompareRecords(firm, "51049|Köln|Ring 9|N|Neumann|Eva").rule, "organisation and person") << firm;
    EXPECT_EQ(CompareRecords(firm, "51049|Köln|Ring 9|N|Neumann GmbH||Lager").kind_a, "organisation") << firm;
  }
}

// Each rule of the scorer through the part it sets, and the rule that decided.
TEST(Score, PartsAndRules) {
  const struct {
    const char* a;
    const char* b;
    const char* part;  // the part that tells
    double want;       // its value
    const char* rule;
  } cases[] = {
      // Kinds: a firm and a person at one address are two customers ...
      {"1|X|Weg 1|D|Dietz GmbH & Co. KG|", "1|X|Weg 1|D|Dietz|Elli", "kind", 0, "organisation and person"},
      {"1|X|Weg 1|D|Autohaus Dietz|", "1|X|Weg 1|D|Dietz|Elli", "kind", 0, "organisation and person"},
      {"1|X|Weg 1|M|Mordhorst GmbH|", "1|X|Weg 1|S|Seibold|Dr. M.", "kind", 0, "organisation and person"},
      // ... unless the firm's name carries the person's, but not an owner named in Bez2.
      {"1|X|Weg 1|D|Elli Dietz e.K.|", "1|X|Weg 1|D|Dietz|Elli", "kind", 1, "parts"},
      {"1|X|Weg 1|D|Dietz e.K.|Inh. Elli Dietz", "1|X|Weg 1|D|Dietz|Elli", "kind", 0, "organisation and person"},
      // A record that does not tell its kind is compared as it is.
      {"1|X|Weg 1|D|Dietz GmbH|", "1|X|Weg 1|D|Dietz|", "kind", 1, "parts"},
      // First names: known names apart however alike, variants and compounds alike.
      {"1|X|Weg 1|H|Hönig|Frederike", "1|X|Weg 1|H|Hönig|Marieke", "first_name", 0, "first names differ"},
      {"1|X|Weg 1|H|Hönig|Jan", "1|X|Weg 1|H|Hönig|Jana", "first_name", 0, "first names differ"},
      {"1|X|Weg 1|H|Hönig|Katrin", "1|X|Weg 1|H|Hönig|Kathrin", "first_name", 0.95, "parts"},
      {"1|X|Weg 1|H|Hönig|Jürgen", "1|X|Weg 1|H|Hönig|Juergen", "first_name", 1, "parts"},
      {"1|X|Weg 1|H|Hönig|Hans-Peter", "1|X|Weg 1|H|Hönig|Hanspeter", "first_name", 1, "parts"},
      {"1|X|Weg 1|H|Hönig|Anne-Marie", "1|X|Weg 1|H|Hönig|Annemarie", "first_name", 1, "parts"},
      {"1|X|Weg 1|H|Hönig|E.", "1|X|Weg 1|H|Hönig|Elli", "first_name", 0.9, "parts"},
      {"1|X|Weg 1|H|Hönig|Peter", "1|X|Weg 1|H|Hönig|Hans-Peter", "first_name", 0.7, "parts"},
      {"1|X|Weg 1|H|Hönig|Hans sen.", "1|X|Weg 1|H|Hönig|Hans jun.", "first_name", 0, "generations differ"},
      {"1|X|Weg 1|H|Hönig|Hans", "1|X|Weg 1|H|Hönig|Hans jun.", "first_name", 0.5, "parts"},
      // A surname that is a first name too stays a surname beside one in Bez2.
      {"1|X|Weg 1|F|Friedrich|Dieter", "1|X|Weg 1|F|Friedrich|", "first_name", 0.9, "parts"},
      // Names: merely alike words count little, misread ones nearly full.
      {"1|X|Weg 1|S|Schelk GmbH|", "1|X|Weg 1|S|Schwatlo GmbH|", "name", 0.65, "parts"},
      {"1|X|Weg 1|M|Müller|Hans", "1|X|Weg 1|M|Mülier|Hans", "name", 0.95, "parts"},
      {"1|X|Weg 1|C|Çelik|Hans", "1|X|Weg 1|C|Celik|Hans", "name", 1, "parts"},
      // House numbers: ranges, letters, misreadings.
      {"1|X|Weg 89||A|", "1|X|Weg 89-91||A|", "house_number", 0.95, "parts"},
      {"1|X|Weg 91||A|", "1|X|Weg 89 - 91||A|", "house_number", 0.95, "parts"},
      {"1|X|Weg 90||A|", "1|X|Weg 89/91||A|", "house_number", 0.3, "parts"},  // the other side
      {"1|X|Weg 5a||A|", "1|X|Weg 5 b||A|", "house_number", 0.9, "parts"},
      {"1|X|Weg 85||A|", "1|X|Weg 8S||A|", "house_number", 0.95, "parts"},
      {"1|X|Weg 10||A|", "1|X|Weg 1O||A|", "house_number", 1, "parts"},
      {"1|X|Weg 10||A|", "1|X|Weg||A|", "house_number", 0.85, "parts"},
      // PLZ and town.
      {"10115|X|Weg 1||A|", "10151|X|Weg 1||A|", "plz", 0.85, "parts"},
      {"10115|X|Weg 1||A|", "1O115|X|Weg 1||A|", "plz", 1, "parts"},
      {"1|Sankt Augustin|Weg 1||A|", "1|St.Augustin|Weg 1||A|", "town", 1, "parts"},
      {"1|Lübeck|Weg 1||A|", "1|Lbeck|Weg 1||A|", "town", 0.95, "parts"},
      {"1|Lübeck|Weg 1||A|", "1|Kiel|Weg 1||A|", "town", 0.7, "parts"},
  };
  for (const auto& c : cases) {
    const RecordComparison r = CompareRecords(c.a, c.b);
    const std::string part = c.part;
    const double got = part == "kind"         ? r.kind
                       : part == "first_name" ? r.first_name
                       : part == "name"       ? r.name
                       : part == "house_number" ? r.house_number
                       : part == "plz"        ? r.plz
                                              : r.town;
    EXPECT_NEAR(got, c.want, 0.02) << c.a << " / " << c.b << ": " << part;
    EXPECT_EQ(r.rule, c.rule) << c.a << " / " << c.b;
    // The score is the product of the parts, 0 where a rule decided.
    const double product = r.kind * r.name * r.first_name * r.street * r.house_number * r.plz * r.town;
    EXPECT_NEAR(r.score, r.rule == "parts" ? product : 0.0, 1e-5) << c.a << " / " << c.b;
    EXPECT_NEAR(CompareRecords(c.b, c.a).score, r.score, 1e-9) << "symmetric";
  }
}

// The fast path that skips what cannot lift a pair to the floor gives the
// same score as the full comparison wherever it keeps a pair.
TEST(Score, AFloorChangesNoScoreAtOrAboveIt) {
  const char* records[] = {
      "10115|Berlin|Hauptstr. 5|M|Müller|Hans",      "10115|Berlin|Hauptstraße 5|M|Mueller|Hans Peter",
      "10115|Berlin|Hauptstr. 5a|M|Müller|H.",       "10117|Berlin|Hauptstr. 5|M|Müller GmbH|",
      "10115|Berlin|Hauptstr. 5-7|M|Hans Müller|",   "10115|Berln|Hauptstr. 5|M|Müler|Hans jun.",
      "10115|Berlin|Nebenweg 5|M|Müller|Hanna",      "10115||Hauptstr.|M|Anne-Marie Müller|",
      "10115|Berlin|Hauptstr. 5|M|Annemarie Müller|", "10115|Berlin|Hauptstr. 5|M|Bäckerei Müller|Inh. Hans Müller",
  };
  Normalizer normalizer;
  ProfileMaker maker;
  std::vector<Profile> profiles;
  std::vector<std::string> texts(std::size(records));
  for (std::size_t i = 0; i < std::size(records); ++i) {
    std::string normal;
    normalizer.Record(records[i], &normal);
    ProfileTextOf(normal, normalizer.marks(), &texts[i]);
    profiles.push_back(maker.Make(texts[i]));
  }
  for (const Profile& a : profiles) {
    for (const Profile& b : profiles) {
      Parts parts;
      const double full = Score(a, b, 0, &parts);
      for (const double floor : {0.5, 0.7, 0.8, 0.9}) {
        const double fast = Score(a, b, floor);
        if (full >= floor) {
          EXPECT_NEAR(fast, full, 1e-6) << floor;
        } else {
          EXPECT_LT(fast, floor) << full;
        }
      }
    }
  }
}

TEST(Score, JaroWinkler) {
  const struct {
    const char* a;
    const char* b;
    double want;
  } cases[] = {{"MARTHA", "MARHTA", 0.961}, {"DWAYNE", "DUANE", 0.84}, {"DIXON", "DICKSONX", 0.813},
               {"AB", "BA", 0},  // beyond the match window
               {"", "", 1}, {"A", "", 0}, {"ABC", "XYZ", 0}, {"ABC", "ABC", 1}};
  for (const auto& c : cases) EXPECT_NEAR(JaroWinkler(c.a, c.b), c.want, 0.001) << c.a << " " << c.b;
}

TEST(Profile, HouseNumbers) {
  const struct {
    const char* text;
    HouseNumber want;
  } cases[] = {
      {"12", {12, 12, 0, true}},      {"12A", {12, 12, 'A', true}}, {"89-91", {89, 91, 0, true}},
      {"89 91", {89, 91, 0, true}},   {"1O", {10, 10, 0, true}},    {"L2", {12, 12, 0, true}},
      {"5B", {5, 5, 'B', true}},      {"91-89", {91, 91, 0, true}}, {"", {0, 0, 0, false}},
      {"A", {0, 0, 0, false}},
  };
  for (const auto& c : cases) {
    const HouseNumber h = ParseHouseNumber(c.text);
    EXPECT_EQ(h.from, c.want.from) << c.text;
    EXPECT_EQ(h.to, c.want.to) << c.text;
    EXPECT_EQ(h.letter, c.want.letter) << c.text;
    EXPECT_EQ(h.known, c.want.known) << c.text;
  }
}

}  // namespace
}  // namespace korvix::dedupe
