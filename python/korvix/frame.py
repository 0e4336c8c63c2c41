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

import operator
import os
import tempfile
from typing import Dict, Mapping, Optional, Sequence, Tuple, Union

import pandas as pd

from . import _korvix

__all__ = ["FIELDS", "PARTS", "dedupe", "evaluate", "field_columns", "record_strings",
           "sample_pairs"]

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
    columns = {k: v for k, v in columns.items() if k not in ("survivor", "filled")}
    frame = pd.DataFrame(columns, index=index)
    return frame.astype({"line": "int64", "group": "int64", "algorithm": "int64",
                         "score": "float64"})


#: The parts of a pair's score, in the order of korvix.explain()'s "parts".
PARTS = ("kind", "name", "first_name", "street", "house_number", "plz", "town")


def _run(data, algorithms, normalize, verify, base, columns, input_format, delimiter, map,
         strict, max_candidates, threads, sample_pairs=0, survive=None, memory=None, temp_dir=""):
    # The job on a file or a DataFrame: its result, and the labels of the
    # input's and the base's records (index labels, or record numbers).
    chosen = _algorithms(algorithms)
    survive = dict(survive or {})
    if isinstance(data, pd.DataFrame):
        survive.pop("id", None)
        if survive.pop("previous", ""):
            raise ValueError("previous: group numbers are kept for a file, not a DataFrame")
        strings = record_strings(data, field_columns(data.columns, columns)).tolist()
        base_strings = None
        if base is not None:
            base_strings = record_strings(base, field_columns(base.columns, columns)).tolist()
        result = _korvix.dedupe_records(strings, base_strings, chosen, normalize, verify,
                                        max_candidates, threads, sample_pairs, memory=memory,
                                        temp_dir=temp_dir, **survive)
        return result, data.index, (base.index if base is not None else None)
    result = _korvix.dedupe_file(os.fspath(data), os.fspath(base) if base is not None else "",
                                 chosen, normalize, verify, input_format, delimiter, map,
                                 strict, max_candidates, threads, sample_pairs, memory=memory,
                                 temp_dir=temp_dir, **survive)
    index = pd.RangeIndex(1, len(result["records"]["line"]) + 1, name="record")
    base_index = pd.RangeIndex(1, len(result["base_records"]["line"]) + 1, name="record")
    return result, index, base_index


def _relabel(frame: pd.DataFrame, column: str, labels) -> None:
    # 0-based positions to the labels of those records.
    frame[column] = labels[frame[column]] if len(frame) else pd.Series([], dtype=labels.dtype)


def _pairs(rows, index, other) -> pd.DataFrame:
    found = pd.DataFrame(rows, columns=["a", "b", "algorithm", "score", *PARTS])
    found = found.astype({"algorithm": "int64", **{c: "float64" for c in ("score", *PARTS)}})
    _relabel(found, "a", index)
    _relabel(found, "b", other)
    return found


def dedupe(
    data: Union[str, os.PathLike, pd.DataFrame],
    algorithms: Algorithms = None,
    *,
    normalize: Optional[bool] = None,
    verify: Optional[float] = None,
    base: Union[None, str, os.PathLike, pd.DataFrame] = None,
    columns: Optional[Mapping[str, object]] = None,
    pairs: bool = False,
    kept_apart: bool = False,
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
    survivor: Optional[str] = None,
    fill: bool = False,
    clean: Union[None, str, os.PathLike] = None,
    mapping: Union[None, str, os.PathLike] = None,
    id: str = "",
    previous: Union[None, str, os.PathLike] = None,
    memory: Union[None, int, str] = None,
    decisions=None,
    temp_dir: Union[None, str, os.PathLike] = None,
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

    With `pairs` or `kept_apart`, a tuple of that DataFrame and then, in
    this order, the ones asked for:

    - pairs: each linked record's strongest verified pair, the one the
      reports print (with a base, every matched pair; none unverified
      without one), columns a and b (index labels,
      or record numbers; with a base, b is the base's), algorithm, score
      and the parts of the score (kind, name, first_name, street,
      house_number, plz, town, as korvix.explain() names them; 1 where
      nothing was verified). In a run a first name that only one record
      has costs more when the surname is common in the data, so first_name
      and score may lie below what korvix.explain() gives the two alone.
    - kept_apart: the verified pairs that reached the threshold but were not
      joined, because their groups hold two records that are different
      customers: a, b and their score, x (of a's group) and y (of b's
      group), labelled as a and b are, xy_score, and rule (as
      korvix.explain() names it; "parts" when the score of x and y alone
      tells them apart). Empty without verification and with a base.

    With `survivor` (a rule as `korvix dedupe --survivor` takes it:
    "most-complete", "first", "max:COLUMN" or "master:COLUMN"; COLUMN is a
    CSV column of a file, the item number from 1 PLZ to 9 Kundengruppe of a
    DataFrame's record strings), or with `clean` or `mapping` (files
    written as `korvix dedupe --clean` and `--mapping` write them, the rule
    then "most-complete" unless given), one record of each group survives:
    the DataFrame gains a column survivor, the label of the record that
    stands for the row's group (its own when it is alone or survives). With
    `fill` the survivor's empty fields are filled from the others, and a
    column filled holds the filled record (the line of a file, the record
    string of a DataFrame), None where nothing was filled. `id` is the
    mapping's id column, for a file.

    `previous`, for a file: an earlier run's CSV report (`korvix dedupe
    --format csv`); each group that continues one of it keeps its number,
    as `korvix dedupe --previous` keeps it (matched by `id` where given).

    `memory` is what the run may hold, in bytes or as "512M", "2G" (None:
    half the physical memory; at least 16M, else korvix.Error); what does
    not fit goes to temporary files, slower. `temp_dir` is the folder for
    its temporary files (None: $TMPDIR, else /tmp), as `korvix dedupe
    --temp-dir` takes it.

    `decisions`: what people decided, honoured over the scores, as tuples
    ("same", a, b), ("different", a, b), ("survivor", a) or ("value", a,
    column), each record named by korvix.record_identity() (of a file: by
    `id` where given). A pair decided the same is one group, one decided
    different never is; a value decision gives a's value of the column to
    its group's survivor in the clean file.

    Raises ValueError for wrong options or a CSV header that does not fit,
    OSError for a file that cannot be read."""
    survive = {"survivor": survivor or "", "fill": fill, "clean": os.fspath(clean) if clean else "",
               "mapping": os.fspath(mapping) if mapping else "", "id": id,
               "previous": os.fspath(previous) if previous else "", "decisions": decisions}
    result, index, base_index = _run(data, algorithms, normalize, verify, base, columns,
                                     input_format, delimiter, map, strict, max_candidates,
                                     threads, survive=survive, memory=memory,
                                     temp_dir=os.fspath(temp_dir) if temp_dir else "")
    records = _frame(result["records"], index)
    if survivor or clean or mapping:
        records["survivor"] = index[result["records"]["survivor"]]
        if fill:
            records["filled"] = pd.Series(result["records"]["filled"], index=index, dtype=object)
    if not pairs and not kept_apart:
        return records
    frames = [records]
    if pairs:
        frames.append(_pairs(result["pairs"], index, base_index if base is not None else index))
    if kept_apart:
        apart = pd.DataFrame(result["kept_apart"],
                             columns=["a", "b", "score", "x", "y", "xy_score", "rule"])
        apart = apart.astype({"score": "float64", "xy_score": "float64", "rule": object})
        for column in ("a", "b", "x", "y"):
            _relabel(apart, column, index)
        frames.append(apart)
    return tuple(frames)


def sample_pairs(
    data: Union[str, os.PathLike, pd.DataFrame],
    n: int,
    algorithms: Algorithms = None,
    *,
    normalize: Optional[bool] = None,
    verify: Optional[float] = None,
    base: Union[None, str, os.PathLike, pd.DataFrame] = None,
    columns: Optional[Mapping[str, object]] = None,
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
) -> pd.DataFrame:
    """At most `n` candidate pairs of the job that dedupe() runs with the
    same arguments, spread over the scores from 0 to 1, for a person to
    label, as `korvix dedupe --sample-pairs N` writes them. Sampling goes by
    the scores, so the run must verify (the recommendation does).

    Returns a DataFrame, highest score first, with the columns record_a and
    record_b (record numbers from 1: the line of a file of record strings,
    the data row of a CSV file, the row position of a DataFrame; with a
    base, record_b is the base's), for a DataFrame index_a and index_b (the
    two rows' index labels), score, the parts of the score (kind, name,
    first_name, street, house_number, plz, town) and same: None, to be set
    True or False (or "ja"/"nein", ...) and handed to evaluate().

    Raises ValueError for n below 1, without verification, and where
    dedupe() raises it; OSError for a file that cannot be read."""
    n = operator.index(n)
    if n < 1:
        raise ValueError(f"sample_pairs takes a number of pairs from 1, not {n}")
    result, index, base_index = _run(data, algorithms, normalize, verify, base, columns,
                                     input_format, delimiter, map, strict, max_candidates,
                                     threads, n)
    found = pd.DataFrame(result["samples"],
                         columns=["record_a", "record_b", "algorithm", "score", *PARTS])
    found = found.drop(columns="algorithm").astype(
        {"record_a": "int64", "record_b": "int64", **{c: "float64" for c in ("score", *PARTS)}})
    if isinstance(data, pd.DataFrame):
        other = base_index if base is not None else index
        found.insert(2, "index_a", index[found["record_a"]] if len(found) else [])
        found.insert(3, "index_b", other[found["record_b"]] if len(found) else [])
    found["record_a"] += 1
    found["record_b"] += 1
    found["same"] = pd.Series([None] * len(found), index=found.index, dtype=object)
    return found


def _label(value, row: int) -> Optional[bool]:
    # A label as people write it, read as ReadLabelledPairs reads a CSV
    # cell; None where it is empty (not labelled).
    if value is None or (pd.api.types.is_scalar(value) and pd.isna(value)):
        return None
    if isinstance(value, str):
        folded = _korvix.fold_column_name(value)
        if not folded:
            return None
        if folded in ("yes", "ja", "y", "j", "1", "true", "same"):
            return True
        if folded in ("no", "nein", "n", "0", "false", "different"):
            return False
    elif isinstance(value, (bool, int, float)) or type(value).__module__ == "numpy":
        if value in (0, 1):
            return bool(value)
    raise ValueError(f"label {row + 1}: same is {value!r}, not yes or no")


def _record_number(value, row: int) -> int:
    try:
        number = operator.index(value)
    except TypeError:
        number = int(value) if isinstance(value, float) and value.is_integer() else None
    if number is None or number < 1:
        raise ValueError(f"label {row + 1}: {value!r} is no record number (from 1)")
    return number


def _labels(labels) -> list:
    if isinstance(labels, (str, os.PathLike)):
        return _korvix.read_labelled_pairs(os.fspath(labels))
    if isinstance(labels, pd.DataFrame):
        # The columns as ReadLabelledPairs finds them in a header.
        names = {_korvix.fold_column_name(str(c), True): c for c in reversed(labels.columns)}
        picked = [next((names[n] for n in choice if n in names), None)
                  for choice in (("recorda", "a"), ("recordb", "b"), ("same",))]
        if None in picked:
            raise ValueError("the labels need the columns record_a, record_b and same")
        labels = labels[picked].itertuples(index=False, name=None)
    rows = []
    for row, item in enumerate(labels):
        a, b, same = item
        label = _label(same, row)
        if label is not None:
            rows.append((_record_number(a, row), _record_number(b, row), label))
    return rows


def _records_file(frame: pd.DataFrame, columns, path: str) -> str:
    # Record strings never hold a line break (record_strings replaces it),
    # so line n of the file is row n of the frame; surrogate escapes give
    # back the legacy bytes they stand for, as in memory.
    text = "".join(s + "\n" for s in record_strings(frame, field_columns(frame.columns, columns)))
    with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as out:
        out.write(text)
    return path


def evaluate(
    labels,
    data: Union[str, os.PathLike, pd.DataFrame],
    algorithms: Algorithms = None,
    *,
    normalize: Optional[bool] = None,
    verify: Optional[float] = None,
    base: Union[None, str, os.PathLike, pd.DataFrame] = None,
    columns: Optional[Mapping[str, object]] = None,
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
) -> dict:
    """How well the groups of the job that dedupe() runs with the same
    arguments agree with pairs a person labelled, as `korvix evaluate`
    measures them.

    `labels` is a CSV file (a path; columns record_a and record_b, or a and
    b, and same) or a DataFrame with those columns (such as sample_pairs()
    gives, labelled), or an iterable of (a, b, same). a and b are record
    numbers from 1 (for a DataFrame its row positions); same is True or
    False, 1 or 0, or yes/no, ja/nein, true/false in any case; a label that
    is None, NaN or "" is not counted.

    Returns {"labelled": pairs counted, "unknown": pairs with a record the
    data has not, "run": the figures of this run, "thresholds": the figures
    of runs at 0.50, 0.55, ... 0.95 (verifying; else [])}; each figures
    dict holds threshold, precision, recall, f1 (0 where undefined), found
    (labelled the same, in one group), wrongly_joined (labelled different,
    in one group) and missed (labelled the same, not in one group).

    Raises ValueError for a label that cannot be read (or a labels file
    without the columns) and where dedupe() raises it; OSError for a file
    that cannot be read."""
    rows = _labels(labels)
    chosen = _algorithms(algorithms)
    if not isinstance(data, pd.DataFrame):
        return _korvix.evaluate_file(os.fspath(data), rows,
                                     os.fspath(base) if base is not None else "", chosen,
                                     normalize, verify, input_format, delimiter, map, strict,
                                     max_candidates, threads)
    # The evaluation runs the job several times on a file; the frame is
    # written as one, in record strings.
    with tempfile.TemporaryDirectory(prefix="korvix-") as folder:
        path = _records_file(data, columns, os.path.join(folder, "records.txt"))
        base_path = "" if base is None else _records_file(base, columns,
                                                          os.path.join(folder, "base.txt"))
        return _korvix.evaluate_file(path, rows, base_path, chosen, normalize, verify, "records",
                                     "", "", False, max_candidates, threads)
