"""The package's API: the class with its five methods and the plain helpers."""

import doctest
import warnings

import pytest

import korvix
from conftest import ADDRESS_CODE

CODE = "010300000000000003050000000000000504110000000000"
RECORD = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A"


def test_examples_in_the_package_documentation_hold():
    failed, tried = doctest.testmod(korvix)
    assert tried > 0 and failed == 0


@pytest.mark.parametrize(
    "code, record, key",
    [
        (CODE, RECORD, "123HAUPTRGMB"),
        ("01060000000000000208100000000000", RECORD, "12345-terstadt"),
        ("09030000000000000202100000000000", RECORD, "A--dt"),
        ("5112000000000000", RECORD, "Müller GmbH "),
        (CODE, "", "------------"),
        (CODE, "1|2", "1-----------"),
        ("", RECORD, ""),
        # Legacy bytes read as Windows-1252, as bytes or as escaped str.
        ("0506100000000000", b"1|2|3|4|M\xfcller", "Müller"),
        ("0506100000000000", "1|2|3|4|M\udcfcller", "Müller"),
        # A decomposed ü is the precomposed one.
        ("0506100000000000", "1|2|3|4|Mu\u0308ller", "Müller"),
    ],
)
def test_key_agrees_everywhere(code, record, key):
    df = korvix.DoubletFunctions()
    assert korvix.key(code, record) == key
    assert korvix.KeyBuilder(code).key(record) == key
    assert korvix.KeyBuilder(code).keys([record]) == [key]
    assert df.BuildDoubletKey(code, record) == key
    assert df.BuildDoubletKey(Algorithm=code, Data=record) == key


@pytest.mark.parametrize(
    "text, code",
    [
        ("Meier", "MR"),
        ("Mayer", "MR"),
        ("Müller & Söhne", "MLRMDCM"),
        ("Haus 12", "CMCQ"),
        ("", ""),
        ("!!!", ""),
        (b"M\xfcller", "MLR"),
    ],
)
def test_soundex(text, code):
    assert korvix.soundex(text) == code
    assert korvix.DoubletFunctions().BuildSoundexString(Text=text) == code


@pytest.mark.parametrize(
    "code, description",
    [
        (CODE, "3(PLZ)+5(Straße)+4R['sndx:Bez1]"),
        (ADDRESS_CODE, "5(PLZ)+5(Straße)+4R['sndx:Bez1]"),
        ("", ""),
    ],
)
def test_describe_and_the_name_without_a_table(code, description):
    df = korvix.DoubletFunctions()
    assert korvix.describe(code) == description
    assert df.TranslateAlgorithm(Algorithm=code) == description
    closed = korvix.connect("/nonexistent/korvix.sqlite")
    for connection in (None, closed):
        assert df.GetAlgorithmName(connection, code, "1001") == description


def test_objects_come_only_from_the_programmatic_identifier():
    assert korvix.PROG_ID == "Korvix.DoubletFunctions"
    assert isinstance(korvix.create_object("Korvix.DoubletFunctions"), korvix.DoubletFunctions)
    for other in ("korvix.doubletfunctions", "Korvix.DoubletFunctions ", "", None, 3):
        assert korvix.create_object(other) is None


def test_methods_keep_their_names_order_and_defaults():
    df = korvix.DoubletFunctions()
    # Positional order as the interface has it.
    assert df.GetAlgorithmName(None, CODE, "1001") == korvix.describe(CODE)
    assert df.ShowDlg(None, CODE, "1001", True, False, "vorher") == ("", "vorher")
    # Every argument after the connection may be left out.
    assert df.ShowDlg(None) == ("", "")
    assert df.ShowDlg(Connection=None, AllowSelect=-1, IsAdmin=0) == ("", "")


def test_wrong_argument_types_raise_type_error():
    for call in (
        lambda: korvix.key(CODE, 3),
        lambda: korvix.key(None, RECORD),
        lambda: korvix.soundex(["Meier"]),
        lambda: korvix.describe(1),
        lambda: korvix.KeyBuilder(3),
        lambda: korvix.DoubletFunctions().BuildDoubletKey(CODE, None),
        lambda: korvix.DoubletFunctions().GetAlgorithmName("not a connection", CODE, ""),
    ):
        with pytest.raises(TypeError):
            call()


def test_toolkit_choice_fails_softly():
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert korvix.use_toolkit("motif") is False
        assert korvix.use_toolkit("headless") is True
    assert [str(w.message) for w in caught] == [
        'unknown dialog toolkit "motif"; the toolkits are "headless" and "qt"'
    ]
    assert caught[0].category is RuntimeWarning


def test_type_stubs_match_the_module():
    import ast
    from pathlib import Path

    import korvix._korvix as native

    stub = ast.parse((Path(native.__file__).parent / "_korvix.pyi").read_text(encoding="utf-8"))
    stubbed = set()
    for node in stub.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            stubbed.add(node.name)
            assert hasattr(native, node.name), node.name
        if isinstance(node, ast.ClassDef):
            for member in node.body:
                if isinstance(member, ast.FunctionDef):
                    assert hasattr(getattr(native, node.name), member.name), (node.name, member.name)
        if isinstance(node, ast.AnnAssign):
            stubbed.add(node.target.id)
    public = {name for name in dir(native) if not name.startswith("__")}
    assert public == stubbed
