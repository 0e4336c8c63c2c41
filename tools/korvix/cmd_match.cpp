// korvix match: new records against the index of a customer base.
#include <cstdio>
#include <string>

#include "commands.h"
#include "database.h"
#include "dedupe_args.h"
#include "korvix/matcher.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    {"index", "INDEX", "the index of the base (korvix index build), required"},
    {"input-format", "FORMAT", "records or csv (default: csv for a FILE ending in .csv)"},
    {"delimiter", "CHAR", "CSV delimiter: ';', ',' or 'tab' (default: detected from the header)"},
    {"map", "FIELD=COLUMN,...", "which CSV column feeds which field, such as PLZ=zip,Ort=city"},
    {"strict", "", "end with status 1 at the first record that cannot be used"},
    {"format", "FORMAT", "text (default), csv, json or html"},
    {"output", "FILE", "write the report to FILE, complete or not at all (default: stdout)"},
    {"output-encoding", "ENC", "utf-8, utf-8-bom or windows-1252 (default: utf-8-bom for csv)"},
    {"verbose", "", "tell on stderr how the CSV columns are mapped"},
    {"quiet", "", "no notes on stderr, only errors"},
    kDbOption,
    kNoDecisionsOption,
    kThreadsOption,
};

void Warn(const std::string& message) { std::fprintf(stderr, "korvix match: %s\n", message.c_str()); }

int Run(const Args& args) {
  if (args.operands().empty()) throw UsageError("at least one FILE is required ('-' for stdin)");
  const auto index = args.Value("index");
  if (!index || index->empty()) throw UsageError("--index INDEX is required");
  if (args.Has("quiet") && args.Has("verbose")) throw UsageError("give --quiet or --verbose");
  DedupeOptions options;
  ReadInputAndReportOptions(args, &options);
  options.verbose = args.Has("verbose");
  options.threads = Threads(args);
  if (!args.Has("quiet")) options.message = Warn;
  options.decisions = KeptDecisions(args);
  if (!options.output.empty() && args.operands().size() > 1) {
    throw UsageError("--output takes the report of one FILE; give one FILE");
  }
  const Matcher base = Matcher::Load(*index);
  for (const std::string& file : args.operands()) {
    const DedupeResult result = base.Report(file, options);
    // A CSV report is data for loading elsewhere; its figures go to stderr.
    if (options.format == "csv" && !args.Has("quiet")) Warn(result.summary);
  }
  return kExitOk;
}

}  // namespace

extern const Command kMatchCommand = {
    "match", "match new records against the index of a customer base",
    "--index INDEX [--format FORMAT] [--output FILE] [OPTIONS] FILE...",
    "Matches every record of each FILE ('-': standard input) against the base that INDEX\n"
    "holds (korvix index build), with the algorithms, normalising, threshold and id column\n"
    "it was built with, and reports each record with the base records it matches, best\n"
    "first: the very report of korvix dedupe --base BASE FILE, in text, csv, json or html,\n"
    "without reading the base again. Several FILEs give their reports one after the other.\n"
    "The decisions kept in the database (korvix decisions) decide over the scores.\n"
    "\n"
    "docs/matching.md in the Korvix sources explains the index and what a match costs.",
    kOptions, Run};

}  // namespace korvix::cli
