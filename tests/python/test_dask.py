"""Keys and duplicate groups on a real Dask cluster: two worker processes on
loopback, each loading the component. The reference is the command-line
tool on the same records: `korvix key` for the keys, the text report of
`korvix dedupe` for the groups; for the whole job, korvix.dedupe()."""

import re
import subprocess
import sys
from pathlib import Path

import dask.dataframe as dd
import pandas as pd
import pytest
from distributed import Client, LocalCluster

import korvix
import korvix.dask
from conftest import ADDRESS_CODE, DATA_DIR

# A key over the raw name finds fewer groups than ADDRESS_CODE, with blanks
# and lower-case letters in the keys.
NAME_CODE = "0203000000000000" "0508000000000000" "0604100000000000"


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=":0", protocol="tcp") as cluster, Client(cluster) as client:
        yield client


@pytest.fixture(scope="module")
def addresses():
    """The sample as its CSV has it: columns named PLZ, Ort, Strasse,
    Suchbegriff, Name1 to Name4, Kundengruppe; line breaks inside Name3."""
    frame = pd.read_csv(
        DATA_DIR / "sample.csv", sep=";", dtype=str, keep_default_na=False, encoding="utf-8"
    )
    frame.index = pd.RangeIndex(1, len(frame) + 1)  # line numbers of sample.txt
    return frame


def dedupe_groups(tool, code):
    """The groups of `korvix dedupe` on sample.txt: (key, [line, ...]) in the
    order of the report."""
    report = tool("dedupe", "--algorithm", code, str(DATA_DIR / "sample.txt"))
    groups = []
    for line in report.splitlines():
        head = re.fullmatch(r"key (.*) \((\d+) records\)", line)
        if head:
            groups.append((head.group(1), [], int(head.group(2))))
            continue
        member = re.match(r"  (\d+): ", line)
        if member:
            groups[-1][1].append(int(member.group(1)))
    assert groups and all(len(lines) == size for _, lines, size in groups)
    return [(key, lines) for key, lines, _ in groups]


def test_workers_are_separate_processes_with_the_component(client):
    workers = client.run(lambda: __import__("os").getpid())
    assert len(set(workers.values())) == 2
    keys = client.run(lambda: __import__("korvix").key("0103000000000000", "12345"))
    assert list(keys.values()) == ["123", "123"]


@pytest.mark.parametrize("code", [ADDRESS_CODE, NAME_CODE])
def test_keys_equal_the_tool(client, addresses, sample_records, tool, code):
    frame = dd.from_pandas(addresses, npartitions=4)
    keyed = korvix.dask.add_key(frame, code).compute()
    expected = tool("key", "--algorithm", code, str(DATA_DIR / "sample.txt")).splitlines()
    assert keyed["key"].tolist() == expected
    assert keyed.index.tolist() == list(range(1, len(sample_records) + 1))
    # The record strings made from the columns are the sample's own.
    columns = korvix.dask.field_columns(addresses.columns)
    assert korvix.dask.record_strings(addresses, columns).tolist() == sample_records


@pytest.mark.parametrize("code", [ADDRESS_CODE, NAME_CODE])
@pytest.mark.parametrize("npartitions", [1, 7])
def test_groups_equal_dedupe(client, addresses, tool, code, npartitions):
    frame = dd.from_pandas(addresses, npartitions=npartitions)
    groups = korvix.dask.duplicate_groups(frame, code)
    assert [(g.key, g.index) for g in groups] == dedupe_groups(tool, code)

    found = korvix.dask.find_duplicates(frame, code, npartitions=3)
    assert found.npartitions == 3
    # Each group lies whole in one partition.
    where = {}
    for number in range(found.npartitions):
        part = found.get_partition(number).compute()
        for key in part["key"].unique():
            assert key not in where
            where[key] = number
        assert (part.groupby("key").size() == part.groupby("key")["group_size"].first()).all()
    assert len(where) == len(groups)


def test_pandas_frames_need_no_cluster(addresses, tool):
    groups = korvix.dask.duplicate_groups(addresses.iloc[:1000], ADDRESS_CODE)
    assert groups and all(len(g.index) >= 2 and max(g.index) <= 1000 for g in groups)
    keyed = korvix.dask.add_key(addresses.iloc[:3], ADDRESS_CODE, key_column="Schlüssel")
    assert list(keyed.columns)[-1] == "Schlüssel"
    # Normalised, as `korvix dedupe --normalize` keys them.
    normal = korvix.dask.add_key(addresses.iloc[:50], ADDRESS_CODE, normalize=True)["key"].tolist()
    strings = korvix.frame.record_strings(addresses.iloc[:50], korvix.frame.field_columns(addresses.columns))
    assert normal == [korvix.key(ADDRESS_CODE, korvix.normalize_record(s)) for s in strings]


@pytest.fixture(scope="module")
def customers(tmp_path_factory):
    """Generated customers with duplicates and look-alikes, and twelve copies
    of one, which the job compares once and the cluster pair by pair."""
    path = tmp_path_factory.mktemp("customers") / "customers.csv"
    script = Path(__file__).resolve().parents[2] / "scripts" / "generate_customers.py"
    subprocess.run([sys.executable, str(script), "--count", "4000", "--format", "csv", "--seed", "3",
                    "-o", str(path)], check=True)
    frame = pd.read_csv(path, sep=";", dtype=str, keep_default_na=False)
    return pd.concat([frame, frame.iloc[[7] * 12]], ignore_index=True)


# The recommendation; keys shared by more than four records, split and paired
# with their neighbours only; several keys unverified.
@pytest.mark.parametrize("options", [{}, {"max_candidates": 4}, {"verify": 0}])
def test_dedupe_gives_the_groups_of_the_job(client, customers, options):
    expected = korvix.dedupe(customers, **options)[["group", "algorithm", "score"]]
    found = korvix.dask.dedupe(dd.from_pandas(customers, npartitions=5), npartitions=3, **options)
    assert (expected["group"] > 0).sum() > 1000
    pd.testing.assert_frame_equal(found, expected)


def test_dedupe_refuses_wrong_options_before_it_starts(customers):
    with pytest.raises(ValueError, match="threshold"):
        korvix.dask.dedupe(customers, verify=1.5)
