// korvix index: a customer base's keys and profiles in one file, for
// korvix match to check new customers against in milliseconds.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "dedupe_args.h"
#include "korvix/matcher.h"

namespace korvix::cli {
namespace {

// The dedupe options that shape the keys and decisions, and how the base is read.
std::vector<OptionDef> BuildOptions() {
  static const char* const kTaken[] = {"algorithm", "name",   "user",  "admin", "db",     "normalize",
                                       "verify",    "input-format", "delimiter", "map", "strict", "id",
                                       "verbose",   "quiet",  "threads"};
  std::vector<OptionDef> options;
  for (const OptionDef& d : DedupeOptionDefs()) {
    for (const char* name : kTaken) {
      if (d.name == name) options.push_back(d);
    }
  }
  options.push_back({"output", "INDEX", "the index file to write (required)"});
  return options;
}
const std::vector<OptionDef> kBuildOptions = BuildOptions();

void Note(const char* command, const Args& args, const std::string& text) {
  if (!args.Has("quiet")) std::fprintf(stderr, "korvix %s: %s\n", command, text.c_str());
}

int RunBuild(const Args& args) {
  if (args.operands().size() != 1) throw UsageError("exactly one BASE file is required");
  const auto output = args.Value("output");
  if (!output || output->empty()) throw UsageError("--output INDEX is required");
  DedupeOptions options = DedupeOptionsOf(args);
  options.progress = false;
  if (options.message) {
    options.message = [](const std::string& m) { std::fprintf(stderr, "korvix index build: %s\n", m.c_str()); };
  }
  const Matcher matcher = Matcher::FromFile(args.operands()[0], options);
  matcher.Save(*output);
  Note("index build", args, "records " + std::to_string(matcher.size()) + ", index " + *output);
  return kExitOk;
}

constexpr OptionDef kAddOptions[] = {
    {"id", "ID", "the id of the record (for an index with an id column)"},
    {"quiet", "", "no note on stderr, only errors"},
};

int RunAdd(const Args& args) {
  if (args.operands().size() < 2) throw UsageError("give the INDEX and at least one RECORD");
  if (args.Has("id") && args.operands().size() != 2) throw UsageError("--id names the id of one RECORD");
  const std::string& path = args.operands()[0];
  Matcher matcher = Matcher::Load(path);
  for (std::size_t i = 1; i < args.operands().size(); ++i) {
    matcher.Add(args.operands()[i], args.Value("id").value_or(""));
  }
  matcher.Save(path);
  Note("index add", args, "records " + std::to_string(matcher.size()));
  return kExitOk;
}

int RunIndex(const Args& args) {
  if (!args.operands().empty()) {
    throw UsageError("'" + args.operands()[0] + "' is no command of korvix index; they are build and add");
  }
  throw UsageError("give a command: korvix index build or korvix index add");
}

extern const Command kIndexBuildCommand = {
    "build", "write the index of a customer base",
    "[--algorithm CODE... | --name NAME...] [--normalize] [--verify [THRESHOLD]] [--id COLUMN] "
    "--output INDEX BASE",
    "Reads BASE as korvix dedupe reads a file (CSV with a header, or record strings) and\n"
    "writes INDEX: every record's keys under each algorithm, its profile for verifying, and\n"
    "its line, id and record string for the reports, with the options that shape them.\n"
    "Without an algorithm, the built-in recommendation. korvix match then checks new records\n"
    "against it exactly as korvix dedupe --base BASE would. The file is written beside\n"
    "INDEX and renamed over it when complete.",
    kBuildOptions, RunBuild};

extern const Command kIndexAddCommand = {
    "add", "add records to an index",
    "[--id ID] INDEX RECORD...",
    "Adds each RECORD (a record string, the nine fields PLZ to Kundengruppe joined by '|')\n"
    "to the base of INDEX, keyed and profiled as the index's own, and writes INDEX anew,\n"
    "complete or not at all. An added record's line is the one after the base's last.",
    kAddOptions, RunAdd};

const Command* const kSubcommands[] = {&kIndexBuildCommand, &kIndexAddCommand};

}  // namespace

extern const Command kIndexCommand = {
    "index", "build and extend the index of a customer base for korvix match",
    "build|add ...",
    "An index holds a customer base's keys and profiles ready, so that korvix match checks\n"
    "new records against it without reading the base again. docs/matching.md in the Korvix\n"
    "sources explains it.",
    {}, RunIndex, kSubcommands};

}  // namespace korvix::cli
