// Keys of records that come as columns of values, such as the columns of a
// DataFrame: the record strings are joined here, on all cores, instead of
// in Python.
#ifndef KORVIX_PYTHON_KEY_COLUMNS_H_
#define KORVIX_PYTHON_KEY_COLUMNS_H_

#include <pybind11/pybind11.h>

#include "korvix/key_builder.h"

namespace korvix::python {

// The keys of the records whose item n + 1 is `columns[n][i]`: each column
// an iterable of str, bytes or None (an empty item), or None for a column
// that is empty in every record. Within a value, "|" and each line break
// (CRLF, LF, CR) become one blank, since a record string has no quoting.
// Raises TypeError for a value of another type and ValueError when the
// columns differ in length. Needs the GIL; releases it while keying.
pybind11::list KeysFromColumns(const KeyBuilder& builder, pybind11::handle columns,
                               unsigned threads);

}  // namespace korvix::python

#endif  // KORVIX_PYTHON_KEY_COLUMNS_H_
