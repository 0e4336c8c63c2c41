// Case files: tables of inputs and expected results that the tests run,
// kept under tests/ as data, so that a case is a line and not code.
//
// One case a line, its fields apart by single tabs (an empty field is
// nothing between two tabs). Empty lines and lines starting with '#' are
// skipped. In a field, \t \n \r \\ and \xHH stand for those bytes.
//
// A file that is missing, holds no case, has a line with another number of
// fields or an unknown escape throws: a broken table must fail its test,
// never pass by testing nothing.
#ifndef KORVIX_TESTS_CASE_FILE_H_
#define KORVIX_TESTS_CASE_FILE_H_

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvix::testing {

struct Case {
  std::string where;  // "file:line", for messages
  std::vector<std::string> fields;
  const std::string& operator[](std::size_t i) const { return fields.at(i); }
};

// The path of `name` in the source tree, and of `name` under its tests/.
inline std::string SourcePath(const std::string& name) {
  const char* source = std::getenv("KORVIX_SOURCE_DIR");
  if (source == nullptr) throw std::runtime_error("KORVIX_SOURCE_DIR is not set");
  return std::string(source) + "/" + name;
}
inline std::string TestDataPath(const std::string& name) { return SourcePath("tests/" + name); }

// The bytes of the file at `path`; throws when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string UnescapeField(std::string_view text, const std::string& where) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    const char c = i + 1 < text.size() ? text[++i] : '\0';
    if (c == 't' || c == 'n' || c == 'r' || c == '\\') {
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    } else if (c == 'x' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      throw std::runtime_error(where + ": unknown escape in \"" + std::string(text) + "\"");
    }
  }
  return out;
}

// The cases of `text`, each with `columns` fields, or up to `most` when
// more; `name` for messages.
inline std::vector<Case> ParseCases(const std::string& text, std::size_t columns, const std::string& name,
                                    std::size_t most = 0) {
  std::vector<Case> cases;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Case c{name + ":" + std::to_string(number), {}};
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find('\t', start);
      c.fields.push_back(UnescapeField(std::string_view(line).substr(start, tab - start), c.where));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (c.fields.size() < columns || c.fields.size() > std::max(columns, most)) {
      throw std::runtime_error(c.where + ": " + std::to_string(c.fields.size()) + " fields, not " +
                               std::to_string(columns));
    }
    cases.push_back(std::move(c));
  }
  if (cases.empty()) throw std::runtime_error(name + ": no cases");
  return cases;
}

// The values of a field that lists several apart by `separator`; none when
// the field is empty.
inline std::vector<std::string> SplitField(const std::string& field, char separator = ';') {
  if (field.empty()) return {};
  std::vector<std::string> parts(1);
  for (char c : field) c == separator ? (void)parts.emplace_back() : parts.back().push_back(c);
  return parts;
}

using Names = std::vector<std::pair<std::string, std::string>>;

// `text` with each name of `names` replaced by its value.
inline std::string Substitute(std::string text, const Names& names) {
  for (const auto& [name, value] : names) {
    for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size()) {
      text.replace(at, name.size(), value);
    }
  }
  return text;
}

// The fields of `c` from `first` on with `names` replaced: a command's arguments.
inline std::vector<std::string> Arguments(const Case& c, std::size_t first, const Names& names) {
  std::vector<std::string> args;
  for (std::size_t i = first; i < c.fields.size(); ++i) args.push_back(Substitute(c[i], names));
  return args;
}

// The cases of the file `name` under tests/.
inline std::vector<Case> ReadCases(const std::string& name, std::size_t columns, std::size_t most = 0) {
  return ParseCases(ReadFile(TestDataPath(name)), columns, name, most);
}

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_CASE_FILE_H_
