// korvix review: the groups of a run on a page in the browser, where a
// steward confirms and splits them, picks survivors and the values they
// keep, and downloads the clean file and the mapping.
#include <spawn.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "dedupe_args.h"
#include "korvix/decisions.h"
#include "korvix/review.h"
#include "review_server.h"

extern char** environ;

namespace korvix::cli {
namespace {

// The page's first language: English where the locale asks for it, else
// German.
std::string Language() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("en") ? "en" : "de";
  }
  return "de";
}

// Opens `address` with $BROWSER, which may hold arguments; the tool does
// not wait for it.
void OpenBrowser(const std::string& address) {
  const char* browser = std::getenv("BROWSER");
  if (browser == nullptr || *browser == '\0') return;
  const std::string script = "exec $BROWSER \"$1\" >/dev/null 2>&1";
  const char* argv[] = {"sh", "-c", script.c_str(), "sh", address.c_str(), nullptr};
  pid_t pid = 0;
  posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ);
}

int Run(const Args& args) {
  if (args.operands().size() != 1) throw UsageError("give the FILE to review");
  DedupeOptions options = DedupeOptionsOf(args);
  if (!options.base.empty()) throw UsageError("--base: a review is of the groups within one file");
  int port = 0;
  if (const auto value = args.Value("port")) {
    port = std::atoi(value->c_str());
    if (port < 1 || port > 65535 || std::to_string(port) != *value) throw UsageError("--port: a number from 1 to 65535");
  }
  const std::string& path = args.operands()[0];
  std::unique_ptr<db::Connection> connection = OpenToolDatabase(args);
  DecisionStore store(connection.get());
  Review review(path, options, &store);
  ReviewServerOptions server;
  server.port = port;
  server.name = std::filesystem::path(path).filename().string();
  server.language = Language();
  const char* user = std::getenv("USER");
  server.who = args.Value("user").value_or(user != nullptr ? user : "");
  server.listening = [](const std::string& address) {
    std::cout << "korvix review: " << address << std::endl;
    OpenBrowser(address);
  };
  ServeReview(review, server);
  return kExitOk;
}

std::vector<OptionDef> Options() {
  std::vector<OptionDef> options(DedupeOptionDefs().begin(), DedupeOptionDefs().end());
  options.push_back({"port", "PORT", "listen on this port of 127.0.0.1 (default: a free one)"});
  return options;
}

const std::vector<OptionDef> kOptions = Options();

}  // namespace

extern const Command kReviewCommand = {
    "review", "review the groups of a run in the browser",
    "[DEDUPE OPTIONS] [--port PORT] FILE",
    "Runs dedupe on FILE with the options given (the recommendation without an algorithm)\n"
    "and serves a page on 127.0.0.1 only, at an address with a secret token that it prints\n"
    "(and opens with $BROWSER when set). The page shows the groups, largest or least certain\n"
    "first, each record marked against the group's first; the steward confirms a group, takes\n"
    "a record out, marks two records the same or different, picks the survivor and the\n"
    "values it keeps from the others, and downloads the clean file and the mapping\n"
    "(--survivor, --fill). Each decision is stored at once. Ctrl+C ends the server.",
    kOptions, Run};

}  // namespace korvix::cli
