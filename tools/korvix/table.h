// Plain-text tables with aligned columns.
#ifndef KORVIX_TOOLS_TABLE_H_
#define KORVIX_TOOLS_TABLE_H_

#include <string>
#include <vector>

namespace korvix::cli {

// Rows of UTF-8 cells, printed with each column as wide as its widest cell
// (counted in terminal columns, so umlauts and wide characters align), two blanks between columns.
class TextTable {
 public:
  explicit TextTable(std::vector<std::string> header) { rows_.push_back(std::move(header)); }
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  std::string Render() const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_TABLE_H_
