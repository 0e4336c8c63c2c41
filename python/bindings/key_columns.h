// Keys of many records at once, given as record strings or as the columns
// of a DataFrame. Python objects are only looked at with the GIL held; their
// text is read, keyed and the record strings of columns are joined on all
// cores with the GIL released.
#ifndef KORVIX_PYTHON_KEY_COLUMNS_H_
#define KORVIX_PYTHON_KEY_COLUMNS_H_

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "korvix/key_builder.h"

namespace korvix::python {

// The keys of an iterable of record strings (str or bytes), in order, on
// `threads` threads (0: all cores). Raises TypeError naming the position of
// a record of another type. Needs the GIL; releases it while keying.
pybind11::list KeysOfRecords(const KeyBuilder& builder, pybind11::handle records, unsigned threads);

// The keys of the records whose item n + 1 is `columns[n][i]`: each column
// an iterable of str, bytes or None (an empty item), or None for a column
// that is empty in every record. Within a value, "|" and each line break
// (CRLF, LF, CR) become one blank, since a record string has no quoting.
// Raises TypeError for a value of another type and ValueError when the
// columns differ in length. Needs the GIL; releases it while keying.
pybind11::list KeysFromColumns(const KeyBuilder& builder, pybind11::handle columns,
                               unsigned threads);

// The record strings of such columns, as KeysFromColumns joins them.
std::vector<std::string> RecordsFromColumns(pybind11::handle columns);

}  // namespace korvix::python

#endif  // KORVIX_PYTHON_KEY_COLUMNS_H_
