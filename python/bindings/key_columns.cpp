#include "key_columns.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text.h"

namespace korvix::python {
namespace {

// The list of the keys of records 0 to count - 1, where key_one(i, &key)
// writes the key of record i without touching Python. Blocks of records
// are keyed on `threads` threads (0: all cores) with the GIL released;
// this thread, the only one that touches Python, takes the GIL to make the
// str objects of each block as soon as it and those before it are done, and
// keys blocks itself while none is, so that making the strings, which only
// one thread can do, overlaps keying.
template <class KeyOne>
py::list KeysInBlocks(std::size_t count, unsigned threads, KeyOne&& key_one) {
  constexpr std::size_t kBlock = 8192;
  const std::size_t blocks = (count + kBlock - 1) / kBlock;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::clamp<std::size_t>(blocks, 1, threads));
  std::vector<TextRun> keys(blocks);
  std::vector<std::atomic<bool>> done(blocks);
  std::atomic<std::size_t> next{0};
  // Keys the next block not taken yet; false when there is none.
  const auto key_block = [&](std::string* key) {
    const std::size_t block = next.fetch_add(1);
    if (block >= blocks) return false;
    TextRun& run = keys[block];
    const std::size_t end = std::min(count, (block + 1) * kBlock);
    run.Reserve(end - block * kBlock);
    for (std::size_t i = block * kBlock; i < end; ++i) {
      key_one(i, key);
      run.Add(*key);
    }
    done[block].store(true, std::memory_order_release);
    done[block].notify_one();
    return true;
  };
  py::list list(count);
  py::gil_scoped_release release;
  std::vector<std::jthread> pool;
  for (unsigned t = 1; t < threads; ++t) {
    pool.emplace_back([&key_block] {
      std::string key;
      while (key_block(&key)) {
      }
    });
  }
  std::string key;
  for (std::size_t made = 0; made < blocks;) {
    if (done[made].load(std::memory_order_acquire)) {
      py::gil_scoped_acquire gil;
      PutStrs(keys[made], list, made * kBlock);
      keys[made] = TextRun();
      ++made;
    } else if (!key_block(&key)) {
      done[made].wait(false, std::memory_order_acquire);
    }
  }
  return list;
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
  return KeysInBlocks(count, threads, [&](std::size_t i, std::string* key) {
    thread_local std::string utf8;
    builder.Key(Utf8Of(refs[i], &utf8), key);
  });
}

namespace {

// The columns of KeysFromColumns, each read whole, and their row count.
std::vector<Column> ReadColumns(py::handle columns, std::size_t* rows) {
  std::vector<Column> read;
  std::optional<std::size_t> count;
  std::size_t first = 0;  // the column that set the row count
  for (py::handle values : py::iter(columns)) {
    const std::size_t number = read.size();
    read.push_back(ReadColumn(values, number));
    if (values.is_none()) continue;
    const std::size_t size = read.back().values.size();
    if (!count) {
      count = size;
      first = number;
    } else if (size != *count) {
      throw py::value_error("column " + std::to_string(number) + " has " + std::to_string(size) +
                            " values, column " + std::to_string(first) + " has " +
                            std::to_string(*count));
    }
  }
  *rows = count.value_or(0);
  return read;
}

// Sets *record to the record string of row i. Needs no GIL.
void JoinRecord(const std::vector<Column>& read, std::size_t i, std::string* record) {
  thread_local std::string utf8;
  record->clear();
  for (std::size_t c = 0; c < read.size(); ++c) {
    if (c > 0) record->push_back('|');
    if (!read[c].values.empty() && read[c].values[i].width >= 0) {
      AppendItem(Utf8Of(read[c].values[i], &utf8), record);
    }
  }
}

}  // namespace

py::list KeysFromColumns(const KeyBuilder& builder, py::handle columns, unsigned threads) {
  std::size_t rows = 0;
  const std::vector<Column> read = ReadColumns(columns, &rows);
  return KeysInBlocks(rows, threads, [&](std::size_t i, std::string* key) {
    thread_local std::string record;
    JoinRecord(read, i, &record);
    builder.Key(record, key);
  });
}

std::vector<std::string> RecordsFromColumns(py::handle columns) {
  std::size_t rows = 0;
  const std::vector<Column> read = ReadColumns(columns, &rows);
  py::gil_scoped_release release;
  std::vector<std::string> records(rows);
  for (std::size_t i = 0; i < rows; ++i) JoinRecord(read, i, &records[i]);
  return records;
}

}  // namespace korvix::python
