// Memory sizes: the default limit of a dedupe run, and sizes as people
// write and read them.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dedupe/core/error.h"
#include "korvix/dedupe.h"

namespace korvix {

std::uint64_t DefaultDedupeMemory() {
  // Half the machine: room for the host and the page cache, and a file of
  // ten million customers (about 3.5 GB) still fits a machine of 8 GB.
  constexpr std::uint64_t kUnknown = std::uint64_t{2} << 30;
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return kUnknown;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page) / 2;
}

std::uint64_t ReadMemorySize(std::string_view text) {
  const auto refuse = [&] {
    return dedupe::UsageError("a memory size is bytes or a number with K, M, G or T, such as 512M or 2G, not '" +
                              std::string(text) + "'");
  };
  std::string number(text);
  double unit = 1;
  if (!number.empty()) {
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(number.back())));
    const std::string_view units = "KMGT";
    if (const std::size_t at = units.find(last); at != std::string_view::npos) {
      unit = std::ldexp(1.0, 10 * static_cast<int>(at + 1));
      number.pop_back();
    }
  }
  if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) throw refuse();
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end) * unit;
  if (end != number.c_str() + number.size() || !(value >= 1) || value > 1e18) throw refuse();
  return static_cast<std::uint64_t>(value);
}

std::string MemorySizeText(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  char text[32];
  const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  double size = static_cast<double>(bytes) / 1024;
  int unit = 0;
  for (; unit < 3 && size >= 1024; ++unit) size /= 1024;
  std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
  return text;
}

}  // namespace korvix
