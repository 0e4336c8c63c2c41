// korvix algorithms: the algorithms a user may see, as the selection list shows them.
#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "output.h"
#include "table.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kOptions[] = {
    kUserOption,
    kAdminOption,
    kDbOption,
    {"json", "", "write JSON instead of a table"},
    {"names", "", "write only the names, one per line"},
};

const Command* const kSubcommands[] = {&kAlgorithmsAddCommand, &kAlgorithmsRemoveCommand,
                                       &kAlgorithmsRenameCommand};

// The status line of the selection dialog, without its prefix.
std::string Status(db::Connection* connection, const AlgorithmEntry& e) {
  return OwnerStatus(e, [connection](const std::string& nr) { return OwnerName(connection, nr); });
}

int Run(const Args& args) {
  if (!args.operands().empty()) {
    throw UsageError("'" + args.operands()[0] +
                     "' is no command of korvix algorithms; they are add, remove and rename");
  }
  if (args.Has("json") && args.Has("names")) throw UsageError("give --json or --names, not both");
  const auto connection = OpenToolDatabase(args);
  const std::vector<AlgorithmEntry> entries = VisibleAlgorithms(connection.get(), args);
  Output out;
  if (args.Has("names")) {
    for (const AlgorithmEntry& e : entries) out.Line(ListText(e));
  } else if (args.Has("json")) {
    std::string json = "[";
    for (const AlgorithmEntry& e : entries) {
      json += json.size() > 1 ? ",\n " : "\n ";
      const std::pair<std::string_view, std::string> fields[] = {
          {"name", ListText(e)},        {"code", e.AlgorithmCode},
          {"owner", e.PersonalNr},      {"status", Status(connection.get(), e)},
          {"readable", e.ReadableText}, {"description", DescriptionText(e)}};
      json += JsonObject(fields);
    }
    json += entries.empty() ? "]" : "\n]";
    out.Line(json);
  } else {
    TextTable table({"NAME", "STATUS", "CODE", "DESCRIPTION"});
    for (const AlgorithmEntry& e : entries) {
      table.Add({ListText(e), Status(connection.get(), e), e.AlgorithmCode, DescriptionText(e)});
    }
    out.Write(table.Render());
  }
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kAlgorithmsCommand = {
    "algorithms", "list, add, remove and rename the algorithms a user may see",
    "[--user NR] [--admin] [--db PATH|URI] [--json | --names]",
    "Lists the algorithms that the user may see, in the order of the selection list: an\n"
    "administrator sees all, anybody else the public ones and their own. Each with the name\n"
    "as the list shows it, its status (public, or private with the owner's name), its code\n"
    "and its description. The commands below change them with the rights of the dialogs.",
    kOptions, Run, kSubcommands};

}  // namespace korvix::cli
