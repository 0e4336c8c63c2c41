// korvix init: creates the algorithm tables of a database.
#include "commands.h"
#include "database.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {kDbOption};

int Run(const Args& args) {
  ExpectNoOperands(args);
  const std::optional<std::string> given = args.Value("db");
  const std::string target = given ? *given : DefaultDatabasePath();
  const auto connection = OpenTarget(target, /*create=*/true);
  const std::string shown = DisplayTarget(target);
  const bool created = InitializeDatabase(*connection, shown);
  Output out;
  out.Line(shown + (created ? ": tables created, sample staff and algorithms added"
                            : ": tables present, nothing changed"));
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kInitCommand = {
    "init", "create the algorithm tables in a database", "[--db PATH|URI]",
    "Creates the tables DoubletAlgorithms and Personalstamm where they are missing. In a new\n"
    "database it also adds a few sample staff members and algorithms, public and private.\n"
    "Rows that exist are never changed, and a run that fails leaves nothing behind. A SQLite\n"
    "file is created when it does not exist.",
    kOptions, Run};

}  // namespace korvix::cli
