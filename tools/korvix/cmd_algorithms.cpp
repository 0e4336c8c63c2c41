// korvix algorithms: the algorithms a user may see, as the selection list shows them.
#include "commands.h"
#include "database.h"
#include "base/json.h"
#include "korvix/algorithm_store.h"
#include "output.h"
#include "table.h"

namespace korvix::cli {
namespace {

constexpr OptionSpec kOptions[] = {
    kUserOption, kAdminOption, kDbOption, {"json", "", "write JSON instead of a table"}};

// The status line of the selection dialog, without its prefix.
std::string Status(db::Connection* connection, const AlgorithmEntry& e) {
  return IsPublicOwner(e.PersonalNr) ? "öffentlich"
                                     : "Privat (" + OwnerName(connection, e.PersonalNr) + ")";
}

int Run(const Args& args) {
  const auto connection = OpenToolDatabase(args);
  std::string error;
  const std::vector<AlgorithmEntry> entries = ReadVisibleAlgorithms(
      connection.get(), args.Value("user").value_or(""), args.Has("admin"), &error);
  // The dialogs list what they could read; a listing that leaves rows out
  // without saying so would mislead.
  if (!error.empty()) throw IoError("cannot read the algorithms: " + error);
  Output out;
  if (args.Has("json")) {
    std::string json = "[";
    for (const AlgorithmEntry& e : entries) {
      json += json.size() > 1 ? ",\n " : "\n ";
      const std::pair<const char*, std::string> fields[] = {
          {"name", ListText(e)},        {"code", e.AlgorithmCode},
          {"owner", e.PersonalNr},      {"status", Status(connection.get(), e)},
          {"readable", e.ReadableText}, {"description", DescriptionText(e)}};
      json += "{";
      for (const auto& [key, value] : fields) {
        if (json.back() != '{') json += ", ";
        base::AppendJsonString(key, &json);
        json += ": ";
        base::AppendJsonString(value, &json);
      }
      json += "}";
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
    "algorithms", "list the algorithms a user may see",
    "[--user NR] [--admin] [--db PATH|URI] [--json]",
    "Lists the algorithms that the user may see, in the order of the selection list: an\n"
    "administrator sees all, anybody else the public ones and their own. Each with the name\n"
    "as the list shows it, its status (public, or private with the owner's name), its code\n"
    "and its description.",
    kOptions, Run};

}  // namespace korvix::cli
