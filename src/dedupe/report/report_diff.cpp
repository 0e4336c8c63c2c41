#include "dedupe/report/report_diff.h"

#include <algorithm>

#include "base/text.h"

namespace korvix::dedupe {

std::span<const Edit> CharDiff::Diff(std::u32string_view from, std::u32string_view to) {
  script_.clear();
  // The common start and end need no table, and are most of a duplicate.
  std::size_t head = 0;
  while (head < from.size() && head < to.size() && from[head] == to[head]) ++head;
  std::size_t tail = 0;
  while (tail < from.size() - head && tail < to.size() - head &&
         from[from.size() - 1 - tail] == to[to.size() - 1 - tail]) {
    ++tail;
  }
  const std::u32string_view a = from.substr(head, from.size() - head - tail);
  const std::u32string_view b = to.substr(head, to.size() - head - tail);
  script_.assign(head, Edit::kKeep);
  const std::size_t n = a.size(), m = b.size();
  if ((n + 1) * (m + 1) > kMaxCells) {
    script_.insert(script_.end(), std::min(n, m), Edit::kReplace);
    script_.insert(script_.end(), n > m ? n - m : m - n, n > m ? Edit::kDelete : Edit::kInsert);
  } else {
    // cost(i, j): edits that turn a[i..] into b[j..], filled from the end so
    // that the script can be read off forwards.
    const std::size_t w = m + 1;
    table_.resize((n + 1) * w);
    const auto cost = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return table_[i * w + j]; };
    for (std::size_t i = n + 1; i-- > 0;) {
      for (std::size_t j = m + 1; j-- > 0;) {
        if (i == n || j == m) {
          cost(i, j) = static_cast<std::uint32_t>(n - i + m - j);
        } else {
          cost(i, j) = std::min({cost(i + 1, j + 1) + (a[i] == b[j] ? 0u : 1u), cost(i, j + 1) + 1,
                                 cost(i + 1, j) + 1});
        }
      }
    }
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && cost(i, j) == cost(i + 1, j + 1) + (a[i] == b[j] ? 0u : 1u)) {
        script_.push_back(a[i] == b[j] ? Edit::kKeep : Edit::kReplace);
        ++i, ++j;
      } else if (j < m && cost(i, j) == cost(i, j + 1) + 1) {
        script_.push_back(Edit::kInsert);
        ++j;
      } else {
        script_.push_back(Edit::kDelete);
        ++i;
      }
    }
  }
  script_.insert(script_.end(), tail, Edit::kKeep);
  return script_;
}

void ForEachMarked(CharDiff& diff, std::u32string_view first, std::u32string_view other,
                   const std::function<void(Mark, char32_t)>& visit) {
  std::size_t i = 0, j = 0;
  for (const Edit e : diff.Diff(first, other)) {
    if (e == Edit::kDelete) {
      visit(Mark::kLacking, first[i++]);
    } else {
      visit(e == Edit::kKeep ? Mark::kSame : Mark::kOwn, other[j++]);
      i += e != Edit::kInsert;
    }
  }
}

void DecodeUtf8(std::string_view utf8, std::u32string* out) {
  out->clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const text::Character c = text::DecodeCharacter(utf8, i);
    out->push_back(c.code);
    i += c.length;
  }
}

}  // namespace korvix::dedupe
