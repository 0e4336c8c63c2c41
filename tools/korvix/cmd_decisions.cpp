// korvix decisions: what people decided on records (these two are one
// customer, these two are not, this one stays), kept in the database and
// honoured by every later dedupe, match and evaluate.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "korvix/decisions.h"
#include "output.h"
#include "table.h"

namespace korvix::cli {
namespace {

constexpr OptionDef kListOptions[] = {
    kDbOption, {"format", "FORMAT", "text (default), csv or json"}};
constexpr OptionDef kAddOptions[] = {
    kDbOption, kUserOption, {"note", "TEXT", "why, in a few words"}};
constexpr OptionDef kForgetOptions[] = {kDbOption, {"all", "", "forget every decision"}};
constexpr OptionDef kFileOptions[] = {kDbOption};

// Runs a step of the store; its failures as the tool reports them.
template <class Step>
auto Stored(Step&& step) {
  try {
    return step();
  } catch (const Error& e) {
    if (e.code() == ErrorCode::kInvalidArgument) throw UsageError(e.what());
    throw IoError(e.what());
  }
}

// A record as the command line names it: an identity as stored ("id:...",
// "content:..."), a record string (with '|', named by its content), else
// the value of its id column, such as a customer number.
std::string IdentityOf(const std::string& given) {
  if (given.find_first_not_of(' ') == std::string::npos) throw UsageError("a record is named by its id or record string, not ''");
  if (given.starts_with("id:") || given.starts_with("content:")) return given;
  if (given.find('|') != std::string::npos) return RecordIdentity(given, "");
  return RecordIdentity("", given);
}

std::string Line(const Decision& d) {
  std::string line = std::string(DecisionKindName(d.kind)) + " " + d.a;
  if (!d.b.empty()) line += " " + d.b;
  if (!d.field.empty()) line += " " + d.field;
  return line;
}

int List(const Args& args) {
  ExpectNoOperands(args);
  const std::string format = args.Value("format").value_or("text");
  if (format != "text" && format != "csv" && format != "json") {
    throw UsageError("--format is text, csv or json, not '" + format + "'");
  }
  const auto connection = OpenToolDatabase(args);
  const std::vector<Decision> decisions = Stored([&] { return DecisionStore(connection.get()).List(); });
  Output out;
  if (format == "csv") {
    out.Write(DecisionsCsv(decisions));
  } else if (format == "json") {
    std::string json = "[";
    for (const Decision& d : decisions) {
      json += json.size() > 1 ? ",\n " : "\n ";
      const std::pair<std::string_view, std::string> fields[] = {
          {"kind", std::string(DecisionKindName(d.kind))}, {"record_a", d.a}, {"record_b", d.b},
          {"field", d.field}, {"note", d.note}, {"who", d.who}, {"when", d.when}};
      json += JsonObject(fields);
    }
    out.Line(json + (decisions.empty() ? "]" : "\n]"));
  } else if (decisions.empty()) {
    out.Line("no decisions are stored");
  } else {
    TextTable table({"KIND", "RECORD A", "RECORD B / FIELD", "WHO", "WHEN (UTC)", "NOTE"});
    for (const Decision& d : decisions) {
      table.Add({std::string(DecisionKindName(d.kind)), d.a, d.b + d.field, d.who, d.when, d.note});
    }
    out.Write(table.Render());
  }
  out.Finish();
  return kExitOk;
}

int Add(const Args& args) {
  const std::vector<std::string>& in = args.operands();
  if (in.size() < 2) {
    throw UsageError("say what was decided: same A B, different A B, survivor A or value A COLUMN");
  }
  const DecisionKind kind = Stored([&] { return ReadDecisionKind(in[0]); });
  const std::size_t operands = kind == DecisionKind::kSurvivor ? 2 : 3;
  if (in.size() != operands) {
    throw UsageError(kind == DecisionKind::kSurvivor ? "a survivor is one record: survivor A"
                     : kind == DecisionKind::kValue  ? "a value names a record and its column: value A COLUMN"
                                                     : "a decision on a pair names two records: " + in[0] + " A B");
  }
  const std::string second = operands == 2 ? "" : kind == DecisionKind::kValue ? in[2] : IdentityOf(in[2]);
  Decision d = MakeDecision(in[0], IdentityOf(in[1]), second);
  d.note = args.Value("note").value_or("");
  const char* user = std::getenv("USER");
  d.who = args.Value("user").value_or(user != nullptr ? user : "");
  const auto connection = OpenToolDatabase(args);
  const bool stored = Stored([&] { return DecisionStore(connection.get()).Record(d); });
  Output out;
  out.Line((stored ? "stored: " : "stored already: ") + Line(d));
  out.Finish();
  return kExitOk;
}

int Forget(const Args& args) {
  if (args.Has("all") == !args.operands().empty()) throw UsageError("name the records to forget, or give --all");
  const auto connection = OpenToolDatabase(args);
  std::size_t forgotten = 0;
  Stored([&] {
    DecisionStore store(connection.get());
    if (args.Has("all")) forgotten = store.ForgetAll();
    for (const std::string& record : args.operands()) forgotten += store.Forget(IdentityOf(record));
    return forgotten;
  });
  Output out;
  out.Line("forgot " + std::to_string(forgotten) + (forgotten == 1 ? " decision" : " decisions"));
  out.Finish();
  return kExitOk;
}

std::string FileOperand(const Args& args) {
  if (args.operands().size() != 1) throw UsageError("exactly one FILE is required");
  return args.operands()[0];
}

int Export(const Args& args) {
  const std::string path = FileOperand(args);
  const auto connection = OpenToolDatabase(args);
  const std::string csv = DecisionsCsv(Stored([&] { return DecisionStore(connection.get()).List(); }));
  std::FILE* file = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw IoError(path + ": cannot be written");
  Output out(file, path == "-" ? "standard output" : path);
  out.Write(csv);
  out.Finish();
  if (file != stdout && std::fclose(file) != 0) throw IoError(path + ": cannot be written");
  return kExitOk;
}

int Import(const Args& args) {
  const std::string path = FileOperand(args);
  const std::vector<Decision> decisions = Stored([&] { return ReadDecisionsCsv(path); });
  const auto connection = OpenToolDatabase(args);
  const std::size_t added = Stored([&] { return DecisionStore(connection.get()).Import(decisions); });
  Output out;
  out.Line("imported " + std::to_string(added) + " of " + std::to_string(decisions.size()) +
           " decisions (the others were stored already)");
  out.Finish();
  return kExitOk;
}

const Command kListCommand = {
    "list", "list the decisions", "[--format text|csv|json] [--db PATH|URI]",
    "Lists every decision in the order taken: its kind, the records, who took it, when\n"
    "(UTC) and the note. csv is what export writes.",
    kListOptions, List};

const Command kAddCommand = {
    "add", "store a decision",
    "same|different A B | survivor A | value A COLUMN [--note TEXT] [--user NR] [--db PATH|URI]",
    "Stores a decision at once: 'same A B' puts A and B in one group in every later run,\n"
    "whatever their keys and scores; 'different A B' keeps them apart, also through other\n"
    "records; 'survivor A' makes A the record its group keeps (--clean, --mapping); 'value\n"
    "A COLUMN' gives A's value of COLUMN (a header's name, or the item number in record\n"
    "strings) to the survivor of A's group in the clean file. A later decision on the same\n"
    "pair replaces the earlier one. German kinds (gleich, verschieden, bleibt, wert) do too.\n"
    "\n"
    "A record is named by the value of its --id column (such as a customer number: 100017\n"
    "or id:100017), or, for a file without one, by its record string with '|' between the\n"
    "fields, which names it by its normalised content. --user names who decided (default:\n"
    "$USER).",
    kAddOptions, Add};

const Command kForgetCommand = {
    "forget", "remove the decisions on records", "RECORD... | --all [--db PATH|URI]",
    "Removes every decision that names one of the RECORDs (named as for add), or with --all\n"
    "every decision.",
    kForgetOptions, Forget};

const Command kExportCommand = {
    "export", "write the decisions to a CSV file", "FILE [--db PATH|URI]",
    "Writes every decision to FILE ('-': standard output) as CSV: kind;record_a;record_b;\n"
    "field;note;who;when.",
    kFileOptions, Export};

const Command kImportCommand = {
    "import", "store the decisions of a CSV file", "FILE [--db PATH|URI]",
    "Stores every decision of FILE, as export writes it, in one transaction: all of them or,\n"
    "when one cannot be stored, none. Decisions stored already are passed over.",
    kFileOptions, Import};

const Command* const kSubcommands[] = {&kListCommand, &kAddCommand, &kForgetCommand, &kExportCommand,
                                       &kImportCommand};

}  // namespace

extern const Command kDecisionsCommand = {
    "decisions", "list, add, forget, export and import what people decided on records",
    "[list|add|forget|export|import] [OPTIONS]",
    "Decisions are data: each is stored at once in the database (--db, or the tool's own),\n"
    "in the table DoubletDecisions beside the algorithms, and every later dedupe, match\n"
    "and evaluate on that database honours them (--no-decisions ignores them): a pair\n"
    "decided the same is always in one group, a pair decided different never, not through\n"
    "other records, and the reports mark where a decision overruled the score. Decisions\n"
    "that contradict each other (A same as B, B as C, but A different from C) stop a run\n"
    "with a message that names them. Without a command, list.",
    kListOptions, List, kSubcommands};

}  // namespace korvix::cli
