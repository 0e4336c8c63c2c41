"""Duplicate keys and duplicate groups on a Dask cluster.

The records are rows of a Dask (or pandas) DataFrame whose columns hold the
nine address fields, found by name exactly as `korvix dedupe` maps a CSV
header (korvix.frame.field_columns: the component's own table of names,
PLZ/Postleitzahl/zip, Ort/Stadt/city, Straße/street, Bez1/Name1/name, ...).
`columns` ties fields to columns explicitly; the other fields keep the
columns their names give. A field without a column is empty in every record.
With `normalize`, each record is normalised before keying as `korvix dedupe
--normalize` does it.

Keys are built where the data lies: every worker loads the component (the
korvix package must be importable there) and keys its partitions on its
cores. Duplicate groups are found by shuffling the rows by key, so each group
ends up whole in one partition however the input was split.

    import dask.dataframe as dd
    import korvix.dask

    df = dd.read_csv("addresses-*.csv", sep=";", dtype=str, keep_default_na=False)
    keyed = korvix.dask.add_key(df, code)                # one more column, "key"
    dupes = korvix.dask.find_duplicates(df, code)        # rows in groups of two or more
    groups = korvix.dask.duplicate_groups(df, code)      # computed: [(key, [index, ...]), ...]

Read the data as text (dtype=str): a number column loses its leading zeros
("01067" becomes 1067), and the key then differs.
"""

from __future__ import annotations

from typing import List, Mapping, NamedTuple, Optional, Union

import dask.dataframe as dd
import pandas as pd

from . import KeyBuilder, _korvix
from .frame import FIELDS, field_columns, record_strings

__all__ = [
    "FIELDS",
    "DuplicateGroup",
    "add_key",
    "duplicate_groups",
    "field_columns",
    "find_duplicates",
    "record_strings",
]

Frame = Union[dd.DataFrame, pd.DataFrame]


class DuplicateGroup(NamedTuple):
    """Records with one key: the key and the index labels of the records."""

    key: str
    index: list


def _values(series: pd.Series) -> list:
    # Columns of text go to the component as they are; anything else (numbers,
    # NaN for missing values) is made text first, missing values empty.
    if pd.api.types.infer_dtype(series, skipna=False) == "string":
        return series.tolist()
    return series.astype(object).where(series.notna(), "").astype(str).tolist()


def _with_key(
    frame: pd.DataFrame,
    algorithm: str,
    columns: Mapping[str, Optional[object]],
    key_column: str,
    threads: int,
    normalize: bool = False,
) -> pd.DataFrame:
    if normalize:
        builder = KeyBuilder(algorithm)
        records = record_strings(frame, columns).map(_korvix.normalize_record)
        keys = builder.keys(records.tolist(), threads)
        return frame.assign(**{key_column: pd.Series(keys, index=frame.index, dtype=object)})
    # The record strings are joined in the component, on all cores: joining
    # them with pandas string methods takes ten times as long as the keys.
    values = [
        _values(frame[columns[field]]) if columns.get(field) is not None else None
        for field in FIELDS
    ]
    if all(column is None for column in values):  # no field mapped: keys of empty items
        values = [[""] * len(frame)] + values[1:]
    keys = KeyBuilder(algorithm).keys_from_columns(values, threads)
    return frame.assign(**{key_column: pd.Series(keys, index=frame.index, dtype=object)})


def _in_groups(frame: pd.DataFrame, key_column: str, size_column: str) -> pd.DataFrame:
    sizes = frame.groupby(key_column, sort=False)[key_column].transform("size").astype("int64")
    found = frame.assign(**{size_column: sizes})[sizes >= 2]
    # Groups together, by key; records of a group in index order.
    return found.sort_index(kind="stable").sort_values(key_column, kind="stable")


def _grouped(keyed: Frame, key_column: str, size_column: str, npartitions: Optional[int]) -> Frame:
    if isinstance(keyed, pd.DataFrame):
        return _in_groups(keyed, key_column, size_column)
    shuffled = keyed.shuffle(key_column, npartitions=npartitions)
    meta = keyed._meta.assign(**{size_column: pd.Series(dtype="int64")})
    return shuffled.map_partitions(_in_groups, key_column, size_column, meta=meta)


def add_key(
    df: Frame,
    algorithm: str,
    *,
    columns: Optional[Mapping[str, object]] = None,
    key_column: str = "key",
    threads: int = 0,
    normalize: bool = False,
) -> Frame:
    """`df` with one more column, `key_column`, holding each row's duplicate
    key under `algorithm` (of the normalised record with `normalize`). Each
    partition is keyed on `threads` threads of its worker (0: all cores)."""
    chosen = field_columns(df.columns, columns)
    if isinstance(df, pd.DataFrame):
        return _with_key(df, algorithm, chosen, key_column, threads, normalize)
    meta = df._meta.assign(**{key_column: pd.Series(dtype=object)})
    return df.map_partitions(_with_key, algorithm, chosen, key_column, threads, normalize,
                             meta=meta)


def find_duplicates(
    df: Frame,
    algorithm: str,
    *,
    columns: Optional[Mapping[str, object]] = None,
    key_column: str = "key",
    size_column: str = "group_size",
    npartitions: Optional[int] = None,
    threads: int = 0,
) -> Frame:
    """The rows whose key under `algorithm` at least one other row shares,
    with their key and the size of their group. The rows are shuffled by key,
    so every group lies whole in one partition (of `npartitions`, by default
    as many as `df` has), sorted by key and then by index."""
    keyed = add_key(df, algorithm, columns=columns, key_column=key_column, threads=threads)
    return _grouped(keyed, key_column, size_column, npartitions)


def duplicate_groups(
    df: Frame,
    algorithm: str,
    *,
    columns: Optional[Mapping[str, object]] = None,
    threads: int = 0,
) -> List[DuplicateGroup]:
    """The duplicate groups, computed: every key that two or more rows share,
    with the index labels of those rows in index order; the largest group
    first, groups of equal size by key. The same groups, in the same order,
    as `korvix dedupe` reports for the same records."""
    keyed = add_key(df, algorithm, columns=columns, key_column="key", threads=threads)
    # Only the keys travel through the shuffle; the index comes with them.
    found = _grouped(keyed[["key"]], "key", "group_size", None)
    if not isinstance(found, pd.DataFrame):
        found = found.compute()
    groups = [
        DuplicateGroup(key, rows.index.tolist())
        for key, rows in found.groupby("key", sort=True)
    ]
    groups.sort(key=lambda group: -len(group.index))  # stable: equal sizes stay by key
    return groups
