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

`dedupe(df, ...)` runs the whole job of korvix.dedupe() on the cluster, the
recommendation by default (several keys, normalising, verification), and
gives the same groups: the workers key their partitions, the rows are
shuffled by key so that every run of a key lies whole in one partition,
each worker scores the candidate pairs of its runs, and the client groups
the links found, all with the component's own code.

    found = korvix.dask.dedupe(df)                       # pandas: group, algorithm, score
"""

from __future__ import annotations

from typing import List, Mapping, NamedTuple, Optional, Union

import dask
import dask.dataframe as dd
import numpy as np
import pandas as pd

from . import KeyBuilder, _korvix
from .frame import FIELDS, Algorithms, _algorithms, field_columns, record_strings

__all__ = [
    "FIELDS",
    "DuplicateGroup",
    "add_key",
    "dedupe",
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


def _columns(frame: pd.DataFrame, columns: Mapping[str, Optional[object]]) -> list:
    # The record strings are joined in the component, on all cores: joining
    # them with pandas string methods takes ten times as long as the keys.
    values = [
        _values(frame[columns[field]]) if columns.get(field) is not None else None
        for field in FIELDS
    ]
    if all(column is None for column in values):  # no field mapped: empty items
        values = [[""] * len(frame)] + values[1:]
    return values


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
    keys = KeyBuilder(algorithm).keys_from_columns(_columns(frame, columns), threads)
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


# The job spread over the cluster (korvix.dedupe on one machine). A row of
# the long form is one record under one algorithm: its key, its number in
# the whole input, its profile text (what verification reads, verifying)
# and its keys under the algorithms before its own (k0, k1, ...), which
# tell whether an earlier algorithm paired two records already.

_NONE = 255  # no algorithm: the record shares no key


def _long_rows(part, settings, columns, offsets, partition_info=None):
    codes, normalize, verify, _, threads = settings
    start = offsets[partition_info["number"]] if partition_info else 0
    keys, profiles = _korvix.spread_keys(_columns(part, columns), codes, normalize, verify, threads)
    n = len(part)
    record = np.arange(start, start + n, dtype=np.int64)
    rows, none = [], [None] * n
    for a, key in enumerate(keys):
        row = {"algorithm": np.full(n, a, np.uint8), "key": key, "record": record,
               "profile": profiles if verify > 0 else [b""] * n}
        row.update({f"k{b}": keys[b] if b < a else none for b in range(len(codes) - 1)})
        rows.append(pd.DataFrame(row))
    return pd.concat(rows, ignore_index=True)


def _long_meta(algorithms: int) -> pd.DataFrame:
    meta = {"algorithm": pd.Series(dtype=np.uint8), "key": pd.Series(dtype=object),
            "record": pd.Series(dtype=np.int64), "profile": pd.Series(dtype=object)}
    meta.update({f"k{b}": pd.Series(dtype=object) for b in range(algorithms - 1)})
    return pd.DataFrame(meta)


def _runs(part):
    # The runs of two or more, each in record order, those of an algorithm
    # together (their order among themselves does not matter), with their size.
    algorithm = part["algorithm"].to_numpy()
    run = pd.factorize(part["key"].to_numpy())[0].astype(np.int64) * 256 + algorithm
    order = np.lexsort((part["record"].to_numpy(), run, algorithm))
    _, at, counts = np.unique(run, return_inverse=True, return_counts=True)
    size = counts[at]
    kept = order[size[order] >= 2]
    return part.iloc[kept].assign(size=size[kept].astype(np.int64))


def _count_words(part, owner):
    # Each record once: in its run under the first algorithm that has it in one.
    own = part[owner[part["record"].to_numpy()] == part["algorithm"].to_numpy()]
    words, counts = _korvix.spread_count_words(own["profile"].tolist())
    return pd.DataFrame({"word": words, "count": counts.astype(np.int64)})


def _score(part, small, counted, settings):
    codes, normalize, verify, max_candidates, threads = settings
    record = part["record"].to_numpy()
    records, first, local = np.unique(record, return_index=True, return_inverse=True)
    # A record's last row is of its last algorithm here, with the most keys before it.
    last = len(record) - 1 - np.unique(record[::-1], return_index=True)[1]
    algorithm = part["algorithm"].to_numpy()
    keys = part["key"].to_numpy()
    starts = np.flatnonzero(np.r_[True, (algorithm[1:] != algorithm[:-1]) | (keys[1:] != keys[:-1])]
                            if len(part) else [])
    made = []
    for b in range(len(codes) - 1):
        ids = (pd.factorize(part[f"k{b}"].to_numpy()[last])[0] + 1).astype(np.uint32)
        ids[~small[b][records]] = 0
        made.append(ids)
    words, counts, total = counted
    a, b, linked_by, score = _korvix.spread_score(
        part["profile"].to_numpy()[first].tolist() if verify > 0 else [],
        local.astype(np.uint32), np.r_[starts[1:], len(part)].astype(np.uint64) if len(part) else [],
        algorithm[starts], keys[starts].tolist(), made, words, counts, total, codes, normalize,
        verify, max_candidates, threads)
    return pd.DataFrame({"a": records[a], "b": records[b], "algorithm": linked_by, "score": score})


def _linked_rows(part, owner, linked):
    record = part["record"].to_numpy()
    rows = part[linked[record] & (owner[record] == part["algorithm"].to_numpy())]
    first = rows["key"] if "k0" not in rows else rows["key"].where(rows["algorithm"] == 0, rows["k0"])
    return pd.DataFrame({"record": rows["record"], "profile": rows["profile"], "first": first})


def _shared(value):
    # Arrays as long as the data go to the workers once, not in every task.
    try:
        from distributed import default_client
        return default_client().scatter([value], broadcast=True)[0]  # a list would be split
    except (ImportError, ValueError):  # no cluster: the local schedulers
        return dask.delayed(value)


def dedupe(
    df: Frame,
    algorithms: Algorithms = None,
    *,
    normalize: Optional[bool] = None,
    verify: Optional[float] = None,
    columns: Optional[Mapping[str, object]] = None,
    max_candidates: int = 200,
    threads: int = 0,
    npartitions: Optional[int] = None,
) -> pd.DataFrame:
    """The dedupe job of korvix.dedupe() on the rows of `df`, on the cluster:
    the same options (algorithms None for the recommendation, normalize,
    verify, columns, max_candidates; `threads` per worker, 0 all its cores)
    and the same groups. The keyed rows are shuffled into `npartitions`
    partitions (by default as many as `df` has).

    Returns a pandas DataFrame with one row per record, with its index: the
    columns group (0 alone, else the group's number as korvix.dedupe()
    gives it), algorithm (1-based, the one that linked the record; 0 alone)
    and score (its best verified link). Records that verification cannot
    tell apart are scored pair by pair, so a million copies of one record
    take long here.

    Raises ValueError for wrong options."""
    codes, normalize, verify = _korvix.dedupe_settings(_algorithms(algorithms), normalize, verify)
    settings = (codes, normalize, verify, max_candidates, threads)
    frame = df if isinstance(df, dd.DataFrame) else dd.from_pandas(df, npartitions=1)
    chosen = field_columns(frame.columns, columns)
    labels = dask.compute(*frame.index.to_delayed())
    lengths = [len(index) for index in labels]
    offsets = np.r_[0, np.cumsum(lengths)].astype(np.int64)
    n = int(offsets[-1])
    index = labels[0].append(list(labels[1:])) if len(labels) > 1 else labels[0]
    if n == 0:
        return pd.DataFrame({"group": [], "algorithm": [], "score": []}, index=index).astype(
            {"group": "int64", "algorithm": "int64", "score": "float64"})

    rows = frame.map_partitions(_long_rows, settings, chosen, offsets, meta=_long_meta(len(codes)))
    runs = rows.shuffle(["algorithm", "key"], npartitions=npartitions or frame.npartitions)
    runs = runs.map_partitions(_runs, meta=_long_meta(len(codes)).assign(size=pd.Series(dtype=np.int64)))
    runs = runs.persist()

    # Which records are in runs, under which algorithms, and in runs that are
    # paired whole (no larger than max_candidates).
    found = runs[["record", "algorithm", "size"]].compute()
    record = found["record"].to_numpy()
    algorithm = found["algorithm"].to_numpy()
    owner = np.full(n, _NONE, np.uint8)
    small = []
    for a in reversed(range(len(codes))):
        owner[record[algorithm == a]] = a
    for a in range(len(codes) - 1):
        mine = algorithm == a
        whole = np.zeros(n, bool)
        whole[record[mine]] = found["size"].to_numpy()[mine] <= max(max_candidates, 2)
        small.append(whole)
    owner_d, small_d = _shared(owner), _shared(small)

    counted = (np.zeros(0, np.uint64), np.zeros(0, np.uint32), 0)
    if verify > 0:
        words = runs.map_partitions(_count_words, owner_d,
                                    meta={"word": np.uint64, "count": np.int64}).compute()
        words = words.groupby("word", sort=False)["count"].sum()
        counted = (words.index.to_numpy(np.uint64), words.to_numpy(np.uint32),
                   int((owner != _NONE).sum()))
    links = runs.map_partitions(
        _score, small_d, _shared(counted), settings,
        meta={"a": np.int64, "b": np.int64, "algorithm": np.uint8, "score": np.float32}).compute()

    linked = np.zeros(n, bool)
    linked[links["a"].to_numpy()] = True
    linked[links["b"].to_numpy()] = True
    known = runs.map_partitions(_linked_rows, owner_d, _shared(linked),
                                meta={"record": np.int64, "profile": object, "first": object})
    known = known.compute().sort_values("record")
    group, by, score = _korvix.spread_group(
        n, links["a"].to_numpy(np.uint32), links["b"].to_numpy(np.uint32),
        links["algorithm"].to_numpy(np.uint8), links["score"].to_numpy(np.float32),
        known["record"].to_numpy(np.uint32), known["profile"].tolist() if verify > 0 else [],
        known["first"].tolist(), *counted, codes, normalize, verify, max_candidates, threads)
    return pd.DataFrame({"group": group.astype(np.int64), "algorithm": by.astype(np.int64),
                         "score": score.astype(np.float64)}, index=index)
