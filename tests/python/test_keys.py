"""KeyBuilder.keys: many records at once, on all cores, from any iterable."""

import pickle

import pytest

import korvix
from conftest import ADDRESS_CODE


def test_batch_equals_one_by_one_and_the_tool(sample_records, tool):
    builder = korvix.KeyBuilder(ADDRESS_CODE)
    one_by_one = [korvix.key(ADDRESS_CODE, record) for record in sample_records]
    from_tool = tool("key", "--algorithm", ADDRESS_CODE, stdin="\n".join(sample_records) + "\n")
    assert one_by_one == from_tool.splitlines()
    for threads in (0, 1, 2, 7):
        assert builder.keys(sample_records, threads) == one_by_one, threads
    assert builder.keys(sample_records, threads=3) == one_by_one


def test_any_iterable_of_records():
    builder = korvix.KeyBuilder("0103000000000000")
    records = ["12345", "9", "", "0815|x"]
    expected = ["123", "9--", "---", "081"]
    pandas = pytest.importorskip("pandas")
    for iterable in (
        records,
        tuple(records),
        iter(records),
        (record for record in records),
        pandas.Series(records, dtype=object),
        [record.encode() for record in records],
    ):
        assert builder.keys(iterable) == expected
    assert builder.keys([]) == []
    assert builder.keys(iter(())) == []


@pytest.mark.parametrize(
    "records, message",
    [
        ([1], "record 0 is int, not str"),
        (["a", "b", None], "record 2 is NoneType, not str"),
        (("a", 2.5), "record 1 is float, not str"),
        ((r for r in ["a", "b", "c", ["d"]]), "record 3 is list, not str"),
    ],
)
def test_a_record_that_is_not_a_string_is_named(records, message):
    with pytest.raises(TypeError) as raised:
        korvix.KeyBuilder("0103000000000000").keys(records)
    assert str(raised.value) == message


def test_not_iterable_is_a_type_error():
    with pytest.raises(TypeError):
        korvix.KeyBuilder("0103000000000000").keys(5)


def test_builder_travels_by_pickle():
    builder = korvix.KeyBuilder(ADDRESS_CODE)
    copy = pickle.loads(pickle.dumps(builder))
    assert copy.algorithm == ADDRESS_CODE
    assert copy.key_length == builder.key_length == 14
    assert copy.key("12345|Ort|Hauptstraße 5|M|Müller") == builder.key(
        "12345|Ort|Hauptstraße 5|M|Müller"
    )
    assert repr(copy) == f"KeyBuilder('{ADDRESS_CODE}')"


def test_columns_give_the_keys_of_their_record_strings(sample_records):
    builder = korvix.KeyBuilder(ADDRESS_CODE)
    columns = list(zip(*(record.split("|") for record in sample_records)))
    assert len(columns) == 9
    expected = builder.keys(sample_records)
    for threads in (0, 1, 3):
        assert builder.keys_from_columns(columns, threads) == expected


@pytest.mark.parametrize(
    "columns, records",
    [
        # None as a column: empty in every record; None as a value: one empty item.
        ([["1", "2"], None, ["Lange Straße 1", None]], ["1||Lange Straße 1", "2||"]),
        # A "|" or a line break inside a value is one blank.
        ([["1|2", "3\r\n4", "5\n\r6"]], ["1 2", "3 4", "5  6"]),
        ([[b"M\xfcller", "M\udcfcller"]], ["Müller", "Müller"]),
        ([[]], []),
        ([], []),
    ],
)
def test_columns_become_record_strings(columns, records):
    # Items 1 to 3, each taken whole (20 characters).
    code = "0120000000000000" "0220000000000000" "0320000000000000"
    builder = korvix.KeyBuilder(code)
    assert builder.keys_from_columns(columns) == builder.keys(records)


@pytest.mark.parametrize(
    "columns, error, message",
    [
        ([["a"], ["b", "c"]], ValueError, "column 1 has 2 values, column 0 has 1"),
        ([None, ["a", "b"], None, ["c"]], ValueError, "column 3 has 1 values, column 1 has 2"),
        ([["a"], ["b", 3]], TypeError, "column 1, record 1 is int, not str"),
        ([["a", float("nan")]], TypeError, "column 0, record 1 is float, not str"),
    ],
)
def test_bad_columns_say_where(columns, error, message):
    with pytest.raises(error) as raised:
        korvix.KeyBuilder("0103000000000000").keys_from_columns(columns)
    assert str(raised.value) == message
