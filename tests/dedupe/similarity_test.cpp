// Scoring candidate pairs: what a record is, first names by the list of
// names, house numbers and misread letters, and the parts of each score.
#include <gtest/gtest.h>

#include <algorithm>
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

// A profile's texts are kept in 16 bytes each, their sizes beside their
// addresses; texts too long for that keep their size before their bytes.
TEST(Profile, TextsOfEverySizeKeepTheirBytes) {
  ProfileMaker maker(std::size_t{1} << 10);  // small blocks: long texts must get blocks of their own
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{8}, std::size_t{9},
                                 ProfileText::kLong - 1, ProfileText::kLong, ProfileText::kLong + 70000}) {
    const std::string town(size, 'O'), street(size, 'S'), word(size, 'W');
    // Town words are joined: their spaces are not kept.
    const std::string town_text = size < 2 ? town : town.substr(0, size / 2) + " " + town.substr(size / 2);
    const std::string text = "12345|" + town_text + "|" + street + " 12|X|" + word + "|HANS|0";
    const Profile p = maker.Make(text), q = maker.Make(text);
    std::string other = text;
    other[other.find('|', 6) - 1] = 'P';  // the town's last byte
    const Profile r = maker.Make(size == 0 ? "12345|P|S 12|X|W|HANS|0" : other);
    EXPECT_EQ(std::string_view(p.plz()), "12345") << size;
    EXPECT_EQ(std::string_view(p.town()), town) << size;
    EXPECT_EQ(std::string_view(p.street), street) << size;
    EXPECT_EQ(std::string_view(p.number), "12") << size;
    EXPECT_EQ(p.town().size(), size);
    EXPECT_EQ(p.town().empty(), size == 0);
    ASSERT_EQ(p.name().size(), size == 0 ? 1u : 2u) << size;
    EXPECT_EQ(std::string_view(p.name()[0].text), size == 0 ? "HANS" : word) << size;
    EXPECT_TRUE(p.town() == q.town() && p.street == q.street && p.name()[0].text == q.name()[0].text) << size;
    EXPECT_FALSE(p.town() == r.town()) << size;
    EXPECT_EQ(Score(p, q), Score(p, p)) << size;  // copies at other addresses
  }
}

// Files from few names and places hold each name's words and each place
// once: profiles share them where they would be equal, and only there.
TEST(Profile, WhatRecursIsSharedWhereEqual) {
  ProfileMaker maker;
  const std::string firm = std::to_string(Normalizer::kLegalForm);
  const std::string long_word(ProfileText::kLong, 'W');
  struct Row {
    std::string a, b;
    bool shared;
  } rows[] = {
      {"12345|BONN|A 1||MUELLER|HANS|0", "99999|KOELN|B 2||MUELLER|HANS|0", true},
      {"12345|BONN|A 1||MUELLER|HANS|0", "12346|BONN|A 1||MUELLER|HANS|0", true},  // one town, two places
      {"12345|BONN|A 1||OTTO BAU||0", "12345|BONN|A 1||OTTO BAU||" + firm, false},  // a firm's Otto is no first name
      {"12345|BONN|A 1||MUELLER|HANS|0", "12345|BONN|A 1||MUELLER HANS||0", false},  // Hans in Bez1, not Bez2
      {"12345|BONN|A 1||" + long_word + "|HANS|0", "12345|BONN|A 2||" + long_word + "|HANS|0", false},
  };
  for (const Row& r : rows) {
    const Profile a = maker.Make(r.a), b = maker.Make(r.b);
    EXPECT_EQ(a.name().data() == b.name().data(), r.shared) << r.b.substr(0, 40);
    EXPECT_EQ(std::equal(a.name().begin(), a.name().end(), b.name().begin(), b.name().end()), r.shared || r.a.size() > 1000)
        << r.b.substr(0, 40);
    const bool same_place = std::string_view(a.plz()) == b.plz() && std::string_view(a.town()) == b.town();
    EXPECT_EQ(&a.plz() == &b.plz(), same_place) << r.b.substr(0, 40);
  }
  maker.Finish();
  const Profile again = maker.Make(rows[0].a);  // made anew after Finish, as before
  EXPECT_EQ(std::string_view(again.name()[1].text), "HANS");
}

}  // namespace
}  // namespace korvix::dedupe
