// Which record of a group survives under each rule, what filling and a
// person's chosen values take from the others, and the options refused.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "korvix/decisions.h"
#include "korvix/dedupe.h"

namespace korvix {
namespace {

// Every record of these tables shares the PLZ 10115 unless it says 20095.
DedupeResult Survive(const std::vector<std::string>& strings, const std::string& rule, bool fill) {
  const std::vector<std::string_view> records(strings.begin(), strings.end());
  DedupeOptions options;
  options.algorithms = {{"0105000000000000", ""}};
  options.survivor = rule;
  options.fill = fill;
  return DedupeRecords(records, options);
}

TEST(Survivors, EachRulePicksItsRecord) {
  const struct {
    std::vector<std::string> records;
    std::string rule;
    std::vector<std::uint32_t> survivors;
  } cases[] = {
      {{"10115|A", "10115|A|S 1|X", "10115||S 1|X"}, "most-complete", {1, 1, 1}},
      {{"10115|A|B", "10115|C|D"}, "most-complete", {0, 0}},            // a tie: the earliest
      {{"10115|  |  |  ", "10115|A"}, "most-complete", {1, 1}},         // blanks are empty
      {{"10115|A", "10115|A|S|X"}, "first", {0, 0}},
      {{"10115||||||||9", "10115||||||||10", "10115||||||||"}, "max:9", {1, 1, 1}},  // numbers, not text
      {{"10115||||||||10", "10115||||||||2,5"}, "max:9", {0, 0}},
      {{"10115||||||||2020-12-31", "10115||||||||01.01.2021"}, "max:9", {1, 1}},  // dates in both forms
      {{"10115||||||||31.12.2020", "10115||||||||2020-06-01"}, "max:9", {0, 0}},
      {{"10115||||||||unbekannt", "10115||||||||1.2.1990"}, "max:9", {1, 1}},  // a date beats text
      {{"10115||||||||5", "10115||||||||5", "10115"}, "max:9", {0, 0, 0}},   // a tie; empty loses
      {{"10115||||||||b", "10115||||||||a", "10115||||||||c"}, "max:9", {2, 2, 2}},
      {{"10115|A|S|X|||||", "10115||||||||ja"}, "master:9", {1, 1}},
      {{"10115||||||||0", "10115|A|S|X|||||nein", "10115||||||||FALSE"}, "master:9", {1, 1, 1}},  // none: most complete
      {{"10115|A", "20095|B", "10115||||||||x", "20095", "30000", "10115||||||||1"}, "master:9",
       {2, 1, 2, 1, 4, 2}},  // several: the earliest; groups apart; alone
  };
  for (const auto& c : cases) {
    const DedupeResult result = Survive(c.records, c.rule, false);
    std::vector<std::uint32_t> survivors;
    for (const DedupeRecord& r : result.records) survivors.push_back(r.survivor);
    EXPECT_EQ(survivors, c.survivors) << c.rule << " over " << c.records[0] << " ...";
  }
  // Without a rule every record is its own survivor.
  EXPECT_EQ(Survive({"10115|A", "10115|B|C"}, "", false).records[1].survivor, 1u);
}

TEST(Survivors, FillingTakesTheFirstValueInTheRulesOrder) {
  const struct {
    std::vector<std::string> records;
    std::string rule;
    std::vector<std::string> filled;
  } cases[] = {
      // Ranked 1, 2 (a tie, the earlier first), 0: Ort stays B, Bez1 from 2.
      {{"10115|A||", "10115|B|S 1|X", "10115||T 2|Y|Bez"}, "most-complete", {"", "10115|B|S 1|X|Bez", ""}},
      {{"10115|A||||||", "10115||S 1||||||2"}, "max:9", {"", "10115|A|S 1||||||2"}},
      {{"10115|A|S|X"}, "first", {""}},                              // alone: nothing to fill
      {{"10115|A|S|X", "10115|B|T|Y"}, "first", {"", ""}},            // nothing empty
  };
  for (const auto& c : cases) {
    const DedupeResult result = Survive(c.records, c.rule, true);
    std::vector<std::string> filled;
    for (const DedupeRecord& r : result.records) filled.push_back(r.filled);
    EXPECT_EQ(filled, c.filled) << c.rule << " over " << c.records[0] << " ...";
  }
}

TEST(Survivors, ChosenValuesGoToTheSurvivorTheLatestWinning) {
  const struct {
    std::vector<std::string> records;
    std::vector<std::pair<int, std::string>> values;  // record, column
    bool fill;
    std::vector<std::string> filled;
  } cases[] = {
      {{"10115|A|S 1", "10115|B|T 2"}, {{1, "2"}}, false, {"10115|B|S 1", ""}},
      {{"10115|A|S 1", "10115|B|T 2"}, {{1, "2"}, {0, "2"}}, false, {"", ""}},       // changed their mind
      {{"10115|A|S 1", "10115||T 2"}, {{1, "2"}}, false, {"10115||S 1", ""}},         // even an empty value
      {{"10115|A", "10115|A|S 1|Bez"}, {{1, "4"}}, false, {"10115|A||Bez", ""}},      // past the survivor's end
      {{"10115|A||", "10115|B|S|X"}, {{1, "2"}}, true, {"10115|B|S|X", ""}},          // and filled
      {{"10115|A", "20095|B"}, {{1, "2"}}, false, {"", ""}},                          // another group's
      {{"10115|A", "10115|B"}, {{1, "Ort"}}, false, {"", ""}},                        // no such item: passed over
  };
  for (const auto& c : cases) {
    const std::vector<std::string_view> records(c.records.begin(), c.records.end());
    DedupeOptions options;
    options.algorithms = {{"0105000000000000", ""}};
    options.survivor = "first";
    options.fill = c.fill;
    for (const auto& [r, column] : c.values) {
      options.decisions.push_back(MakeDecision("value", RecordIdentity(records[r], ""), column));
    }
    std::vector<std::string> filled;
    for (const DedupeRecord& r : DedupeRecords(records, options).records) filled.push_back(r.filled);
    EXPECT_EQ(filled, c.filled) << c.records[1] << " " << c.values[0].second;
  }
}

TEST(Survivors, WrongOptionsAreRefused) {
  const std::vector<std::string_view> records = {"10115|A", "10115|B"};
  const auto refused = [&](DedupeOptions options, std::span<const std::string_view> base = {}) {
    options.algorithms = {{"0105000000000000", ""}};
    try {
      DedupeRecords(records, options, base);
    } catch (const Error& e) {
      return e.code() == ErrorCode::kInvalidArgument;
    }
    return false;
  };
  for (const char* rule : {"best", "max", "max:", "master", "last:3", "max:Name", "max:0"}) {
    DedupeOptions options;
    options.survivor = rule;
    EXPECT_TRUE(refused(options)) << rule;
  }
  DedupeOptions with_base;
  with_base.survivor = "first";
  EXPECT_TRUE(refused(with_base, records)) << "with a base";
  DedupeOptions clean;
  clean.clean = "/tmp/x.txt";
  clean.mapping = "/tmp/./x.txt";
  EXPECT_TRUE(refused(clean)) << "one file twice";
}

}  // namespace
}  // namespace korvix
