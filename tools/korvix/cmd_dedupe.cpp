// korvix dedupe: finds the duplicate groups of an address file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "algorithm_choice.h"
#include "korvix/text.h"
#include "commands.h"
#include "database.h"
#include "dedupe_args.h"
#include "dialog_window.h"
#include "korvix/dedupe.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    {"algorithm", "CODE", "an algorithm (code or readable form) that builds keys; again for more"},
    {"name", "NAME", "the algorithm of this name in the user's list (any case); again for more"},
    kUserOption,
    kAdminOption,
    kDbOption,
    kNoDecisionsOption,
    {"choose", "", "pick the algorithm in the selection dialog, in a window, first"},
    {"normalize", "", "normalise every record before keying and comparing"},
    {"verify", "[THRESHOLD]", "keep only candidate pairs scoring THRESHOLD or more (default 0.7)"},
    {"base", "MASTER", "match each record of FILE against the records of MASTER only"},
    {"input-format", "FORMAT", "records or csv (default: csv for a FILE ending in .csv)"},
    {"delimiter", "CHAR", "CSV delimiter: ';', ',' or 'tab' (default: detected from the header)"},
    {"map", "FIELD=COLUMN,...", "which CSV column feeds which field, such as PLZ=zip,Ort=city"},
    {"strict", "", "end with status 1 at the first record that cannot be used"},
    {"format", "FORMAT", "text (default), csv, json or html"},
    {"sorted", "", "every record in key order, instead of only the groups"},
    {"output", "FILE", "write the report to FILE, complete or not at all (default: stdout)"},
    {"output-encoding", "ENC", "utf-8, utf-8-bom or windows-1252 (default: utf-8-bom for csv)"},
    {"id", "COLUMN", "print this column (such as a customer number) beside each line number"},
    {"previous", "REPORT", "keep the group numbers of this earlier CSV report where its groups continue"},
    {"clean", "FILE", "write FILE: the input without the records merged into a survivor"},
    {"mapping", "FILE", "write FILE: each merged record, its survivor and its group"},
    {"survivor", "RULE", "which record of a group survives: most-complete (default), first, max:COLUMN "
                         "or master:COLUMN"},
    {"fill", "", "fill a survivor's empty fields from the records merged into it"},
    {"verbose", "", "tell on stderr how the CSV columns are mapped, the memory limit and the peak"},
    {"quiet", "", "no progress line and no notes on stderr, only errors"},
    {"sample-pairs", "N", "write N candidate pairs spread over the scores, for labelling, instead of the report"},
    {"memory", "LIMIT", "the memory the run may take, at least 16M, such as 512M or 2G (default: half the "
                        "physical memory); beyond it candidate pairs are compared in batches, keys sorted "
                        "in pieces and what else does not fit kept in a temporary file, which is slower"},
    {"temp-dir", "DIR", "the folder for temporary files (default: $TMPDIR, else /tmp)"},
    kThreadsOption,
};

void Warn(const std::string& message) {
  std::fprintf(stderr, "korvix dedupe: %s\n", MessageText(message).c_str());
}

// A progress line redrawn in place helps a person at a terminal that can
// draw it, and is noise anywhere else.
bool ShowProgress(const Args& args) {
  const char* term = std::getenv("TERM");
  return !args.Has("quiet") && ::isatty(STDERR_FILENO) == 1 && term != nullptr &&
         *term != '\0' && std::string_view(term) != "dumb";
}

// --choose: the algorithm that the user picks in the selection dialog, in a
// real window, among those of the database (--db) that the user (--user,
// --admin) may see; --algorithm, if given, is selected when it opens.
DedupeAlgorithm ChooseInDialog(const Args& args) {
  if (args.Has("name")) throw UsageError("give --choose or --name NAME, not both");
  ChosenAlgorithm chosen = ChooseInWindow(args, /*allow_select=*/true);
  if (chosen.code.empty()) throw IoError("no algorithm was chosen: the dialog was closed");
  return {std::move(chosen.code), std::move(chosen.name)};
}

}  // namespace

std::span<const OptionDef> DedupeOptionDefs() { return kOptions; }

void ReadInputAndReportOptions(const Args& args, DedupeOptions* options) {
  options->input_format = args.Value("input-format").value_or("");
  options->delimiter = args.Value("delimiter").value_or("");
  options->map = args.Value("map").value_or("");
  if (args.Has("map") && options->map.empty()) throw UsageError("--map: no FIELD=COLUMN given");
  options->strict = args.Has("strict");
  options->format = args.Value("format").value_or("text");
  options->output = args.Value("output").value_or("");
  options->output_encoding = args.Value("output-encoding").value_or("");
}

DedupeOptions DedupeOptionsOf(const Args& args) {
  std::vector<DedupeAlgorithm> algorithms;
  if (args.Has("choose")) {
    algorithms.push_back(ChooseInDialog(args));
  } else {
    for (const ChosenAlgorithm& a : ChooseAlgorithms(args)) algorithms.push_back({a.code, a.name});
  }
  DedupeOptions options = algorithms.empty() ? RecommendedDedupe() : DedupeOptions();
  if (!algorithms.empty()) options.algorithms = std::move(algorithms);
  options.normalize = options.normalize || args.Has("normalize");
  if (const auto verify = args.Value("verify")) {
    const std::string& v = *verify;
    char* end = nullptr;
    const double threshold = v.empty() ? RecommendedDedupe().verify : std::strtod(v.c_str(), &end);
    if (!v.empty() && (end != v.c_str() + v.size() || !(threshold > 0 && threshold <= 1))) {
      throw UsageError("--verify takes a threshold above 0 and at most 1, not '" + v + "'");
    }
    options.verify = threshold;
  }
  options.base = args.Value("base").value_or("");
  ReadInputAndReportOptions(args, &options);
  options.sorted = args.Has("sorted");
  options.id = args.Value("id").value_or("");
  options.previous = args.Value("previous").value_or("");
  options.clean = args.Value("clean").value_or("");
  options.mapping = args.Value("mapping").value_or("");
  options.survivor = args.Value("survivor").value_or("");
  options.fill = args.Has("fill");
  if ((args.Has("survivor") || options.fill) && options.clean.empty() && options.mapping.empty()) {
    throw UsageError("--survivor and --fill shape what --clean and --mapping write: give one of them");
  }
  if (args.Has("quiet") && args.Has("verbose")) throw UsageError("give --quiet or --verbose");
  options.verbose = args.Has("verbose");
  options.threads = Threads(args);
  if (const auto limit = args.Value("memory")) {
    try {
      options.memory = ReadMemorySize(*limit);
    } catch (const Error&) {
      throw UsageError("--memory takes a size such as 512M or 2G, or bytes, not '" + *limit + "'");
    }
  }
  options.temp_dir = args.Value("temp-dir").value_or("");
  options.progress = ShowProgress(args);
  if (!args.Has("quiet")) options.message = Warn;
  if (const auto n = args.Value("sample-pairs")) {
    char* end = nullptr;
    const unsigned long long count = std::strtoull(n->c_str(), &end, 10);
    if (n->empty() || end != n->c_str() + n->size() || count == 0 || count > 1000000) {
      throw UsageError("--sample-pairs takes a number of pairs from 1 to 1000000, not '" + *n + "'");
    }
    if (options.verify <= 0) throw UsageError("--sample-pairs needs --verify: pairs are sampled by their scores");
    options.sample_pairs = count;
  }
  return options;
}

namespace {

int Run(const Args& args) {
  if (args.operands().size() != 1) throw UsageError("exactly one FILE is required ('-' for stdin)");
  DedupeOptions options = DedupeOptionsOf(args);
  options.decisions = KeptDecisions(args);
  const DedupeResult result = RunDedupe(args.operands()[0], options);
  // A CSV report is data for loading elsewhere; its figures go to stderr.
  if ((options.format == "csv" || options.sample_pairs > 0) && !args.Has("quiet")) Warn(result.summary);
  return kExitOk;
}

}  // namespace

extern const Command kDedupeCommand = {
    "dedupe", "find the groups of duplicate records in an address file",
    "[--algorithm CODE... | --name NAME... | --choose] [--normalize] [--verify [THRESHOLD]] "
    "[--base MASTER] [OPTIONS] FILE",
    "Keys every record of FILE ('-': standard input) under each algorithm, on all cores, and\n"
    "reports the records that share a key under any of them, joined into groups (a record\n"
    "that shares a key with two others links all three). Algorithms are given by code, by\n"
    "name as the user (--user, --admin) sees them in the database (--db), or chosen with\n"
    "--choose in the selection dialog, which opens in a window before the run.\n"
    "\n"
    "Without an algorithm the built-in recommendation runs: three keys (the address; the\n"
    "town, street and house number with the sound of Bez1; the PLZ with the sound of\n"
    "Bez1+2) with --normalize and --verify 0.7.\n"
    "\n"
    "FILE holds CSV whose header row names the columns, or record strings, one per line, the\n"
    "nine fields (PLZ to Kundengruppe) joined by '|'. The text report lists the groups of\n"
    "two or more, largest first, then a summary line; csv gives every record with its\n"
    "group, json the groups, html a page to review them. korvix explain shows how two\n"
    "records compare.\n"
    "\n"
    "With --clean and --mapping one record of each group survives (--survivor, --fill): the\n"
    "clean file is FILE without the others, byte for byte, and the mapping names each record\n"
    "left out with its survivor. The report is written as without them.\n"
    "\n"
    "With --previous REPORT (an earlier run's --format csv report) a group that continues\n"
    "keeps its number: the one of which it holds the most records, by --id where given,\n"
    "else by record number; a new group gets a number the earlier report did not use.\n"
    "\n"
    "The decisions kept in the database (korvix decisions) are honoured over the scores:\n"
    "pairs decided the same are one group, pairs decided different never are, and a\n"
    "decided survivor stays. Records are named by --id, else by their content.\n"
    "\n"
    "What --normalize changes, how --verify decides, the reports' columns, how well the\n"
    "job finds duplicates and how survivors are chosen: docs/dedupe.md in the Korvix sources.",
    kOptions, Run};

}  // namespace korvix::cli
