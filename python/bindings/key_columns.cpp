#include "key_columns.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text.h"

namespace korvix::python {
namespace {

// One column's values, readable without the GIL.
struct Column {
  std::vector<std::string_view> values;  // empty for a column of None
  std::vector<py::object> owners;
};

// Appends `value` to a record string: "|" and line breaks become blanks.
void AppendItem(std::string_view value, std::string* record) {
  if (value.find_first_of("|\r\n") == std::string_view::npos) {
    record->append(value);
    return;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
    record->push_back(c == '|' || c == '\r' || c == '\n' ? ' ' : c);
  }
}

Column ReadColumn(py::handle values, std::size_t number) {
  Column column;
  if (values.is_none()) return column;
  const Py_ssize_t hint = PyObject_LengthHint(values.ptr(), 0);
  if (hint > 0) {
    column.values.reserve(static_cast<std::size_t>(hint));
    column.owners.reserve(static_cast<std::size_t>(hint));
  } else if (hint < 0) {
    PyErr_Clear();
  }
  std::size_t position = 0;
  for (py::handle value : py::iter(values)) {
    Text text;
    if (!value.is_none() && !ReadText(value, &text)) {
      throw py::type_error("column " + std::to_string(number) + ", record " +
                           std::to_string(position) + " is " +
                           std::string(Py_TYPE(value.ptr())->tp_name) + ", not str");
    }
    column.values.push_back(text.view);
    if (text.owner) column.owners.push_back(std::move(text.owner));
    ++position;
  }
  return column;
}

}  // namespace

py::list KeysFromColumns(const KeyBuilder& builder, py::handle columns, unsigned threads) {
  std::vector<Column> read;
  std::optional<std::size_t> rows;
  std::size_t first = 0;  // the column that set the row count
  for (py::handle values : py::iter(columns)) {
    const std::size_t number = read.size();
    read.push_back(ReadColumn(values, number));
    if (values.is_none()) continue;
    const std::size_t size = read.back().values.size();
    if (!rows) {
      rows = size;
      first = number;
    } else if (size != *rows) {
      throw py::value_error("column " + std::to_string(number) + " has " + std::to_string(size) +
                            " values, column " + std::to_string(first) + " has " +
                            std::to_string(*rows));
    }
  }
  const std::size_t count = rows.value_or(0);
  std::vector<std::string> keys(count);
  {
    py::gil_scoped_release release;
    const auto run = [&](std::size_t begin, std::size_t end) {
      std::string record;
      for (std::size_t i = begin; i < end; ++i) {
        record.clear();
        for (std::size_t c = 0; c < read.size(); ++c) {
          if (c > 0) record.push_back('|');
          if (!read[c].values.empty()) AppendItem(read[c].values[i], &record);
        }
        builder.Key(record, &keys[i]);
      }
    };
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    // Below this many records per thread, starting threads costs more than it saves.
    constexpr std::size_t kMinPerThread = 4096;
    threads = static_cast<unsigned>(
        std::min<std::size_t>(threads, std::max<std::size_t>(1, count / kMinPerThread)));
    const std::size_t chunk = (count + threads - 1) / std::max(1u, threads);
    std::vector<std::jthread> pool;
    for (std::size_t begin = chunk; begin < count; begin += chunk) {
      pool.emplace_back(run, begin, std::min(count, begin + chunk));
    }
    run(0, std::min(count, chunk));
  }
  py::list result(count);
  for (std::size_t i = 0; i < count; ++i) {
    PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(i), ToStr(keys[i]).release().ptr());
  }
  return result;
}

}  // namespace korvix::python
