// korvix: an example host of the Korvix component and a batch tool for
// duplicate keys, phonetic codes, descriptions, managing algorithms and
// duplicate finding.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/text.h"
#include "cli.h"
#include "commands.h"
#include "korvix/error.h"
#include "output.h"

namespace korvix::cli {
namespace {

const Command* Find(std::span<const Command* const> commands, std::string_view name) {
  for (const Command* c : commands) {
    if (c->name == name) return c;
  }
  return nullptr;
}

int Print(const std::string& text) {
  Output out;
  out.Write(text);
  out.Finish();
  return kExitOk;
}

// One line on standard error, valid UTF-8 whatever the message quotes.
void Report(const std::string& path, std::string_view message) noexcept {
  try {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), MessageText(message).c_str());
  } catch (...) {  // no memory left even for the message
    std::fprintf(stderr, "%s: out of memory\n", path.c_str());
  }
}

// A wrong command line: the message and where to look.
int UsageFailure(const std::string& path, std::string_view message) {
  Report(path, message);
  std::fprintf(stderr, "Try '%s --help'.\n", path.c_str());
  return kExitUsage;
}

// Runs the command line; `*path` names the command as far as it is known,
// for the messages.
int Dispatch(std::span<const std::string_view> all, std::string* path) {
  if (all.empty()) {
    std::fputs(Overview().c_str(), stderr);
    return kExitUsage;
  }
  if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") return Print(Overview());
  if (all[0] == "--version") return Print(std::string(kVersion) + "\n");
  const Command* command = Find(AllCommands(), all[0]);
  if (command == nullptr) {
    Report(*path, "unknown command '" + std::string(all[0]) + "'");
    std::fputs(Overview().c_str(), stderr);
    return kExitUsage;
  }
  path->append(" ").append(command->name);
  std::span<const std::string_view> rest = all.subspan(1);
  while (!rest.empty()) {
    const Command* sub = Find(command->subcommands, rest[0]);
    if (sub == nullptr) break;
    command = sub;
    path->append(" ").append(sub->name);
    rest = rest.subspan(1);
  }
  for (std::string_view a : rest) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") return Print(HelpText(*command, *path));
    if (a == "--version") return Print(std::string(kVersion) + "\n");
  }
  return command->run(Parse(rest, command->options));
}

// The command being run, for a message written when nothing else can be.
const std::string* g_running = nullptr;

// A library function that never throws ends the process through
// std::terminate when memory runs out inside it; the run still ends with
// one line and status 1, not an abort.
[[noreturn]] void OnTerminate() noexcept {
  const char* what = "an unexpected error ended the run";
  if (const std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
      what = "out of memory";
    } catch (...) {
    }
  }
  std::fprintf(stderr, "%s: %s\n", g_running != nullptr ? g_running->c_str() : "korvix", what);
  std::_Exit(kExitIo);
}

int Main(int argc, char** argv) {
  std::string path = "korvix";
  g_running = &path;
  std::set_terminate(OnTerminate);
  try {
    const std::vector<std::string_view> all(argv + 1, argv + argc);
    return Dispatch(all, &path);
  } catch (const UsageError& e) {
    return UsageFailure(path, e.what());
  } catch (const Error& e) {
    // The library's arguments came from the command line, so a wrong one
    // is the command line's fault.
    if (e.code() == ErrorCode::kInvalidArgument) return UsageFailure(path, e.what());
    Report(path, e.what());
  } catch (const IoError& e) {
    Report(path, e.what());
  } catch (const std::bad_alloc&) {
    Report(path, "out of memory");
  } catch (const std::exception& e) {
    Report(path, e.what());
  } catch (...) {
    Report(path, "an unexpected error ended the run");
  }
  return kExitIo;
}

}  // namespace
}  // namespace korvix::cli

int main(int argc, char** argv) { return korvix::cli::Main(argc, argv); }
