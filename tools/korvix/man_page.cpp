// korvix_man: writes the manual page korvix(1) to standard output, from the
// same texts that 'korvix --help' and 'korvix COMMAND --help' print, so the
// two never disagree. The build runs it and installs the page.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli.h"
#include "commands.h"

namespace korvix::cli {
namespace {

// `text` as troff reads it literally: backslashes escaped, hyphens as the
// minus that a shell command needs, no line starting with a control
// character. Blank lines start new paragraphs.
std::string Roff(std::string_view text) {
  std::string out;
  bool line_start = true;
  for (const char c : text) {
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    line_start = c == '\n';
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  for (std::size_t at = out.find("\n\n"); at != std::string::npos; at = out.find("\n\n", at)) {
    out.replace(at, 2, "\n.PP\n");
  }
  return out;
}

// A "Heading: text" paragraph as a section of its own.
std::string Section(std::string_view paragraph) {
  const std::size_t colon = paragraph.find(": ");
  std::string heading(paragraph.substr(0, colon));
  for (char& c : heading) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return ".SH " + heading + "\n" + Roff(paragraph.substr(colon + 2)) + "\n";
}

std::string Option(char letter, std::string_view name, std::string_view value,
                   std::string_view help) {
  std::string out = ".TP\n";
  if (letter != 0) out += std::string("\\fB\\-") + letter + "\\fR, ";
  out += "\\fB" + Roff("--" + std::string(name)) + "\\fR";
  if (!value.empty()) out += " \\fI" + Roff(value) + "\\fR";
  return out + "\n" + Roff(help) + "\n";
}

std::string CommandSection(const Command& command, const std::string& path) {
  std::string out = ".SS \"" + path + "\"\n.B " + path + "\n" + Roff(command.usage) + "\n.PP\n" +
                    Roff(command.description) + "\n";
  for (const OptionDef& o : command.options) {
    out += Option(ShortName(o.name), o.name, o.value, o.help);
  }
  for (const Command* sub : command.subcommands) {
    out += CommandSection(*sub, path + " " + std::string(sub->name));
  }
  return out;
}

std::string ManPage() {
  std::string page =
      ".\\\" -*- coding: UTF-8 -*-\n"
      ".\\\" Made by korvix_man from the help texts of korvix: change those, not this page.\n"
      ".TH KORVIX 1 \"\" \"" + std::string(kVersion) + "\" \"User Commands\"\n.nh\n"
      ".SH NAME\nkorvix \\- duplicate keys for address and customer records\n"
      ".SH SYNOPSIS\n.B korvix\n\\fICOMMAND\\fR [\\fIOPTIONS\\fR] [\\fIFILE\\fR...]\n"
      ".SH DESCRIPTION\nDuplicate keys for address and customer records. Every command takes\n"
      "\\fB\\-h\\fR, \\fB\\-\\-help\\fR and \\fB\\-\\-version\\fR.\n.SH COMMANDS\n";
  for (const Command* c : AllCommands()) {
    page += CommandSection(*c, "korvix " + std::string(c->name));
  }
  return page + Section(kExitStatusText) + Section(kEnvironmentText);
}

}  // namespace
}  // namespace korvix::cli

int main() {
  const std::string page = korvix::cli::ManPage();
  const bool written = std::fwrite(page.data(), 1, page.size(), stdout) == page.size();
  return written && std::fflush(stdout) == 0 ? 0 : 1;
}
