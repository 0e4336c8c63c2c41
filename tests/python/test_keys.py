"""KeyBuilder: many records at once, on all cores, from any iterable or from
columns of values."""

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
    columns = list(zip(*(record.split("|") for record in sample_records)))
    for threads in (0, 3):
        assert builder.keys_from_columns(columns, threads=threads) == one_by_one


def test_any_iterable_of_records_and_a_builder_sent_by_pickle():
    builder = pickle.loads(pickle.dumps(korvix.KeyBuilder("0103000000000000")))
    assert (repr(builder), builder.key_length) == ("KeyBuilder('0103000000000000')", 3)
    records = ["12345", "9", "", "0815|x"]
    expected = ["123", "9--", "---", "081"]
    for iterable in (records, (r for r in records), [r.encode() for r in records], ()):
        assert builder.keys(iterable) == (expected if iterable != () else [])


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda b: b.keys([1]), TypeError, "record 0 is int, not str"),
        (lambda b: b.keys(r for r in ["a", ["d"]]), TypeError, "record 1 is list, not str"),
        (lambda b: b.keys_from_columns([["a"], ["b", "c"]]), ValueError,
         "column 1 has 2 values, column 0 has 1"),
        (lambda b: b.keys_from_columns([None, ["a", "b"], None, ["c"]]), ValueError,
         "column 3 has 1 values, column 1 has 2"),
        (lambda b: b.keys_from_columns([["a", float("nan")]]), TypeError,
         "column 0, record 1 is float, not str"),
    ],
)
def test_what_is_not_a_record_is_named(call, error, message):
    with pytest.raises(error) as raised:
        call(korvix.KeyBuilder("0103000000000000"))
    assert str(raised.value) == message


def test_every_kind_of_str_keys_as_one_by_one():
    # Items 1 to 3 whole: the key shows the text as the component read it.
    builder = korvix.KeyBuilder("0140000000000000" "0220000000000000" "0320000000000000")
    records = [
        "12345|Lange Straße 12|Müller und Söhne, sechzehn Zeichen",  # Latin-1, past 16 characters
        "1|Łódź ćma|€ 5",                 # two bytes a character
        "1|🍕 Pizzeria|x",                 # four
        "1|M\udcfcller|\udcff",            # escaped bytes: read as Windows-1252
        "1|M\ud800ller|\udcfc",            # another surrogate: each passes as its code
        b"1|M\xfcller|\xc3\xa4",
        "",
    ]
    one_by_one = [builder.key(record) for record in records]
    assert builder.keys(records) == one_by_one
    assert builder.keys(records * 3000, 2) == one_by_one * 3000  # split over threads


@pytest.mark.parametrize(
    "columns, records",
    [
        # None as a column: empty in every record; None as a value: one empty item.
        ([["1", "2"], None, ["Lange Straße 1", None]], ["1||Lange Straße 1", "2||"]),
        # A "|" or a line break inside a value is one blank.
        ([["1|2", "3\r\n4", "5\n\r6"]], ["1 2", "3 4", "5  6"]),
        ([[b"M\xfcller", "M\udcfcller"]], ["Müller", "Müller"]),
        ([], []),
    ],
)
def test_columns_become_record_strings(columns, records):
    builder = korvix.KeyBuilder("0120000000000000" "0220000000000000" "0320000000000000")
    assert builder.keys_from_columns(columns) == builder.keys(records)
