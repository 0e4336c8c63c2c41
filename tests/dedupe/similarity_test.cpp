// Scoring candidate pairs: what a record is, first names by the list of
// names, house numbers and misread letters, and the parts of each score.
#include <gtest/gtest.h>

#include <string>

#include "case_file.h"
#include "dedupe/compare/profile.h"
#include "dedupe/compare/similarity.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {
namespace {

using korvix::testing::Case;
using korvix::testing::ReadCases;

TEST(Score, DuplicatesPassAndLookAlikesFail) {
  const std::string base = "28742|Bremen|Robert-Bosch-Straße 67|KRAWCZYK|Krawczyk|Brigitte|||A";
  for (const Case& c : ReadCases("dedupe/cases/duplicates.tsv", 2)) {
    const double score = ScoreRecords(base, c[0]);
    EXPECT_EQ(score >= 0.8 ? "true" : "false", c[1]) << c.where << ": " << score;
    EXPECT_DOUBLE_EQ(ScoreRecords(c[0], base), score) << "symmetric";
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
  for (const Case& c : ReadCases("dedupe/cases/score_parts.tsv", 5)) {
    const RecordComparison r = CompareRecords(c[0], c[1]);
    const std::string& part = c[2];
    const double got = part == "kind"         ? r.kind
                       : part == "first_name" ? r.first_name
                       : part == "name"       ? r.name
                       : part == "house_number" ? r.house_number
                       : part == "plz"        ? r.plz
                                              : r.town;
    EXPECT_NEAR(got, std::stod(c[3]), 0.02) << c.where;
    EXPECT_EQ(r.rule, c[4]) << c.where;
    // The score is the product of the parts, 0 where a rule decided.
    const double product = r.kind * r.name * r.first_name * r.street * r.house_number * r.plz * r.town;
    EXPECT_NEAR(r.score, r.rule == "parts" ? product : 0.0, 1e-5) << c.where;
    EXPECT_NEAR(CompareRecords(c[1], c[0]).score, r.score, 1e-9) << c.where << " symmetric";
  }
}

// The fast path that skips what cannot lift a pair to the floor gives the
// same score as the full comparison wherever it keeps a pair.
TEST(Score, AFloorChangesNoScoreAtOrAboveIt) {
  // The pairs of the scorer's rules, and the duplicates and look-alikes.
  std::vector<std::string> records;
  for (const Case& c : ReadCases("dedupe/cases/score_parts.tsv", 5)) records.insert(records.end(), {c[0], c[1]});
  for (const Case& c : ReadCases("dedupe/cases/duplicates.tsv", 2)) records.push_back(c[0]);
  Normalizer normalizer;
  ProfileMaker maker;
  std::vector<Profile> profiles;
  std::vector<std::string> texts(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
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
  for (const Case& c : ReadCases("dedupe/cases/jaro_winkler.tsv", 3)) {
    EXPECT_NEAR(JaroWinkler(c[0], c[1]), std::stod(c[2]), 0.001) << c.where;
    EXPECT_NEAR(JaroWinkler(c[1], c[0]), std::stod(c[2]), 0.001) << c.where << " the other way";
  }
}

TEST(Profile, HouseNumbers) {
  for (const Case& c : ReadCases("dedupe/cases/house_numbers.tsv", 5)) {
    const HouseNumber h = ParseHouseNumber(c[0]);
    const std::string letter = h.letter == 0 ? "-" : std::string(1, h.letter);
    EXPECT_EQ(std::to_string(h.from) + " " + std::to_string(h.to) + " " + letter + (h.known ? " true" : " false"),
              c[1] + " " + c[2] + " " + c[3] + " " + c[4])
        << c.where;
  }
}

}  // namespace
}  // namespace korvix::dedupe
