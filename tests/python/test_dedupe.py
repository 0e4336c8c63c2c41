"""korvix.dedupe on DataFrames and files, and the column mapping it shares
with the command line."""

import os
import re
import subprocess

import pandas as pd
import pytest

import korvix
import korvix.frame
from conftest import ADDRESS_CODE, DATA_DIR

PEOPLE = pd.DataFrame(
    {
        "PLZ": ["10115", "10115", "10115", "1067", "01067", "20095"],
        "Ort": ["Berlin", "BERLIN", "Berlin", "Dresden", "Dresden", "Hamburg"],
        "Strasse": ["Hauptstraße 1", "Hauptstr. 1", "Hauptstraße 1", "Am Markt 2", "Am Markt 2", "Weg 3"],
        "Name": ["Meier", "Dr. Meier", "Meier", "Hans", "Schulz", "Meier"],
        "Vorname": ["Hans", "Hans", "Erika", "Schulz", "Hans", "Hans"],
    },
    index=list("abcdef"),
)


def test_a_frame_gets_the_group_of_each_row():
    found, pairs = korvix.dedupe(PEOPLE, pairs=True)
    # The Dresden pair (lost zero, swapped names) has the smaller key: group 1.
    assert found["group"].to_dict() == {"a": 2, "b": 2, "c": 0, "d": 1, "e": 1, "f": 0}
    assert list(found.columns) == ["line", "key", "group", "algorithm", "score"]
    assert sorted(zip(pairs["a"], pairs["b"])) == [("a", "b"), ("d", "e")]
    assert (pairs["score"] >= 0.8).all()
    # One key over the raw values, unverified: the family too, not the lost zero.
    plain = korvix.dedupe(PEOPLE, ADDRESS_CODE, normalize=False, verify=0)
    assert plain["group"].tolist() == [1, 0, 1, 0, 0, 0]


def test_a_frame_against_a_base():
    news = PEOPLE.iloc[[1, 5]].set_axis(["x", "y"])
    found, pairs = korvix.dedupe(news, base=PEOPLE.iloc[[0, 2, 3]], pairs=True)
    assert found["group"].tolist() == [1, 0]
    assert list(zip(pairs["a"], pairs["b"])) == [("x", "a")]


def test_a_file_as_the_command_line_reads_it(tool):
    report = tool("dedupe", "--format", "csv", str(DATA_DIR / "sample.csv"))
    groups = [int(row.split(";")[2]) for row in report.splitlines()[1:] if re.match(r"\d+;", row)]
    found = korvix.dedupe(DATA_DIR / "sample.csv")
    assert found.index[0] == 1 and found["group"].tolist() == groups[: len(found)]
    with pytest.raises(ValueError, match="--map: \"Foo\" is not a record field"):
        korvix.dedupe(DATA_DIR / "sample.csv", map="Foo=PLZ")
    with pytest.raises(OSError, match="cannot open"):
        korvix.dedupe(DATA_DIR / "missing.csv")


def test_columns_map_as_the_command_line_maps_a_header(tool, tmp_path):  # noqa: ARG001 (needs KORVIX_TOOL)
    header = ["Wohnort", "Postleitzahl", "Anschrift", "Nachname", "name", "VORNAME", "Kd-Gruppe",
              "Customer_Group", "Bez.3", "STRAßE"]
    path = tmp_path / "h.csv"
    path.write_text(";".join(header) + "\n" + ";".join("x" * len(header)) + "\n", encoding="utf-8")
    done = subprocess.run(
        [os.environ["KORVIX_TOOL"], "dedupe", "--verbose", "--algorithm", "0101000000000000", str(path)],
        capture_output=True, text=True, check=True)
    told = dict(re.findall(r"korvix dedupe: (\S+) <- \"([^\"]*)\"", done.stderr))
    found = korvix.frame.field_columns(header)
    assert {field: column for field, column in found.items() if column} == told
    assert found["Straße"] == "STRAßE" and found["Bez1"] == "name"
    # A partial mapping keeps the other columns.
    partial = korvix.frame.field_columns(header, {"bez1": "Nachname"})
    assert (partial["Bez1"], partial["PLZ"]) == ("Nachname", "Postleitzahl")
    for columns, mapping, message in [
        (["a", "b"], None, "no column names an address field"),
        (["a"], {"Telefon": "a"}, "unknown field 'Telefon'"),
        (["a"], {"PLZ": "b"}, "field PLZ names column 'b', which is not there"),
    ]:
        with pytest.raises(ValueError, match=re.escape(message)):
            korvix.frame.field_columns(columns, mapping)


def test_values_become_record_items():
    frame = pd.DataFrame(
        {"PLZ": ["01067", None, "1|2"], "Ort": ["Dresden", float("nan"), "Zeile\r\nzwei\ndrei\rvier"],
         "Bez1": [12, 13, 14]}
    )
    columns = korvix.frame.field_columns(frame.columns)
    assert korvix.frame.record_strings(frame, columns).tolist() == [
        "01067|Dresden|||12||||",
        "||||13||||",
        "1 2|Zeile zwei drei vier|||14||||",
    ]
