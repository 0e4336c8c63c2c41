// korvix evaluate: how well the groups of a run agree with pairs that a
// person labelled, at the run's threshold and at others.
#include <cstdio>
#include <string>

#include "commands.h"
#include "database.h"
#include "dedupe_args.h"
#include "korvix/dedupe.h"
#include "output.h"

namespace korvix::cli {
namespace {

std::string Fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string Row(const DedupeQuality& q) {
  char text[160];
  std::snprintf(text, sizeof text, "%9s  %9s  %6s  %5s  %7zu  %14zu  %6zu", Fixed(q.threshold).c_str(),
                Fixed(q.precision).c_str(), Fixed(q.recall).c_str(), Fixed(q.f1).c_str(), q.found,
                q.wrongly_joined, q.missed);
  return text;
}

std::string Json(const DedupeQuality& q) {
  return "{\"threshold\": " + Fixed(q.threshold) + ", \"precision\": " + Fixed(q.precision) +
         ", \"recall\": " + Fixed(q.recall) + ", \"f1\": " + Fixed(q.f1) + ", \"found\": " +
         std::to_string(q.found) + ", \"wrongly_joined\": " + std::to_string(q.wrongly_joined) +
         ", \"missed\": " + std::to_string(q.missed) + "}";
}

int Run(const Args& args) {
  if (args.operands().size() != 2) throw UsageError("give the labelled pairs and the FILE they are of");
  DedupeOptions options = DedupeOptionsOf(args);
  options.progress = false;
  options.decisions = KeptDecisions(args);
  const std::vector<LabelledPair> labels = ReadLabelledPairs(args.operands()[0]);
  const DedupeEvaluation e = EvaluateDedupe(args.operands()[1], options, labels);
  Output out;
  if (args.Has("json")) {
    std::string json = "{\"labelled\": " + std::to_string(e.labelled) + ", \"unknown\": " +
                       std::to_string(e.unknown) + ", \"run\": " + Json(e.quality) + ", \"thresholds\": [";
    for (std::size_t i = 0; i < e.thresholds.size(); ++i) json += (i == 0 ? "" : ", ") + Json(e.thresholds[i]);
    out.Line(json + "]}");
    out.Finish();
    return kExitOk;
  }
  out.Line("labelled pairs " + std::to_string(e.labelled) +
           (e.unknown > 0 ? ", of records the file has not " + std::to_string(e.unknown) : ""));
  out.Line("precision " + Fixed(e.quality.precision) + ", recall " + Fixed(e.quality.recall) + ", F1 " +
           Fixed(e.quality.f1));
  if (!e.thresholds.empty()) {
    out.Line("");
    out.Line("threshold  precision  recall     F1    found  wrongly joined  missed");
    for (const DedupeQuality& q : e.thresholds) out.Line(Row(q));
  }
  out.Finish();
  return kExitOk;
}

std::vector<OptionDef> Options() {
  std::vector<OptionDef> options(DedupeOptionDefs().begin(), DedupeOptionDefs().end());
  options.push_back({"json", "", "print the figures as one JSON object"});
  return options;
}

const std::vector<OptionDef> kOptions = Options();

}  // namespace

extern const Command kEvaluateCommand = {
    "evaluate", "measure the groups of a run against pairs a person labelled",
    "[DEDUPE OPTIONS] [--json] LABELS FILE",
    "Runs dedupe on FILE with the options given (the recommendation without an algorithm)\n"
    "and counts, of the pairs in LABELS, those labelled the same that share a group (found),\n"
    "those labelled different that share one (wrongly joined) and those labelled the same\n"
    "that do not (missed): precision, recall and F1. Verifying, it runs again at each\n"
    "threshold from 0.50 to 0.95 and prints a table, to choose --verify by.\n"
    "\n"
    "LABELS is CSV with a header (';', ',' or tab): record_a and record_b (or a and b), the\n"
    "records' numbers from 1 as the reports number them, and same: yes or no (ja, nein, 1,\n"
    "0, true, false); a row with an empty label is left out. dedupe --sample-pairs N writes\n"
    "such a file with the column same empty, pairs spread over the scores, ready to label.",
    kOptions, Run};

}  // namespace korvix::cli
