"""korvix.Matcher: records against a base held ready, as dedupe --base decides."""

import os

import pytest

import korvix
import korvix._korvix
from conftest import DATA_DIR


def sample(first, count):
    with open(os.path.join(DATA_DIR, "sample.txt"), encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f][first:first + count]


def test_matches_as_dedupe_with_a_base_and_keeps_that_through_a_file(tmp_path):
    base, new = sample(0, 1500), sample(1500, 200)
    matcher = korvix.Matcher(base, id="4")
    assert len(matcher) == 1500
    found = 0
    for record in new:
        got = matcher.match(record, limit=100)
        want = korvix._korvix.dedupe_records([record], base, None, None, None)["pairs"]
        assert [(m["record"], m["algorithm"], m["score"]) for m in got] == [(p[1], p[2], p[3]) for p in want]
        for m in got:
            assert m["id"] == base[m["record"]].split("|")[3]
            assert set(m["parts"]) == {"kind", "name", "first_name", "street", "house_number", "plz", "town"}
        found += bool(got)
    assert found > 20
    index = tmp_path / "base.kxi"
    matcher.save(str(index))
    loaded = korvix.Matcher.load(str(index))
    assert [loaded.match(r) for r in new] == [matcher.match(r) for r in new]
    added = loaded.add("04109|Leipzig|Querweg 7|QUAST|Quast|Hildegard|||EH", "K-1")
    assert added == 1500
    assert [(m["record"], m["id"]) for m in loaded.match("04109|Leipzig|Querweg 7|QUAST|Quast|Hildegard|||")] \
        == [(1500, "K-1")]
    text = tmp_path / "b.txt"
    text.write_text("\n".join(base) + "\n", encoding="utf-8")
    from_file = korvix.Matcher(text)
    assert [from_file.match(r) for r in new[:50]] == [korvix.Matcher(base).match(r) for r in new[:50]]


def test_a_damaged_index_is_refused(tmp_path):
    path = tmp_path / "bad.kxi"
    path.write_bytes(b"KVXINDEX" + b"\0" * 40)
    with pytest.raises(OSError, match="no sound index file|format version"):
        korvix.Matcher.load(str(path))
    with pytest.raises(TypeError):
        korvix.Matcher([1, 2])
