#!/usr/bin/env python3
"""Pairwise precision and recall of a `korvix dedupe --format csv` report.

Compares the groups of the report with the clusters of a truth file (one line
per record: record number from 1, TAB, cluster id; records of one real
customer share a cluster id), as scripts/generate_customers.py writes it.

A pair is two records. True pairs lie in one truth cluster, predicted pairs in
one reported group (group 0 or empty: the record has no duplicate). Pairs are
counted from the sizes of the groups, the clusters and their overlaps, never
one by one, so millions of records take seconds.

The report's record numbers come from its `record` column when that holds
numbers; else from `line`, which is the record number for record-string input
(one record a line); else, for a CSV input report without numbers, from the
row's position (only right for reports in input order without skipped records).

With --tags (the generator's tags file) it also prints the recall of the
duplicates by kind of planted difference (a duplicate is found when it shares a
group with the record it was made from; "alone" counts the duplicates with that
one difference) and by number of differences, and for each kind of look-alike
(another customer planted beside one: household, building, owner, ...) how many
such pairs there are and the share grouped together: a pair is grouped when any
record of the one customer shares a group with any record of the other. A kind
grouped in more than 0.5 % of its pairs fails.
"""

import argparse
import csv
import json
import sys
from array import array


class InputError(Exception):
    pass


def read_truth(path):
    """cluster[record - 1] for every record, and the number of records.
    Cluster ids that are not numbers are numbered in order of appearance."""
    clusters = array("q")
    names = {}
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line:
                continue
            parts = line.split("\t")
            if len(parts) < 2:
                raise InputError("%s:%d: want 'record<TAB>cluster'" % (path, n))
            try:
                record = int(parts[0])
            except ValueError:
                if n == 1:
                    continue  # a header row
                raise InputError("%s:%d: record number %r" % (path, n, parts[0]))
            if record < 1:
                raise InputError("%s:%d: record numbers start at 1" % (path, n))
            cid = parts[1].strip()
            if cid.isdigit():
                cluster = int(cid)
            else:
                cluster = names.setdefault(cid, -1 - len(names))
            while len(clusters) < record:
                clusters.append(NO_CLUSTER)
            if clusters[record - 1] != NO_CLUSTER:
                raise InputError("%s:%d: record %d listed twice" % (path, n, record))
            clusters[record - 1] = cluster
    missing = clusters.count(NO_CLUSTER)
    if missing:
        raise InputError("%s: %d record numbers between 1 and %d are not listed"
                         % (path, missing, len(clusters)))
    return clusters


NO_CLUSTER = -(1 << 62)


def pairs(n):
    return n * (n - 1) // 2


def count_sizes(values):
    sizes = {}
    for v in values:
        sizes[v] = sizes.get(v, 0) + 1
    return sizes


def open_report(path):
    f = sys.stdin if path == "-" else open(path, encoding="utf-8", newline="")
    first = f.readline()
    if not first:
        raise InputError("%s: empty report" % path)
    first = first.lstrip("\ufeff")
    # The report writes its header unquoted: the delimiter is the first
    # character that cannot be part of a column name.
    delimiter = next((ch for ch in first if ch in ",;\t|"), ",")
    header = [h.strip().lower() for h in next(csv.reader([first], delimiter=delimiter))]
    return f, delimiter, header


def choose_record_column(header, first_row, how):
    """(column index, None) or (None, 'row'): where a row's record number is."""
    if how in ("auto", "record"):
        for i, name in enumerate(header):
            if name == "record" and first_row is not None and i < len(first_row) \
                    and first_row[i].strip().isdigit():
                return i, None
        if how == "record":
            raise InputError("no 'record' column with record numbers")
    if how == "line" or (how == "auto" and header[:4] == ["line", "key", "group", "record"]
                         and len(header) == 4):
        if "line" not in header:
            raise InputError("no 'line' column")
        return header.index("line"), None
    if how in ("auto", "row"):
        return None, "row"
    raise InputError("unknown --record-from %r" % how)


def read_report(path, record_count, how):
    """group[record - 1] (0: no group) and the figures of the reading."""
    f, delimiter, header = open_report(path)
    if "group" not in header:
        raise InputError("%s: no 'group' column in %s" % (path, header))
    group_col = header.index("group")
    line_col = header.index("line") if "line" in header else None
    groups = array("q", bytes(8 * record_count))
    seen = bytearray(record_count)
    info = {"unknown": 0, "rows": 0, "by": None}
    try:
        rows = csv.reader(f, delimiter=delimiter)
        first = next(rows, None)
        record_col, by = choose_record_column(header, first, how)
        info["by"] = header[record_col] if record_col is not None else by
        last_line = 0
        for ordinal, row in enumerate(rows if first is None else _chain(first, rows), 1):
            if not row:
                continue
            info["rows"] += 1
            if record_col is None:
                record = ordinal
                if line_col is not None:
                    line = int(row[line_col])
                    if line <= last_line:
                        raise InputError("%s: rows are not in input order (--sorted?); "
                                         "cannot tell record numbers" % path)
                    last_line = line
            else:
                record = int(row[record_col])
            value = row[group_col].strip()
            group = int(value) if value else 0
            if not 1 <= record <= record_count:
                info["unknown"] += 1
                continue
            if seen[record - 1]:
                raise InputError("%s: record %d reported twice" % (path, record))
            seen[record - 1] = 1
            groups[record - 1] = group
    except (ValueError, IndexError) as e:
        raise InputError("%s: row %d: %s" % (path, info["rows"] + 1, e))
    finally:
        if f is not sys.stdin:
            f.close()
    info["missing"] = record_count - sum(seen)
    return groups, info


def _chain(first, rest):
    yield first
    yield from rest


def score(clusters, groups):
    true_pairs = sum(pairs(n) for n in count_sizes(clusters).values())
    group_sizes = {}
    both = {}
    for cluster, group in zip(clusters, groups):
        if group:
            group_sizes[group] = group_sizes.get(group, 0) + 1
            key = (group, cluster)
            both[key] = both.get(key, 0) + 1
    predicted = sum(pairs(n) for n in group_sizes.values())
    hits = sum(pairs(n) for n in both.values())
    precision = hits / predicted if predicted else None
    recall = hits / true_pairs if true_pairs else None
    if precision is None or recall is None:
        f1 = None
    else:
        f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return {
        "records": len(clusters),
        "clusters": len(set(clusters)),
        "groups": sum(1 for n in group_sizes.values() if n > 1),
        "records_in_groups": sum(n for n in group_sizes.values() if n > 1),
        "true_pairs": true_pairs,
        "predicted_pairs": predicted,
        "true_positives": hits,
        "precision": precision,
        "recall": recall,
        "f1": f1,
    }


# A kind of look-alike grouped in more of its pairs than this fails.
GROUPED_LIMIT = 0.005


def score_tags(path, clusters, groups):
    """Recall by difference and by number of differences of the duplicates,
    and the pairs of each look-alike kind and how many were grouped."""
    found = {}       # difference -> [duplicates, found, alone, alone found]
    by_changes = {}  # 1, 2, 3 (or more) -> [duplicates, found]
    kinds = {}       # look-alike kind -> [pairs, grouped]
    cluster_groups = {}
    for cluster, group in zip(clusters, groups):
        if group:
            cluster_groups.setdefault(cluster, set()).add(group)
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            parts = line.rstrip("\r\n").split("\t")
            if len(parts) < 4:
                raise InputError("%s:%d: want 'record<TAB>cluster<TAB>source<TAB>tag'"
                                 % (path, n))
            try:
                record, source, tag = int(parts[0]), int(parts[2]), parts[3]
            except ValueError:
                raise InputError("%s:%d: record and source must be numbers" % (path, n))
            if source <= 0 or record > len(groups) or source > len(groups):
                continue
            if tag.startswith("dup:"):
                g = groups[record - 1]
                same = g != 0 and g == groups[source - 1]
                names = list(dict.fromkeys(tag[4:].split("+")))
                for name in names:
                    row = found.setdefault(name, [0, 0, 0, 0])
                    row[0] += 1
                    row[1] += same
                    if len(names) == 1:
                        row[2] += 1
                        row[3] += same
                row = by_changes.setdefault(min(len(names), 3), [0, 0])
                row[0] += 1
                row[1] += same
            else:
                mine = cluster_groups.get(clusters[record - 1])
                theirs = cluster_groups.get(clusters[source - 1])
                row = kinds.setdefault(tag, [0, 0])
                row[0] += 1
                row[1] += bool(mine and theirs and not mine.isdisjoint(theirs))
    return found, by_changes, kinds


def share(part, whole):
    return part / whole if whole else None


def tags_json(tags):
    found, by_changes, kinds = tags
    return {
        "differences": {k: {"duplicates": n, "found": hit, "recall": share(hit, n),
                            "alone": alone, "alone_found": alone_hit,
                            "alone_recall": share(alone_hit, alone)}
                        for k, (n, hit, alone, alone_hit) in sorted(found.items())},
        "by_changes": {str(k): {"duplicates": n, "found": hit, "recall": share(hit, n)}
                       for k, (n, hit) in sorted(by_changes.items())},
        "look_alikes": {k: {"pairs": n, "grouped": hit, "share": share(hit, n),
                            "fails": hit > GROUPED_LIMIT * n}
                        for k, (n, hit) in sorted(kinds.items())},
        "look_alike_limit": GROUPED_LIMIT,
    }


def percent(part, whole):
    return "%.1f%%" % (100.0 * part / whole) if whole else "-"


def print_tags(tags):
    found, by_changes, kinds = tags
    print("\nrecall by difference: duplicates grouped with their source"
          " (alone: the duplicate's only difference)")
    print("  %-20s %8s %7s %8s %7s" % ("difference", "dups", "found", "alone", "found"))
    for name, (n, hit, alone, alone_hit) in sorted(found.items(), key=lambda kv: -kv[1][0]):
        print("  %-20s %8d %7s %8d %7s" % (name, n, percent(hit, n), alone,
                                           percent(alone_hit, alone)))
    print("\nrecall by number of differences")
    for k, (n, hit) in sorted(by_changes.items()):
        print("  %-20s %8d %7s" % ("%d%s" % (k, " or more" if k == 3 else ""), n,
                                   percent(hit, n)))
    print("\nlook-alikes (other customers) grouped with the customer they resemble;"
          " a kind fails above %.1f %%" % (100 * GROUPED_LIMIT))
    print("  %-20s %8s %8s %8s" % ("kind", "pairs", "grouped", "share"))
    for name, (n, hit) in sorted(kinds.items(), key=lambda kv: -kv[1][0]):
        print("  %-20s %8d %8d %7.2f%%  %s" % (name, n, hit, 100.0 * hit / n,
                                              "FAIL" if hit > GROUPED_LIMIT * n else "ok"))


def fmt(value):
    return "n/a" if value is None else "%.4f" % value


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("truth", help="truth file: record<TAB>cluster per line")
    p.add_argument("report", help="CSV report of korvix dedupe --format csv ('-': stdin)")
    p.add_argument("--tags", metavar="FILE",
                   help="the generator's tags file: also recall by difference and by "
                        "number of differences, and look-alikes grouped by kind")
    p.add_argument("--record-from", choices=("auto", "record", "line", "row"), default="auto",
                   help="where a report row's record number is (default auto)")
    p.add_argument("--json", action="store_true", help="print one JSON line")
    args = p.parse_args(argv)
    try:
        clusters = read_truth(args.truth)
        groups, info = read_report(args.report, len(clusters), args.record_from)
        result = score(clusters, groups)
        result["missing"] = info["missing"]
        result["unknown"] = info["unknown"]
        result["record_numbers_from"] = info["by"]
        tags = score_tags(args.tags, clusters, groups) if args.tags else None
    except (OSError, InputError) as e:
        sys.stderr.write("evaluate_dedupe: %s\n" % e)
        return 1
    if info["missing"]:
        sys.stderr.write("evaluate_dedupe: %d records of the truth are not in the report; "
                         "they count as without duplicates\n" % info["missing"])
    if info["unknown"]:
        sys.stderr.write("evaluate_dedupe: %d report rows name records the truth does not "
                         "have; left out\n" % info["unknown"])
    if args.json:
        if tags is not None:
            result.update(tags_json(tags))
        print(json.dumps(result, sort_keys=True))
        return 0
    r = result
    print("records %d, clusters %d, groups %d (records in groups %d)"
          % (r["records"], r["clusters"], r["groups"], r["records_in_groups"]))
    print("pairs: true %d, predicted %d, both %d"
          % (r["true_pairs"], r["predicted_pairs"], r["true_positives"]))
    print("precision %s  recall %s  F1 %s" % (fmt(r["precision"]), fmt(r["recall"]),
                                              fmt(r["f1"])))
    if tags is not None:
        print_tags(tags)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
