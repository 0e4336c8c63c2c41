#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "case_file.h"
#include "run_tool.h"
#include "test_files.h"

namespace korvix::testing {

namespace {

std::vector<std::string> SplitArgs(const std::string& text, const std::string& where) {
  std::vector<std::string> args;
  std::string arg;
  bool quoted = false, started = false;
  for (const char c : text) {
    if (c == '"') {
      quoted = !quoted;
      started = true;
    } else if (c == ' ' && !quoted) {
      if (started) args.push_back(std::move(arg));
      arg.clear();
      started = false;
    } else {
      arg += c;
      started = true;
    }
  }
  if (quoted) throw std::runtime_error(where + ": a quote is not closed");
  if (started) args.push_back(std::move(arg));
  return args;
}

}  // namespace

std::string Steady(std::string text) {
  for (std::size_t at = 0; (at = text.find("seconds", at)) != std::string::npos;) {
    at = text.find_first_not_of("\": ", at + 7);
    const std::size_t end = std::min(text.size(), text.find_first_not_of("0123456789.", at));
    if (end > at) text.replace(at, end - at, "S");
  }
  return text;
}

void RunScenarios(const std::string& name, const Names& names) {
  std::istringstream in(ReadFile(TestDataPath(name)));
  struct Step {
    std::string where, directive, block;
  };
  std::vector<Step> steps;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    const std::string where = name + ":" + std::to_string(++number);
    if (line.starts_with("|")) {
      if (steps.empty()) throw std::runtime_error(where + ": a block without a step");
      steps.back().block += UnescapeField(line.substr(line.starts_with("| ") ? 2 : 1), where) + "\n";
    } else if (!line.empty() && line[0] != '#') {
      steps.push_back({where, line, ""});
    }
  }
  const TempDir dir;
  Names all = names;
  all.emplace_back("$DIR", dir.path());
  std::string input;
  ToolResult last;
  bool ran = false;
  for (const Step& s : steps) {
    const std::string directive = Substitute(s.directive, all);
    if (directive.starts_with("file ")) {
      dir.File(directive.substr(5), s.block);
    } else if (directive == "stdin" || directive == "stdin unended") {
      input = directive == "stdin" ? s.block : s.block.substr(0, s.block.size() - 1);
    } else if (directive.starts_with("run ")) {
      std::vector<std::string> args = SplitArgs(directive.substr(4), s.where);
      for (std::string& arg : args) arg = UnescapeField(arg, s.where);
      last = RunTool(args, input);
      input.clear();
      ran = true;
    } else if (!ran) {
      throw std::runtime_error(s.where + ": a check before any run");
    } else if (directive.starts_with("status ")) {
      EXPECT_EQ(last.status, std::stoi(directive.substr(7))) << s.where << "\n" << last.err;
    } else if (directive == "out") {
      EXPECT_EQ(Steady(last.out), s.block) << s.where << "\n" << last.err;
    } else if (directive == "out has" || directive == "err has") {
      const std::string& text = directive == "out has" ? last.out : last.err;
      EXPECT_NE(text.find(s.block.substr(0, s.block.size() - 1)), std::string::npos) << s.where << "\n" << text;
    } else if (directive.starts_with("contents ")) {
      EXPECT_EQ(Steady(ReadFile(dir.Path(directive.substr(9)))), s.block) << s.where;
    } else {
      throw std::runtime_error(s.where + ": no such step: " + s.directive);
    }
  }
  if (!ran) throw std::runtime_error(name + ": no run");
}

}  // namespace korvix::testing
