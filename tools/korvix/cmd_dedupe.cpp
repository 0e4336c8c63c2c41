// korvix dedupe: finds the duplicate groups of an address file.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "algorithm_choice.h"
#include "commands.h"
#include "csv_reader.h"
#include "database.h"
#include "dedupe/atomic_file.h"
#include "dedupe/csv_source.h"
#include "dedupe/input.h"
#include "dedupe/keying.h"
#include "dedupe/line_source.h"
#include "dedupe/progress.h"
#include "dedupe/record_reader.h"
#include "dedupe/report.h"
#include "key_table.h"
#include "korvix/key_builder.h"
#include "output.h"

#ifdef KORVIX_TOOL_DIALOG
#include "korvix/doublet_functions.h"
#include "korvix/ui/qt_toolkit.h"
#include "korvix/ui/toolkit.h"
#endif

namespace korvix::cli {
namespace {

constexpr OptionSpec kOptions[] = {
    kAlgorithmOption,
    kNameOption,
    kUserOption,
    kAdminOption,
    kDbOption,
    {"choose", "", "pick the algorithm in the selection dialog, in a window, first"},
    {"input-format", "FORMAT", "records or csv (default: csv for a FILE ending in .csv)"},
    {"delimiter", "CHAR", "CSV delimiter: ';', ',' or 'tab' (default: detected from the header)"},
    {"map", "FIELD=COLUMN,...", "which CSV column feeds which field, such as PLZ=zip,Ort=city"},
    {"strict", "", "end with status 1 at the first record that cannot be used"},
    {"format", "FORMAT", "text (default), csv or json"},
    {"sorted", "", "every record in key order, instead of only the groups"},
    {"output", "FILE", "write the report to FILE, complete or not at all (default: stdout)"},
    {"verbose", "", "tell on stderr how the CSV columns are mapped"},
};

// Bytes of records a report holds in memory at once: at least this much, or
// half as much as the keys take, so memory stays proportional to the keys.
constexpr std::size_t kMinReportBudget = std::size_t{64} << 20;

bool EndsWithCsv(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".csv";
}

bool ReadsCsv(const Args& args, const std::string& path) {
  if (const auto format = args.Value("input-format")) {
    if (*format == "csv") return true;
    if (*format == "records") {
      if (args.Has("map") || args.Has("delimiter")) {
        throw UsageError("--map and --delimiter are for CSV input, not records");
      }
      return false;
    }
    throw UsageError("--input-format must be records or csv, not '" + *format + "'");
  }
  return args.Has("map") || args.Has("delimiter") || EndsWithCsv(path);
}

// --choose: the algorithm that the user picks in the selection dialog, in a
// real window, among those of the database (--db) that the user (--user,
// --admin) may see; --algorithm, if given, is selected when it opens.
ChosenAlgorithm ChooseInDialog(const Args& args) {
  if (args.Has("name")) throw UsageError("give --choose or --name NAME, not both");
#ifdef KORVIX_TOOL_DIALOG
  const auto set = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    throw IoError("no display to show the dialog on (DISPLAY and WAYLAND_DISPLAY are unset)");
  }
  const auto connection = OpenToolDatabase(args);
  ui::QtToolkit toolkit;
  ui::SetDefaultToolkit(&toolkit);
  std::string name;
  const std::string code =
      DoubletFunctions().ShowDlg(connection.get(), args.Value("algorithm").value_or(""),
                                 args.Value("user").value_or(""), args.Has("admin"), true, &name);
  ui::SetDefaultToolkit(nullptr);
  if (code.empty()) throw IoError("no algorithm was chosen: the dialog was closed");
  return {code, name};
#else
  throw UsageError("--choose needs the dialog windows (libkorvix-qt), which this build lacks");
#endif
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "korvix dedupe: %s\n", message.c_str());
}

// The reader of FILE's records: CSV or record strings. Bad CSV records are
// reported on stderr, clearing the progress line first.
std::unique_ptr<RecordSource> OpenSource(const Args& args, const Input& input, bool csv,
                                         Progress* progress) {
  if (!csv) return std::make_unique<LineSource>(input.stream_fd(), input.name());
  BadRecordPolicy policy;
  policy.strict = args.Has("strict");
  policy.report = [progress](const std::string& message) {
    progress->Done();
    Warn(message + "; record skipped");
  };
  const char delimiter =
      args.Has("delimiter") ? DelimiterFromOption(*args.Value("delimiter")) : CsvReader::kDetect;
  auto source = std::make_unique<CsvSource>(input.stream_fd(), input.name(), delimiter,
                                            args.Value("map"), std::move(policy));
  if (args.Has("verbose") && source->has_header()) {
    const char d = source->delimiter();
    std::string shown = d == '\t' ? std::string("tab") : std::string(3, '\'');
    if (d != '\t') shown[1] = d;
    Warn("delimiter " + shown);
    for (const std::string& line : source->map().Describe()) Warn(line);
  }
  return source;
}

int Run(const Args& args) {
  const auto start = std::chrono::steady_clock::now();
  if (args.operands().size() != 1) throw UsageError("exactly one FILE is required ('-' for stdin)");
  const std::string& path = args.operands()[0];
  const bool csv = ReadsCsv(args, path);
  const ReportFormat format = ReportFormatFromOption(args.Value("format").value_or("text"));
  if (args.Has("delimiter")) DelimiterFromOption(*args.Value("delimiter"));  // checked early

  const ChosenAlgorithm algorithm = args.Has("choose") ? ChooseInDialog(args) : ChooseAlgorithm(args);
  const KeyBuilder builder(algorithm.code);

  // Made first, so that an unwritable place fails before the long part.
  std::unique_ptr<AtomicFile> file;
  if (const auto output = args.Value("output")) file = std::make_unique<AtomicFile>(*output);
  Output out(file ? file->file() : stdout, file ? file->path() : "standard output");

  Input input(path);
  Progress progress(::isatty(STDERR_FILENO) == 1, input.size());
  const std::unique_ptr<RecordSource> source = OpenSource(args, input, csv, &progress);
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const KeyTable table = KeyRecords(*source, builder, threads, &progress, input.size());
  input.EndOfStream();
  progress.Done();

  const KeyOrder order = OrderByKey(table, threads);
  RecordReader reader(table, input.reread_fd(), input.name());
  const ReportInput report{table,
                           order.sorted,
                           order.groups,
                           *source,
                           csv ? static_cast<const CsvSource*>(source.get()) : nullptr,
                           reader,
                           std::max(kMinReportBudget, table.memory() / 2),
                           algorithm.code,
                           algorithm.name,
                           start};
  const bool by_key = args.Has("sorted");
  switch (format) {
    case ReportFormat::kText: WriteTextReport(report, by_key, &out); break;
    case ReportFormat::kCsv: WriteCsvReport(report, by_key, &out); break;
    case ReportFormat::kJson: WriteJsonReport(report, by_key, &out); break;
  }
  out.Finish();
  if (file) file->Commit();
  // A CSV report is data for loading elsewhere; its figures go to stderr.
  if (format == ReportFormat::kCsv) Warn(SummaryLine(report.Summary()));
  return kExitOk;
}

}  // namespace

extern const Command kDedupeCommand = {
    "dedupe", "find the groups of duplicate records in an address file",
    "(--algorithm CODE | --name NAME | --choose) [--user NR] [--admin] [--db PATH|URI] [OPTIONS] "
    "FILE",
    "Keys every record of FILE ('-': standard input) with the algorithm, on all cores, and\n"
    "reports the records with equal keys. The algorithm is given by its code, by its name as\n"
    "the user (--user, --admin) sees it in the database (--db), or chosen with --choose in the\n"
    "selection dialog, which opens in a window before the run (on --algorithm, if given).\n"
    "\n"
    "Input: record strings, one a line, the nine fields in the order\n"
    "PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe; or CSV (RFC 4180, ';' or ','\n"
    "detected, UTF-8 with or without BOM) whose header row names the columns; --map ties\n"
    "fields to columns whose names are not recognised. Bytes that are not UTF-8 read as\n"
    "Windows-1252. Empty lines hold no record. A CSV record that cannot be parsed or has\n"
    "more or fewer fields than the header is reported on stderr with its line number and\n"
    "skipped (counted in the summary); with --strict it ends the run with status 1.\n"
    "\n"
    "Report (--format): text lists the groups of two or more, largest first, equal sizes\n"
    "by key: \"key KEY (N records)\", each record as \"  LINE: RECORD\", an empty line; then\n"
    "\"records N, groups G, records in groups R, seconds S, skipped K\". csv gives every\n"
    "record in input order with the columns line, key and group (its group's number in\n"
    "the text report, 0 for none), then the record's own columns. json gives the groups\n"
    "and the summary. With --sorted every record is listed in key order, so that similar\n"
    "records stand together. --output writes a temporary file and renames it when done,\n"
    "so an interrupted run never leaves half a report.\n"
    "\n"
    "Memory grows with the number of records, under 100 bytes each, not with their size:\n"
    "records are read again from FILE (standard input is spilled to a temporary file).",
    kOptions, Run};

}  // namespace korvix::cli
