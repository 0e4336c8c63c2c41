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

// Calls fn(part, begin, end) for `parts` disjoint ranges covering [0, n),
// each on a thread of its own (the first on this one), with the GIL released.
template <class Fn>
void InParallel(std::size_t n, std::size_t parts, Fn&& fn) {
  py::gil_scoped_release release;
  const std::size_t chunk = (n + parts - 1) / parts;
  std::vector<std::jthread> pool;
  for (std::size_t part = 1; part < parts; ++part) {
    pool.emplace_back([&fn, part, n, chunk] { fn(part, std::min(n, part * chunk), std::min(n, (part + 1) * chunk)); });
  }
  fn(std::size_t{0}, std::size_t{0}, std::min(n, chunk));
}

// How many threads key `n` records: `threads` (0: all cores), but none for
// fewer than 4096 records, where starting it costs more than it saves.
std::size_t Parts(std::size_t n, unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  return std::clamp<std::size_t>(n / 4096, 1, threads);
}

// A length hint for reserving, 0 when the iterable gives none.
std::size_t Hint(py::handle values) {
  const Py_ssize_t hint = PyObject_LengthHint(values.ptr(), 0);
  if (hint < 0) PyErr_Clear();
  return hint > 0 ? static_cast<std::size_t>(hint) : 0;
}

// One column's values, readable without the GIL.
struct Column {
  std::vector<TextRef> values;  // empty for a column of None; width -1 for None
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
  column.values.reserve(Hint(values));
  column.owners.reserve(Hint(values));
  std::size_t position = 0;
  for (py::handle value : py::iter(values)) {
    TextRef ref;
    ref.width = -1;
    if (!value.is_none()) {
      if (!RefText(value, &ref)) {
        throw py::type_error("column " + std::to_string(number) + ", record " +
                             std::to_string(position) + " is " +
                             std::string(Py_TYPE(value.ptr())->tp_name) + ", not str");
      }
      column.owners.push_back(py::reinterpret_borrow<py::object>(value));
    }
    column.values.push_back(ref);
    ++position;
  }
  return column;
}

}  // namespace

py::list KeysOfRecords(const KeyBuilder& builder, py::handle records, unsigned threads) {
  // A sequence of our own holds every record while the GIL is released,
  // whatever happens to the caller's meanwhile; a list or tuple is taken in
  // one pass, each record looked at once.
  const bool sequence = PyList_Check(records.ptr()) || PyTuple_Check(records.ptr());
  const auto held = py::reinterpret_steal<py::object>(
      sequence ? PyTuple_New(PySequence_Fast_GET_SIZE(records.ptr())) : PySequence_Tuple(records.ptr()));
  if (!held) throw py::error_already_set();
  const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(held.ptr()));
  std::vector<TextRef> refs(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto at = static_cast<Py_ssize_t>(i);
    if (sequence) PyTuple_SET_ITEM(held.ptr(), at, Py_NewRef(PySequence_Fast_ITEMS(records.ptr())[at]));
    PyObject* record = PyTuple_GET_ITEM(held.ptr(), at);
    if (!RefText(record, &refs[i])) {
      throw py::type_error("record " + std::to_string(i) + " is " +
                           std::string(Py_TYPE(record)->tp_name) + ", not str");
    }
  }
  std::vector<TextRun> keys(Parts(count, threads));
  InParallel(count, keys.size(), [&](std::size_t part, std::size_t begin, std::size_t end) {
    std::string utf8, key;
    keys[part].Reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
      builder.Key(Utf8Of(refs[i], &utf8), &key);
      keys[part].Add(key);
    }
  });
  return StrList(keys);
}

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
  std::vector<TextRun> keys(Parts(count, threads));
  InParallel(count, keys.size(), [&](std::size_t part, std::size_t begin, std::size_t end) {
    std::string record, utf8, key;
    for (std::size_t i = begin; i < end; ++i) {
      record.clear();
      for (std::size_t c = 0; c < read.size(); ++c) {
        if (c > 0) record.push_back('|');
        if (!read[c].values.empty() && read[c].values[i].width >= 0) {
          AppendItem(Utf8Of(read[c].values[i], &utf8), &record);
        }
      }
      builder.Key(record, &key);
      keys[part].Add(key);
    }
  });
  return StrList(keys);
}

}  // namespace korvix::python
