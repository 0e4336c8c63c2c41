"""korvix.dedupe on DataFrames and files, and the column mapping it shares
with the command line."""

import math
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


def test_group_numbers_kept_from_an_earlier_report(tool, tmp_path):
    old = tmp_path / "old.csv"
    (tmp_path / "k1.csv").write_text("Kundennr;PLZ\n1;10115\n2;10115\n3;20095\n4;20095\n5;30000\n6;30000\n")
    tool("dedupe", "--algorithm", "0105000000000000", "--id", "Kundennr", "--format", "csv",
         "--output", str(old), str(tmp_path / "k1.csv"))
    # 1 and 2 part, 3 and 4 continue, 5 and 6 are joined by 7.
    (tmp_path / "k2.csv").write_text("Kundennr;PLZ\n7;30000\n1;10115\n2;40000\n3;20095\n4;20095\n"
                                     "5;30000\n6;30000\n")
    found = korvix.dedupe(tmp_path / "k2.csv", "0105000000000000", normalize=False, verify=0,
                          id="Kundennr", previous=old)
    assert found["group"].tolist() == [3, 0, 0, 2, 2, 3, 3]
    with pytest.raises(ValueError, match="previous"):
        korvix.dedupe(PEOPLE, previous=old)


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


# Three relatives at one address and a pair in Hamburg: the record without a
# first name scores high against both Hans and Peter, who are two people.
FAMILY = pd.DataFrame(
    [r.split("|") for r in (
        "10115|Berlin|Hauptstraße 5|M|Müller|Hans", "10115|Berlin|Hauptstraße 5|M|Müller|",
        "10115|Berlin|Hauptstr. 5|M|Müller|Peter", "20095|Hamburg|Markt 1|S|Schulz|Eva",
        "20095|Hamburg|Markt 1|S|Schulz|Eva")],
    columns=["PLZ", "Ort", "Strasse", "Suchbegriff", "Bez1", "Bez2"],
    index=["hans", "ohne", "peter", "eva", "eva2"],
)

# The scorer's rules are proven where they live; here, that a comparison
# crosses into Python whole: its rule, its kinds, text and legacy bytes.
COMPARED = [
    # a, b, kind_a, kind_b, rule, lowest and highest score
    ("10115|Berlin|Hauptstr. 1|MEIER|Meier GmbH|", "10115|Berlin|Hauptstr. 1|MEIER|Meier|Hans",
     "organisation", "person", "organisation and person", 0, 0),
    ("10115|Berlin|Hauptstr. 1|M|Müller|Katrin", "10115|Berlin|Hauptstraße 1|M|Mueller|Kathrin",
     "person", "person", "parts", 0.9, 0.99),
    # Legacy bytes, as bytes or as surrogate escapes, read as Windows-1252.
    (b"10115|Berlin|Weg 1|M|M\xfcller|Hans", "10115|Berlin|Weg 1|M|M\udcfcller|Hans",
     "person", "person", "parts", 1, 1),
]


def test_explain_tells_the_parts_and_the_rule_that_decided():
    for a, b, kind_a, kind_b, rule, low, high in COMPARED:
        found = korvix.explain(a, b)
        assert list(found) == ["a", "b", "kind_a", "kind_b", "parts", "score", "rule"]
        assert (found["kind_a"], found["kind_b"], found["rule"]) == (kind_a, kind_b, rule), a
        assert low <= found["score"] <= high, (a, found["score"])
        assert found["score"] == korvix.score_records(a, b)
        parts = found["parts"]
        assert list(parts) == list(korvix.frame.PARTS)
        assert all(type(v) is float and 0 <= v <= 1 for v in parts.values()), parts
        if rule == "parts":
            assert math.isclose(found["score"], math.prod(parts.values()), rel_tol=1e-6), a
        else:
            assert 0 in (parts["kind"], parts["first_name"]), a
        assert found["a"] == korvix.normalize_record(a) and found["b"] == korvix.normalize_record(b)
    with pytest.raises(TypeError):
        korvix.explain("1|X", None)


def test_pairs_carry_the_parts_and_kept_apart_tells_why_a_link_was_refused(tmp_path):
    records, pairs, apart = korvix.dedupe(FAMILY, pairs=True, kept_apart=True)
    # The record without a first name matches Hans and Peter alike: it joins neither.
    assert records["group"].tolist() == [0, 0, 0, 1, 1]
    assert list(pairs.columns) == ["a", "b", "algorithm", "score", *korvix.frame.PARTS]
    assert sorted(zip(pairs["a"], pairs["b"])) == [("eva", "eva2")]
    strings = dict(zip(FAMILY.index, korvix.frame.record_strings(
        FAMILY, korvix.frame.field_columns(FAMILY.columns))))
    for pair in pairs.itertuples():
        parts = {p: getattr(pair, p) for p in korvix.frame.PARTS}
        assert math.isclose(pair.score, math.prod(parts.values()), rel_tol=1e-6)
        assert parts == korvix.explain(strings[pair.a], strings[pair.b])["parts"]
    # Hans and Peter are two people, so neither link of the record between them stands.
    assert list(apart.columns) == ["a", "b", "score", "x", "y", "xy_score", "rule"]
    assert apart[["a", "b", "x", "y", "rule"]].values.tolist() == [
        ["hans", "ohne", "hans", "peter", "first names differ"],
        ["ohne", "peter", "hans", "peter", "first names differ"]]
    assert (apart["score"] >= 0.7).all() and (apart["xy_score"] < 0.6).all()
    # From a file, the records are numbered from 1; the tuple holds what was asked for.
    path = tmp_path / "family.txt"
    path.write_text("\n".join(strings.values()) + "\n", encoding="utf-8")
    records, apart = korvix.dedupe(path, kept_apart=True)
    assert apart[["a", "b", "x", "y"]].values.tolist() == [[1, 2, 1, 3], [2, 3, 1, 3]]
    # Unverified, nothing is scored or refused, and the frames keep their columns.
    records, pairs, apart = korvix.dedupe(FAMILY, ADDRESS_CODE, verify=0, pairs=True,
                                          kept_apart=True)
    assert records["group"].tolist() == [1, 1, 1, 2, 2]
    assert pairs.empty and list(pairs.columns)[-1] == "town"
    assert apart.empty and list(apart.columns)[-1] == "rule"


def test_sample_pairs_spread_over_the_scores_as_explain_scores_them(sample_records):
    sample = korvix.sample_pairs(DATA_DIR / "sample.txt", 30)
    assert list(sample.columns) == ["record_a", "record_b", "score", *korvix.frame.PARTS, "same"]
    assert 10 <= len(sample) <= 30 and sample["same"].isna().all()
    for pair in sample.itertuples():
        explained = korvix.explain(sample_records[pair.record_a - 1],
                                   sample_records[pair.record_b - 1])
        assert {p: getattr(pair, p) for p in korvix.frame.PARTS} == explained["parts"]
        # The run keeps its scores in single precision.
        assert math.isclose(pair.score, explained["score"], rel_tol=1e-6, abs_tol=1e-7), pair
    # From a DataFrame, each pair also names its rows by their index labels.
    frame = pd.DataFrame([r.split("|") for r in sample_records[:400]],
                         columns=korvix.frame.FIELDS,
                         index=[f"k{n}" for n in range(400)])
    sample = korvix.sample_pairs(frame, 5)
    assert list(sample.columns[:4]) == ["record_a", "record_b", "index_a", "index_b"]
    assert 1 <= len(sample) <= 5
    assert sample["index_a"].tolist() == [f"k{n - 1}" for n in sample["record_a"]]
    assert sample["index_b"].tolist() == [f"k{n - 1}" for n in sample["record_b"]]
    # Against a base, record_b and index_b are the base's.
    sample = korvix.sample_pairs(FAMILY.iloc[[1, 3]], 4, base=FAMILY.iloc[[0, 2, 4]])
    assert sorted(zip(sample["record_a"], sample["record_b"], sample["index_a"],
                      sample["index_b"])) == [(1, 1, "ohne", "hans"), (1, 2, "ohne", "peter"),
                                              (2, 3, "eva", "eva2")]
    for n, options, error in [(0, {}, ValueError), (-3, {}, ValueError), ("5", {}, TypeError),
                              (5, {"verify": 0}, ValueError)]:
        with pytest.raises(error):
            korvix.sample_pairs(frame, n, **options)


def _labels_from_groups(found):
    # Every pair inside a group is one customer; each group's first record
    # against the next group's, or a record alone, are two.
    same, different = [], []
    members = found[found["group"] > 0].groupby("group").groups
    firsts = []
    for group in sorted(members):
        numbers = list(members[group])
        same += [(a, b) for i, a in enumerate(numbers) for b in numbers[i + 1:]]
        firsts.append(numbers[0])
    alone = found.index[found["group"] == 0][: len(firsts)]
    different += list(zip(firsts, firsts[1:])) + list(zip(firsts, alone))
    return [(a, b, True) for a, b in same] + [(a, b, False) for a, b in different]


def test_evaluate_against_the_groups_themselves_is_perfect_in_any_form_of_labels(tmp_path):
    path = DATA_DIR / "sample.txt"
    labels = _labels_from_groups(korvix.dedupe(path))
    same = sum(label for _, _, label in labels)
    assert same > 100 and len(labels) - same > 100
    found = korvix.evaluate(labels + [(4999, 5001, True)], path)
    assert (found["labelled"], found["unknown"]) == (len(labels), 1)
    assert found["run"] == {"threshold": 0.7, "precision": 1.0, "recall": 1.0, "f1": 1.0,
                            "found": same, "wrongly_joined": 0, "missed": 0}
    assert [round(q["threshold"], 2) for q in found["thresholds"]] == [round(0.5 + 0.05 * i, 2) for i in range(10)]
    # The same labels as a labelled DataFrame (words; unlabelled rows left
    # out) and as a CSV file, and the data as a DataFrame with its own index.
    words = pd.DataFrame({"record_a": [a for a, _, _ in labels] + [1],
                          "record_b": [b for _, b, _ in labels] + [2],
                          "Same": ["Ja" if s else "nein" for _, _, s in labels] + [None]})
    csv = tmp_path / "labels.csv"
    words.rename(columns={"Same": "same"}).to_csv(csv, sep=";", index=False)
    records = path.read_text(encoding="utf-8").splitlines()
    frame = pd.DataFrame([r.split("|") for r in records], columns=korvix.frame.FIELDS,
                         index=[f"r{n}" for n in range(len(records), 0, -1)])
    expected = korvix.evaluate(labels, path)
    for given, data in [(words, path), (csv, path), (str(csv), path), (labels, frame),
                        (iter(labels), str(path))]:
        assert korvix.evaluate(given, data) == expected, (type(given), type(data))
    # Unverified there is no table.
    plain = korvix.evaluate(labels, path, ADDRESS_CODE, verify=0)
    assert plain["thresholds"] == [] and plain["run"]["threshold"] == 0


def test_labels_that_cannot_be_read_are_refused(tmp_path):
    path = DATA_DIR / "sample.txt"
    for labels, message in [
        ([(0, 2, True)], "0 is no record number"),
        ([(1, 2.5, True)], "2.5 is no record number"),
        ([("1", 2, True)], "'1' is no record number"),
        ([(1, 2, "vielleicht")], "same is 'vielleicht', not yes or no"),
        ([(1, 2, 2)], "same is 2, not yes or no"),
        (pd.DataFrame({"a": [1], "b": [2]}), "the columns record_a, record_b and same"),
    ]:
        with pytest.raises(ValueError, match=re.escape(message)):
            korvix.evaluate(labels, path)
    # A file's content is refused as data, as `korvix dedupe` refuses a bad record.
    bad = tmp_path / "bad.csv"
    for content, message in [("x;y\n1;2\n", "the header needs the columns"),
                             ("a;b;same\n1;2;vielleicht\n", "line 2")]:
        bad.write_text(content, encoding="utf-8")
        with pytest.raises(OSError, match=message):
            korvix.evaluate(bad, path)
    with pytest.raises(OSError, match="cannot open"):
        korvix.evaluate(tmp_path / "missing.csv", path)



def test_survivors_of_a_frame_and_of_a_file(tmp_path):
    # Both records of each group are complete: the earlier survives.
    found = korvix.dedupe(PEOPLE, survivor="most-complete", fill=True)
    assert found["survivor"].to_dict() == {"a": "a", "b": "a", "c": "c", "d": "d", "e": "d", "f": "f"}
    assert found["filled"].isna().all()
    path = tmp_path / "k.csv"
    path.write_text("Nr;PLZ;Name;Ort\n1;10115;Meier;\n2;10115;;Berlin\n3;20095;Otto;\n", encoding="utf-8")
    found = korvix.dedupe(path, "0105000000000000", survivor="first", fill=True, clean=tmp_path / "c.csv",
                          mapping=tmp_path / "m.csv", id="Nr")
    assert found["survivor"].tolist() == [1, 1, 3]
    assert found["filled"].tolist() == ["1;10115;Meier;Berlin", None, None]
    assert (tmp_path / "c.csv").read_text() == "Nr;PLZ;Name;Ort\n1;10115;Meier;Berlin\n3;20095;Otto;\n"
    assert (tmp_path / "m.csv").read_text() == "record;id;survivor_record;survivor_id;group\n2;2;1;1;1\n"


def test_a_memory_limit_too_small_or_no_temporary_folder_is_refused():
    with pytest.raises(korvix.Error, match="memory limit of 1.0 KiB is less than the 16.0 MiB"):
        korvix.dedupe(PEOPLE, memory="1K")
    with pytest.raises(ValueError):
        korvix.dedupe(PEOPLE, memory="lots")
    assert korvix.dedupe(PEOPLE, memory=1 << 30)["group"].max() == 2
    with pytest.raises(OSError, match="temporary folder /nonexistent"):
        korvix.dedupe(PEOPLE, temp_dir="/nonexistent")


def test_decisions_overrule_the_scores():
    strings = korvix.frame.record_strings(PEOPLE, korvix.frame.field_columns(PEOPLE.columns, None))
    a, d, e, f = (korvix.record_identity(strings[k]) for k in "adef")
    found = korvix.dedupe(PEOPLE, decisions=[("different", d, e), ("same", a, f)])
    assert found["group"].to_dict() == {"a": 1, "b": 1, "c": 0, "d": 0, "e": 0, "f": 1}
    with pytest.raises(ValueError, match="contradict"):
        korvix.dedupe(PEOPLE, decisions=[("different", d, e), ("same", d, a), ("gleich", a, e)])
