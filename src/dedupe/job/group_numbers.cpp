#include "dedupe/job/group_numbers.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include "dedupe/core/error.h"
#include "dedupe/read/csv_reader.h"
#include "korvix/fields.h"

namespace korvix::dedupe {

namespace {

constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

// A whole number of up to nine digits, or -1.
std::int64_t Number(std::string_view text) {
  if (text.empty() || text.size() > 9) return -1;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::uint32_t PreviousGroups::Of(std::uint32_t record, std::string_view id) const {
  if (by_id) {
    const auto it = of_id.find(std::string(id));
    return it == of_id.end() ? 0 : it->second;
  }
  return record < of_record.size() ? of_record[record] : 0;
}

PreviousGroups ReadPreviousGroups(const std::string& path, bool by_id) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IoError("cannot open " + path + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  CsvReader reader(fd, path);
  CsvRecord row;
  if (!reader.Next(&row)) throw IoError(path + ": empty, no header");
  if (!row.ok()) throw IoError(row.error);
  std::size_t group = kAbsent, record = kAbsent, id = kAbsent;
  for (std::size_t i = 0; i < row.fields.size(); ++i) {
    const std::string name = FoldColumnName(row.fields[i], true);
    if (name == "group" && group == kAbsent) group = i;
    if (name == "record" && record == kAbsent) record = i;
    if (name == "id" && id == kAbsent) id = i;
    if (name == "baserecord") throw UsageError(path + ": a report against a base, which has no groups");
  }
  if (group == kAbsent || record == kAbsent || (by_id && id == kAbsent)) {
    throw UsageError(path + ": not a CSV report of groups: the header needs the columns group, record" +
                     (by_id ? ", id (the run gives --id)" : ""));
  }
  PreviousGroups previous;
  previous.by_id = by_id;
  while (reader.Next(&row)) {
    if (!row.ok()) throw IoError(row.error);
    if (row.fields.size() == 1 && row.fields[0].empty()) continue;  // an empty line
    const auto field = [&](std::size_t column) {
      return column < row.fields.size() ? row.fields[column] : std::string_view();
    };
    const std::int64_t g = Number(field(group)), r = Number(field(record));
    if (g < 0 || r < 1) {
      throw UsageError(path + ": line " + std::to_string(row.line) + ": no group and record number");
    }
    const auto number = static_cast<std::uint32_t>(g);
    previous.highest = std::max(previous.highest, number);
    if (number == 0) continue;
    if (by_id) {
      previous.of_id.emplace(std::string(field(id)), number);
    } else {
      if (previous.of_record.size() < static_cast<std::size_t>(r)) previous.of_record.resize(static_cast<std::size_t>(r));
      previous.of_record[static_cast<std::size_t>(r - 1)] = number;
    }
  }
  return previous;
}

void KeepGroupNumbers(const PreviousGroups& previous,
                      const std::function<std::string_view(std::uint32_t)>& id_of, Links* links) {
  // How many records each group of this run shares with each earlier group.
  struct Overlap {
    std::uint32_t count, group, earlier;  // group: 0-based in report order
  };
  std::vector<Overlap> overlaps;
  std::unordered_map<std::uint32_t, std::uint32_t> counts;  // earlier number -> records
  std::size_t begin = 0;
  for (std::size_t g = 0; g < links->group_ends.size(); ++g) {
    counts.clear();
    for (std::size_t k = begin; k < links->group_ends[g]; ++k) {
      const std::uint32_t r = links->members[k];
      const std::uint32_t earlier = previous.Of(r, previous.by_id ? id_of(r) : std::string_view());
      if (earlier != 0) ++counts[earlier];
    }
    for (const auto& [earlier, count] : counts) {
      overlaps.push_back({count, static_cast<std::uint32_t>(g), earlier});
    }
    begin = links->group_ends[g];
  }
  std::sort(overlaps.begin(), overlaps.end(), [](const Overlap& x, const Overlap& y) {
    return std::tuple(y.count, x.group, x.earlier) < std::tuple(x.count, y.group, y.earlier);
  });
  std::vector<std::uint32_t> numbers(links->group_ends.size(), 0);
  std::unordered_map<std::uint32_t, bool> taken;
  for (const Overlap& o : overlaps) {
    if (numbers[o.group] != 0 || taken[o.earlier]) continue;
    numbers[o.group] = o.earlier;
    taken[o.earlier] = true;
  }
  std::uint32_t next = previous.highest;
  for (std::uint32_t& n : numbers) {
    if (n == 0) n = ++next;
  }
  for (std::uint32_t& g : links->group) {
    if (g != 0) g = numbers[g - 1];
  }
  links->numbers = std::move(numbers);
}

}  // namespace korvix::dedupe
