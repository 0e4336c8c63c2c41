"""Records in pandas DataFrames: their columns mapped to the record fields,
their record strings, and the dedupe job on them.

The columns are found by name with the component's own table, the one that
`korvix dedupe` reads CSV headers with: each field accepts its label and
common German and English names (PLZ/Postleitzahl/zip, Ort/Stadt/city,
Straße/Strasse/street, Bez1/Name1/name/Firma, Bez2/Name2/Vorname, ...),
without regard to case and to blanks, "_", "-" and "." inside the name.
`columns` ties fields to columns explicitly; the other fields keep the
columns their names give.

    >>> import korvix, pandas as pd
    >>> frame = pd.DataFrame({"PLZ": ["10115", "10115"], "Ort": ["Berlin", "Berlin"],
    ...                       "Strasse": ["Hauptstr. 1", "Hauptstraße 1"],
    ...                       "Name": ["Meier", "Dr. Mayer"]})
    >>> korvix.dedupe(frame)["group"].tolist()
    [1, 1]
"""

from __future__ import annotations

import os
from typing import Dict, Mapping, Optional, Sequence, Tuple, Union

import pandas as pd

from . import _korvix

__all__ = ["FIELDS", "dedupe", "field_columns", "record_strings"]

#: The items of a record string, in order.
FIELDS = tuple(label for number, label, _ in sorted(_korvix.record_fields()) if number <= 9)

Algorithms = Optional[Sequence[Union[str, Tuple[str, str]]]]


def field_columns(
    columns: Sequence[object], mapping: Optional[Mapping[str, object]] = None
) -> Dict[str, Optional[object]]:
    """The column that feeds each field (None for none): `mapping` (field
    label -> column name; labels in any case, "Strasse" too) first, then the
    columns whose names the component recognises, the most specific name
    and then the first column winning. A column named in `mapping` feeds
    only the fields named with it. Raises ValueError for an unknown field,
    a missing column, or when no column feeds any field."""
    columns = list(columns)
    result: Dict[str, Optional[object]] = {field: None for field in FIELDS}
    taken = set()
    for label, column in (mapping or {}).items():
        item = _korvix.field_of_label(str(label))
        if item == 0:
            raise ValueError(f"unknown field {label!r}; the fields are {', '.join(FIELDS)}")
        if column not in columns:
            raise ValueError(f"field {FIELDS[item - 1]} names column {column!r}, which is not there")
        result[FIELDS[item - 1]] = column
        taken.add(columns.index(column))
    tied = {field for field, column in result.items() if column is not None}
    best: Dict[str, int] = {}
    for position, column in enumerate(columns):
        item, rank = _korvix.field_of_column(str(column))
        if item == 0 or position in taken or FIELDS[item - 1] in tied:
            continue
        field = FIELDS[item - 1]
        if field not in best or rank < best[field]:
            best[field] = rank
            result[field] = column
    if all(column is None for column in result.values()):
        raise ValueError(
            "no column names an address field; name them "
            + ", ".join(FIELDS)
            + " or pass columns={field: column}"
        )
    return result


def _text(series: pd.Series) -> pd.Series:
    # A record string has no quoting: "|" and line breaks inside a value
    # would shift or split the record, so each becomes one blank.
    text = series.astype(object).where(series.notna(), "").astype(str)
    return text.str.replace(r"\r\n|[\r\n|]", " ", regex=True)


def record_strings(frame: pd.DataFrame, columns: Mapping[str, Optional[object]]) -> pd.Series:
    """The record string of every row, with the columns that field_columns()
    gave."""
    parts = [
        _text(frame[columns[field]])
        if columns.get(field) is not None
        else pd.Series("", index=frame.index, dtype=object)
        for field in FIELDS
    ]
    if len(frame) == 0:
        return pd.Series([], index=frame.index, dtype=object)
    return parts[0].str.cat(parts[1:], sep="|")


def _algorithms(algorithms: Algorithms):
    if algorithms is None:
        return None
    if isinstance(algorithms, str):
        algorithms = [algorithms]
    return [(a, "") if isinstance(a, str) else (str(a[0]), str(a[1])) for a in algorithms]


def _frame(columns: dict, index) -> pd.DataFrame:
    frame = pd.DataFrame(columns, index=index)
    return frame.astype({"line": "int64", "group": "int64", "algorithm": "int64",
                         "score": "float64"})


def dedupe(
    data: Union[str, os.PathLike, pd.DataFrame],
    algorithms: Algorithms = None,
    *,
    normalize: Optional[bool] = None,
    verify: Optional[float] = None,
    base: Union[None, str, os.PathLike, pd.DataFrame] = None,
    columns: Optional[Mapping[str, object]] = None,
    pairs: bool = False,
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
):
    """The dedupe job of `korvix dedupe` on a file or a DataFrame.

    `algorithms` is a code, a list of codes or of (code, name) pairs, or None
    for the built-in recommendation (which also normalises and verifies;
    `normalize` and `verify` override either choice). For a DataFrame the
    columns are mapped as field_columns() says; for a file (path) it is read
    as the command line reads it (`input_format`, `delimiter`, `map`,
    `strict`). With `base` (a file for a file, a DataFrame for a DataFrame)
    each record is matched against the base's records only.

    Returns a DataFrame with one row per record: for a DataFrame with its
    index, for a file indexed by record number from 1; the columns line,
    group (0 alone, else the group's number as the text report has it; with
    a base, the number of the matched record), key (under the algorithm that
    linked the record), algorithm (1-based, 0 none) and score (verifying).
    With `pairs`, a tuple of that and a DataFrame of the linked pairs: a and
    b (index labels, or record numbers; with a base, b is the base's),
    algorithm and score. Raises ValueError for wrong options or a CSV header
    that does not fit, OSError for a file that cannot be read."""
    chosen = _algorithms(algorithms)
    if isinstance(data, pd.DataFrame):
        strings = record_strings(data, field_columns(data.columns, columns)).tolist()
        base_strings = None
        if base is not None:
            base_strings = record_strings(base, field_columns(base.columns, columns)).tolist()
        result = _korvix.dedupe_records(strings, base_strings, chosen, normalize, verify,
                                        max_candidates, threads)
        index, base_index = data.index, (base.index if base is not None else None)
    else:
        result = _korvix.dedupe_file(os.fspath(data), os.fspath(base) if base is not None else "",
                                     chosen, normalize, verify, input_format, delimiter, map,
                                     strict, max_candidates, threads)
        count = len(result["records"]["line"])
        index = pd.RangeIndex(1, count + 1, name="record")
        base_index = pd.RangeIndex(1, len(result["base_records"]["line"]) + 1, name="record")
    records = _frame(result["records"], index)
    if not pairs:
        return records
    found = pd.DataFrame(result["pairs"], columns=["a", "b", "algorithm", "score"])
    found["a"] = index[found["a"]] if len(found) else found["a"]
    other = base_index if base is not None else index
    found["b"] = other[found["b"]] if len(found) else found["b"]
    return records, found
