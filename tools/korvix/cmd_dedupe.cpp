// korvix dedupe: finds the duplicate groups of an address file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "algorithm_choice.h"
#include "base/message_text.h"
#include "commands.h"
#include "database.h"
#include "dedupe_args.h"
#include "korvix/dedupe.h"

#ifdef KORVIX_TOOL_DIALOG
#include "korvix/doublet_functions.h"
#include "korvix/ui/qt_toolkit.h"
#include "korvix/ui/toolkit.h"
#endif

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    {"algorithm", "CODE", "an algorithm (code or readable form) that builds keys; again for more"},
    {"name", "NAME", "the algorithm of this name in the user's list (any case); again for more"},
    kUserOption,
    kAdminOption,
    kDbOption,
    {"choose", "", "pick the algorithm in the selection dialog, in a window, first"},
    {"normalize", "", "normalise every record before keying and comparing (see below)"},
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
    {"verbose", "", "tell on stderr how the CSV columns are mapped"},
    {"quiet", "", "no progress line and no notes on stderr, only errors"},
    {"sample-pairs", "N", "write N candidate pairs spread over the scores, for labelling, instead of the report"},
    kThreadsOption,
};

void Warn(const std::string& message) {
  std::fprintf(stderr, "korvix dedupe: %s\n", base::MessageText(message).c_str());
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
#ifdef KORVIX_TOOL_DIALOG
  const auto set = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    throw IoError("no display to show the dialog on (DISPLAY and WAYLAND_DISPLAY are unset)");
  }
  const std::string current =
      args.Has("algorithm") ? AlgorithmCode(*args.Value("algorithm")) : std::string();
  const auto connection = OpenToolDatabase(args);
  ui::QtToolkit toolkit;
  ui::SetDefaultToolkit(&toolkit);
  std::string name;
  const std::string code =
      DoubletFunctions().ShowDlg(connection.get(), current, args.Value("user").value_or(""),
                                 args.Has("admin"), true, &name);
  ui::SetDefaultToolkit(nullptr);
  if (code.empty()) throw IoError("no algorithm was chosen: the dialog was closed");
  return {code, name};
#else
  throw UsageError("--choose needs the dialog windows (libkorvix-qt), which this build lacks");
#endif
}

}  // namespace

std::span<const OptionDef> DedupeOptionDefs() { return kOptions; }

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
  options.input_format = args.Value("input-format").value_or("");
  options.delimiter = args.Value("delimiter").value_or("");
  options.map = args.Value("map").value_or("");
  if (args.Has("map") && options.map.empty()) throw UsageError("--map: no FIELD=COLUMN given");
  options.strict = args.Has("strict");
  options.format = args.Value("format").value_or("text");
  options.sorted = args.Has("sorted");
  options.output = args.Value("output").value_or("");
  options.output_encoding = args.Value("output-encoding").value_or("");
  options.id = args.Value("id").value_or("");
  if (args.Has("quiet") && args.Has("verbose")) throw UsageError("give --quiet or --verbose");
  options.verbose = args.Has("verbose");
  options.threads = Threads(args);
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
  const DedupeOptions options = DedupeOptionsOf(args);
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
    "Without an algorithm the built-in recommendation runs: three keys (PLZ 5 + Straße 6 +\n"
    "the house number, Straße 3 from the right: everybody at one address; Ort 6 + Straße +\n"
    "house number + the sound of Bez1 3: a PLZ typed wrong; PLZ + the sound of Bez1+2 6:\n"
    "the street written otherwise) with --normalize and --verify 0.7.\n"
    "\n"
    "How well it finds duplicates, and how fast, is measured in the README (bench/dedupe/).\n"
    "\n"
    "--normalize changes each record before keying and comparing (the keys' rules stay):\n"
    "capitals in every field, Ä Ö Ü ß as AE OE UE SS, runs of blanks one blank; a PLZ of\n"
    "four digits gets its leading zero; in the street \"Str.\" and \"Str\" are STRASSE and\n"
    "Dr. Prof. St. Bgm. opening a word are written out; the town loses a qualifier\n"
    "(\"(Saale)\", \"/Saale\", \"am Main\", \"a. M.\"), \"St.\" is SANKT; in Suchbegriff and Bez1-Bez4 titles\n"
    "(Dr., Prof., Dipl.-Ing. ...) go, legal forms at the end go (GmbH, mbH, GmbH & Co. KG,\n"
    "AG, KG, OHG, GbR, e.K., e.V., eG, UG (haftungsbeschränkt) ...), and \"&\", \"+\", \"u.\"\n"
    "are UND; hyphens are blanks outside the PLZ.\n"
    "\n"
    "--verify compares each candidate pair part by part and keeps it only when its score\n"
    "reaches THRESHOLD (0 to 1): the product of kind (a firm and a person are two\n"
    "customers unless the firm carries the person's whole name), name, first name (known\n"
    "first names that differ are two people, variants and short forms one), street, house\n"
    "number (ranges, letters, misread digits), PLZ and town, on the normalised records.\n"
    "Groups grow by their strongest links and refuse a record that one of their members\n"
    "tells apart (the reports list such links as kept apart). korvix explain shows one\n"
    "comparison; --sample-pairs N writes N pairs spread over the scores for a person to\n"
    "label, and korvix evaluate measures a run against such labels. A key shared by more\n"
    "than 200 records is named on stderr and its records are compared only within equal\n"
    "PLZ, house number and name sound.\n"
    "\n"
    "--base MASTER reports each record of FILE with the records of MASTER it matches\n"
    "(pairs within either file are not looked for): this week's new customers against the\n"
    "customer base. MASTER is read like FILE.\n"
    "\n"
    "Input: record strings, one a line, the nine fields in the order\n"
    "PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe; or CSV (RFC 4180, ';' or ','\n"
    "detected from the whole first line, UTF-8 with or without BOM) whose header row names\n"
    "the columns; --map ties fields to columns whose names are not recognised, and the\n"
    "other columns keep their recognised fields. A field that an algorithm reads and no\n"
    "column feeds is refused. Bytes that are not UTF-8 read as Windows-1252. Empty lines\n"
    "hold no record. A CSV record that cannot be parsed or has more or fewer fields than\n"
    "the header is reported on stderr with its line number and skipped (counted in the\n"
    "summary); with --strict it ends the run with status 1.\n"
    "\n"
    "Report (--format): text lists the groups of two or more, largest first: \"key KEY (N\n"
    "records)\" with one algorithm and no verification, else \"group G (N records)\"; each\n"
    "record as \"  LINE: RECORD\", with \"(algorithm A, key KEY, score S)\" saying what linked\n"
    "it unless grouped by key; an empty line; then \"records N, groups G, records in groups\n"
    "R, seconds S, skipped K\". csv gives every record in input order with the columns\n"
    "line, key, group (its number in the text report, 0 for none), record (its number\n"
    "among the records, from 1), algorithm, score, then verifying linked_to, the parts of\n"
    "the score (kind, name, first_name, street, house_number, plz, town) and kept_apart,\n"
    "then the record's own\n"
    "columns (or its record string as \"data\"). json gives the algorithms, the groups and\n"
    "the summary. html gives one page to review the groups in a browser: in each group\n"
    "the characters in which a record differs from the first are marked; it lists 20000\n"
    "records at most. With --sorted every record is listed in the order of the first key\n"
    "(not in html). --id COLUMN prints that column of each record (a CSV column by name or\n"
    "number, an item number in record strings) beside its line: \"LINE [ID]\", a column\n"
    "id after record in csv, \"id\" in json. A csv report uses the input's delimiter and\n"
    "line ends and starts with a UTF-8 byte order mark, so that Excel reads it right;\n"
    "--output-encoding utf-8 leaves the mark out, windows-1252 writes a text or csv\n"
    "report in that code page, each character it cannot hold as '?' (counted on stderr).\n"
    "The text report shows control characters as \\xNN and a tab as \\t.\n"
    "--output writes a temporary file beside FILE and renames it when done (a link is\n"
    "followed, the mode kept; a device or FIFO is written straight), so an interrupted run\n"
    "never leaves half a report.\n"
    "\n"
    "Memory grows with the number of records, under 100 bytes each per key (with --verify\n"
    "about 60 more while keying), not with their size: records are read again from FILE for\n"
    "the report (standard input is spilled to a temporary file).",
    kOptions, Run};

}  // namespace korvix::cli
