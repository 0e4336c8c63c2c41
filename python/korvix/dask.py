"""Duplicate keys and duplicate groups on a Dask cluster.

The records are rows of a Dask (or pandas) DataFrame whose columns hold the
nine address fields, found by name: each field accepts its own label and
common German and English names (PLZ/Postleitzahl/zip/postcode,
Ort/Stadt/city/town, Straße/Strasse/street/address, Suchbegriff/search/
matchcode, Bez1/Name1/name/company, Bez2/Name2/Vorname, Bez3/Name3,
Bez4/Name4, Kundengruppe/Gruppe/group/customer_group), without regard to case
and to blanks, "_", "-" and "." inside the name. `columns` maps fields to
columns explicitly instead. A field without a column is empty in every record.

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

import re
from typing import Dict, List, Mapping, NamedTuple, Optional, Sequence, Union

import dask.dataframe as dd
import pandas as pd

from . import KeyBuilder

__all__ = [
    "FIELDS",
    "DuplicateGroup",
    "add_key",
    "duplicate_groups",
    "field_columns",
    "find_duplicates",
    "record_strings",
]

#: The items of a record string, in order.
FIELDS = ("PLZ", "Ort", "Straße", "Suchbegriff", "Bez1", "Bez2", "Bez3", "Bez4", "Kundengruppe")

# Names each field answers to, the more specific first.
_NAMES = {
    "PLZ": ("plz", "postleitzahl", "zip", "postcode"),
    "Ort": ("ort", "stadt", "city", "town"),
    "Straße": ("straße", "street", "address"),
    "Suchbegriff": ("suchbegriff", "search", "matchcode"),
    "Bez1": ("bez1", "name1", "name", "company"),
    "Bez2": ("bez2", "name2", "vorname"),
    "Bez3": ("bez3", "name3"),
    "Bez4": ("bez4", "name4"),
    "Kundengruppe": ("kundengruppe", "gruppe", "group", "customergroup"),
}

Frame = Union[dd.DataFrame, pd.DataFrame]


class DuplicateGroup(NamedTuple):
    """Records with one key: the key and the index labels of the records."""

    key: str
    index: list


def _plain(name: object) -> str:
    # casefold() also makes "STRAßE" and "Strasse" one name.
    return re.sub(r"[ _.\-]", "", str(name).strip(" \t").casefold())


def field_columns(
    columns: Sequence[object], mapping: Optional[Mapping[str, object]] = None
) -> Dict[str, Optional[object]]:
    """The column that feeds each field (None for none), from the column names
    or from `mapping` (field label -> column name; "Strasse" and any case are
    accepted for the labels). Raises ValueError when no column feeds any
    field, or when `mapping` names an unknown field or a missing column."""
    columns = list(columns)
    result: Dict[str, Optional[object]] = {field: None for field in FIELDS}
    if mapping is not None:
        labels = {_plain(field): field for field in FIELDS}
        for label, column in mapping.items():
            field = labels.get(_plain(label))
            if field is None:
                raise ValueError(f"unknown field {label!r}; the fields are {', '.join(FIELDS)}")
            if column not in columns:
                raise ValueError(f"field {field} names column {column!r}, which is not there")
            result[field] = column
        return result
    plain = [_plain(column) for column in columns]
    for field, names in _NAMES.items():
        for name in (_plain(n) for n in names):
            if name in plain:
                result[field] = columns[plain.index(name)]
                break
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
    """The record string of every row of a pandas DataFrame, with the columns
    that field_columns() gave."""
    parts = [
        _text(frame[columns[field]])
        if columns.get(field) is not None
        else pd.Series("", index=frame.index, dtype=object)
        for field in FIELDS
    ]
    if len(frame) == 0:
        return pd.Series([], index=frame.index, dtype=object)
    return parts[0].str.cat(parts[1:], sep="|")


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
) -> pd.DataFrame:
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
) -> Frame:
    """`df` with one more column, `key_column`, holding each row's duplicate
    key under `algorithm`. Each partition is keyed on `threads` threads of
    its worker (0: all cores)."""
    chosen = field_columns(df.columns, columns)
    if isinstance(df, pd.DataFrame):
        return _with_key(df, algorithm, chosen, key_column, threads)
    meta = df._meta.assign(**{key_column: pd.Series(dtype=object)})
    return df.map_partitions(_with_key, algorithm, chosen, key_column, threads, meta=meta)


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
