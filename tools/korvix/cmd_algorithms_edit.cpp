// korvix algorithms add, remove and rename: the selection dialog's New,
// Delete and a change of name, with the rights and the save rules of the
// dialogs. Every write goes through the store, which refuses what the
// dialogs refuse.
#include <optional>

#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "korvix/description.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kJsonOption = {"json", "", "write what was done as JSON"};
constexpr OptionDef kPublicOption = {"public", "",
                                      "the public algorithm (only administrators change one)"};
constexpr OptionDef kPrivateOption = {"private", "", "the user's own private algorithm"};

constexpr OptionDef kAddOptions[] = {
    {"name", "NAME", "the name the list shows ('': none, the list shows the readable form)"},
    kAlgorithmOption,
    {"description", "TEXT", "what the algorithm is for"},
    {"public", "", "public, seen by every user (administrators; their default)"},
    {"private", "", "private to the user --user NR (the default of other users)"},
    {"replace", "", "write over a stored algorithm of the same code and owner"},
    kUserOption,
    kAdminOption,
    kDbOption,
    kJsonOption,
};

constexpr OptionDef kRemoveOptions[] = {
    kAlgorithmOption, kNameOption,  kPublicOption, kPrivateOption,
    {"owner", "NR", "the one that this staff number owns ('-': the public one)"},
    kUserOption,      kAdminOption, kDbOption,     kJsonOption,
};

constexpr OptionDef kRenameOptions[] = {
    kAlgorithmOption, kNameOption, kPublicOption, kPrivateOption,
    {"owner", "NR", "the one that this staff number owns ('-': the public one)"},
    {"to", "NAME", "the new name ('': none, the list shows the readable form)"},
    {"description", "TEXT", "a new description as well"},
    kUserOption,      kAdminOption, kDbOption,    kJsonOption,
};

StoreUser UserOf(const Args& args) { return {args.Value("user").value_or(""), args.Has("admin")}; }

std::string Required(const Args& args, std::string_view option, std::string_view value) {
  const std::optional<std::string> given = args.Value(option);
  if (!given) {
    throw UsageError("--" + std::string(option) + " " + std::string(value) + " is required");
  }
  return *given;
}

// What was done, as a line or as JSON.
int Done(const Args& args, std::string_view action, const std::string& code,
         const std::string& owner, const db::Value& name, const db::Value& description) {
  Output out;
  const std::string shown = name ? *name : DescribeAlgorithm(code);
  if (args.Has("json")) {
    const std::pair<std::string_view, std::string> fields[] = {
        {"action", std::string(action)}, {"name", name.value_or("")},
        {"code", code},                  {"owner", owner},
        {"readable", DescribeAlgorithm(code)}, {"description", description.value_or("")}};
    out.Line(JsonObject(fields));
  } else {
    out.Line(std::string(action) + " \"" + shown + "\": " + code + ", " +
             (IsPublicOwner(owner) ? std::string("public") : "private to " + owner));
  }
  out.Finish();
  return kExitOk;
}

// The one algorithm, among those the user sees, that --algorithm and
// --name (either or both) and --public, --private or --owner pick.
AlgorithmEntry Target(db::Connection* connection, const Args& args) {
  if (!args.Has("algorithm") && !args.Has("name")) {
    throw UsageError("say which algorithm: --algorithm CODE or --name NAME");
  }
  if (args.Has("public") + args.Has("private") + args.Has("owner") > 1) {
    throw UsageError("give one of --public, --private and --owner");
  }
  std::optional<std::string> owner = args.Value("owner");
  if (args.Has("public")) owner = std::string(kPublicOwner);
  if (args.Has("private")) owner = args.Value("user").value_or("");
  const std::optional<std::string> code =
      args.Has("algorithm") ? std::optional(AlgorithmCode(*args.Value("algorithm"))) : std::nullopt;
  const std::vector<AlgorithmEntry> entries = VisibleAlgorithms(connection, args);
  std::vector<const AlgorithmEntry*> found;
  if (const auto name = args.Value("name")) {
    found = EntriesNamed(entries, *name);
  } else {
    for (const AlgorithmEntry& e : entries) found.push_back(&e);
  }
  std::erase_if(found, [&](const AlgorithmEntry* e) {
    return (code && e->AlgorithmCode != *code) || (owner && e->PersonalNr != *owner);
  });
  if (found.empty()) throw UsageError("no such algorithm among those this user may see");
  for (const AlgorithmEntry* e : found) {
    if (e->AlgorithmCode != found.front()->AlgorithmCode ||
        e->PersonalNr != found.front()->PersonalNr) {
      throw UsageError("that is more than one algorithm:" + EntryLines(found) +
                       "\nchoose one with --algorithm CODE, --public, --private or --owner NR");
    }
  }
  return *found.front();
}

constexpr const char* kRemovedMeanwhile = "the algorithm was removed by somebody else meanwhile";

// Runs `write`, a write of the store, and tells the user why it failed:
// `refused` when the user may not, else `failed` and the database's reason.
template <class Run>
WriteResult Write(Run&& write, const char* refused, const char* failed) {
  try {
    return write();
  } catch (const Error& e) {
    if (e.code() == ErrorCode::kRefused) throw IoError(refused);
    throw IoError(failed + std::string(e.what()));
  }
}

int Add(const Args& args) {
  ExpectNoOperands(args);
  const std::string name = Required(args, "name", "NAME");
  const std::string code = AlgorithmCode(Required(args, "algorithm", "CODE"));
  if (args.Has("public") && args.Has("private")) throw UsageError("give --public or --private");
  const StoreUser user = UserOf(args);
  if (args.Has("private") && !HasOwner(user.personal_nr)) {
    throw UsageError("--private needs the owner's staff number: --user NR");
  }
  // The editor's choice for a new algorithm: public for an administrator,
  // else private to the user.
  const bool is_public = args.Has("public") || (user.is_admin && !args.Has("private"));
  SaveRequest request{code, is_public ? std::string(kPublicOwner) : user.personal_nr,
                      Trim2Null(name), Trim2Null(args.Value("description").value_or("")), "", ""};
  const auto connection = OpenToolDatabase(args);
  std::optional<std::string> existing;
  const auto overwrite = [&](const std::string& existing_name) {
    existing = existing_name;
    return args.Has("replace");
  };
  const WriteResult result = Write(
      [&] { return SaveAlgorithm(connection.get(), request, overwrite, &user); },
      "refused: only an administrator (--admin) or a user with a staff number "
      "(--user NR) may create algorithms, and only an administrator public ones",
      "cannot save the algorithm: ");
  if (result == WriteResult::kDeclined) {
    throw IoError("an algorithm of this code and owner is stored already as \"" +
                  existing.value_or("") + "\"; --replace writes over it");
  }
  return Done(args, existing ? "replaced" : "added", request.code, request.owner, request.name,
              request.description);
}

int Remove(const Args& args) {
  ExpectNoOperands(args);
  const auto connection = OpenToolDatabase(args);
  const AlgorithmEntry target = Target(connection.get(), args);
  const StoreUser user = UserOf(args);
  const WriteResult result = Write(
      [&] {
        return DeleteAlgorithm(connection.get(), target.AlgorithmCode, target.PersonalNr, &user);
      },
      "refused: only an administrator (--admin) may remove a public algorithm",
      "cannot remove the algorithm: ");
  if (result == WriteResult::kNotFound) throw IoError(kRemovedMeanwhile);
  return Done(args, "removed", target.AlgorithmCode, target.PersonalNr,
              Trim2Null(target.AlgorithmName), Trim2Null(target.Description));
}

int Rename(const Args& args) {
  ExpectNoOperands(args);
  const std::string to = Required(args, "to", "NAME");
  const auto connection = OpenToolDatabase(args);
  const AlgorithmEntry target = Target(connection.get(), args);
  const StoreUser user = UserOf(args);
  // Only the name (and a description given) changes: what another session
  // wrote to the row since it was listed here stays.
  const db::Value name = Trim2Null(to);
  const std::optional<std::string> given = args.Value("description");
  const db::Value description = given ? Trim2Null(*given)
                                : target.Description.empty() ? db::Value()
                                                             : db::Value(target.Description);
  const WriteResult result = Write(
      [&] {
        return RenameAlgorithm(connection.get(), target.AlgorithmCode, target.PersonalNr, name,
                               given ? &description : nullptr, &user);
      },
      "refused: only an administrator (--admin) may change a public algorithm",
      "cannot save the algorithm: ");
  if (result == WriteResult::kNotFound) throw IoError(kRemovedMeanwhile);
  return Done(args, "renamed", target.AlgorithmCode, target.PersonalNr, name, description);
}

}  // namespace

extern const Command kAlgorithmsAddCommand = {
    "add", "store a new algorithm",
    "--name NAME --algorithm CODE [--description TEXT] [--public | --private] [--replace] "
    "[--user NR] [--admin] [--db PATH|URI] [--json]",
    "Stores an algorithm as the editor saves a new one. Only an administrator, or a user\n"
    "with a staff number, may create algorithms, and only an administrator public ones; an\n"
    "administrator's algorithm is public unless --private, anybody else's private to them.\n"
    "An algorithm of the same code and owner that is stored already is written over only\n"
    "with --replace. The algorithm is given by its code or its readable form.",
    kAddOptions, Add};

extern const Command kAlgorithmsRemoveCommand = {
    "remove", "remove an algorithm",
    "(--algorithm CODE | --name NAME) [--public | --private | --owner NR] [--user NR] "
    "[--admin] [--db PATH|URI] [--json]",
    "Removes one algorithm that the user sees, as the selection dialog's Delete does: an\n"
    "administrator any, anybody else their own private ones. When the code or the name\n"
    "fits more than one, --public, --private (the user's own) or --owner NR says which.",
    kRemoveOptions, Remove};

extern const Command kAlgorithmsRenameCommand = {
    "rename", "give an algorithm another name",
    "(--algorithm CODE | --name NAME) --to NAME [--description TEXT] [--public | --private | "
    "--owner NR] [--user NR] [--admin] [--db PATH|URI] [--json]",
    "Gives one algorithm that the user sees a new name, and with --description a new\n"
    "description, as saving it in the editor unchanged otherwise does: code and owner stay.\n"
    "An administrator may rename any, anybody else their own private ones. The algorithm is\n"
    "picked as for 'korvix algorithms remove'.",
    kRenameOptions, Rename};

}  // namespace korvix::cli
