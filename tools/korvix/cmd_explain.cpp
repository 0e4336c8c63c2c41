// korvix explain: two records compared as verification compares them, part
// by part, with the decision.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "korvix/dedupe.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    {"json", "", "print the comparison as one JSON object"},
    {"verify", "THRESHOLD", "decide at this threshold (default 0.7, as dedupe verifies)"},
};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

int Run(const Args& args) {
  if (args.operands().size() != 2) throw UsageError("give two record strings, such as \"PLZ|Ort|Straße|...\"");
  double threshold = RecommendedDedupe().verify;
  if (const auto v = args.Value("verify")) {
    char* end = nullptr;
    threshold = std::strtod(v->c_str(), &end);
    if (v->empty() || end != v->c_str() + v->size() || !(threshold > 0 && threshold <= 1)) {
      throw UsageError("--verify takes a threshold above 0 and at most 1, not '" + *v + "'");
    }
  }
  const RecordComparison c = CompareRecords(args.operands()[0], args.operands()[1]);
  Output out;
  if (args.Has("json")) {
    out.Line(ComparisonJson(c));
    out.Finish();
    return kExitOk;
  }
  const auto kind = [](const std::string& k) { return k.empty() ? std::string("kind not told") : k; };
  out.Line("a  " + c.normalized_a + "  (" + kind(c.kind_a) + ")");
  out.Line("b  " + c.normalized_b + "  (" + kind(c.kind_b) + ")");
  const std::pair<const char*, double> parts[] = {
      {"kind", c.kind}, {"name", c.name}, {"first name", c.first_name}, {"street", c.street},
      {"house number", c.house_number}, {"plz", c.plz}, {"town", c.town}};
  for (const auto& [name, value] : parts) {
    std::string line = "  ";
    line += name;
    line.resize(16, ' ');
    out.Line(line + Number(value));
  }
  std::string score = "score           " + Number(c.score);
  if (c.rule != "parts") score += "  (" + c.rule + ")";
  out.Line(score);
  out.Line(c.score >= threshold ? "one customer: the score reaches " + Number(threshold)
                                : "two customers: the score stays below " + Number(threshold));
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kExplainCommand = {
    "explain", "compare two records step by step, as verification does", "[--json] RECORD_A RECORD_B",
    "Normalises two record strings (PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|...) and compares\n"
    "them as dedupe --verify compares a candidate pair: what kind of customer each is\n"
    "(person, organisation, or not told), then each part of the score (kind, name, first\n"
    "name, street, house number, PLZ, town), the score, which is their product, the rule\n"
    "that decided when one did (\"organisation and person\", \"first names differ\",\n"
    "\"generations differ\"), and the decision at the threshold. Two records alone take\n"
    "every name as rare: in a dedupe run a first name that only one record has costs more\n"
    "when the surname is common in the file.",
    kOptions, Run};

}  // namespace korvix::cli
