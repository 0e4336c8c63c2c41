"""The package's API: the class, the helpers, how failures are reported, the
version and the type stubs."""

import ast
import doctest
import os
from pathlib import Path

import pytest

import korvix

CODE = "0103000000000000"


def test_examples_in_the_package_documentation_hold():
    failed, tried = doctest.testmod(korvix)
    assert tried > 0 and failed == 0


def test_the_class_keeps_names_order_and_defaults_and_agrees_with_the_helpers():
    df = korvix.create_object(korvix.PROG_ID)
    record = "12345|Musterstadt|Hauptstraße 5"
    assert df.BuildDoubletKey(Algorithm=CODE, Data=record) == korvix.key(CODE, record) == "123"
    assert df.TranslateAlgorithm(Algorithm=CODE) == korvix.describe(CODE) == "3(PLZ)"
    assert df.BuildSoundexString(Text="Meier") == korvix.soundex("Meier") == "MR"
    assert df.GetAlgorithmName(None, CODE, "1001") == "3(PLZ)"
    # AlgorithmName is by reference: without a choice it keeps the value passed.
    assert df.ShowDlg(None, CODE, "1001", True, False, "vorher") == ("", "vorher")
    assert df.ShowDlg(Connection=None, AllowSelect=-1, IsAdmin=0) == ("", "")
    # Legacy bytes, as bytes or decoded with surrogateescape, read as Windows-1252.
    for record in (b"1|2|3|4|M\xfcller", "1|2|3|4|M\udcfcller"):
        assert korvix.key("0506100000000000", record) == "Müller"


def test_failures_raise_a_korvix_error_and_results_on_failure_are_returned(tmp_path):
    connection = korvix.connect(str(tmp_path / "x.sqlite"), create=True)
    cases = [
        (lambda: connection.execute("this is not SQL"), korvix.DatabaseError, "syntax error"),
        (lambda: korvix.connect("postgresql://127.0.0.1:1/none?connect_timeout=2"),
         korvix.DatabaseError, "127.0.0.1"),
        (lambda: connection.close() or connection.execute("SELECT 1"), korvix.DatabaseError,
         "the connection is closed"),
        (lambda: korvix.create_object("korvix.doubletfunctions"), korvix.UnknownClassError,
         'no class is registered as "korvix.doubletfunctions"; the class of this library is '
         '"Korvix.DoubletFunctions"'),
        (lambda: korvix.use_toolkit("motif"), korvix.ToolkitError,
         'unknown dialog toolkit "motif"; the toolkits are "headless" and "qt"'),
    ]
    for call, error, message in cases:
        with pytest.raises(error) as raised:
            call()
        assert message in str(raised.value) and isinstance(raised.value, korvix.Error)
    # The component's own results on failure: a closed connection reads as no
    # table, a dialog closed without a choice is None.
    assert korvix.DoubletFunctions().GetAlgorithmName(connection, CODE, "") == "3(PLZ)"
    assert korvix.use_toolkit("headless") is None and korvix.show_dlg(None) is None


def test_each_code_of_the_library_raises_its_python_class(tmp_path):
    (tmp_path / "k.txt").write_text("12345|a\n")
    cases = [  # (call, class, message), one for each code of korvix::Error that Python meets
        (lambda: korvix.dedupe(tmp_path / "k.txt", verify=2), ValueError, "between 0 and 1"),  # kInvalidArgument
        (lambda: korvix.read_algorithm("5400000000000000"), ValueError,
         "characters 1-2: field number 54 names no field"),  # kInvalidArgument
        (lambda: korvix.dedupe(tmp_path / "fehlt.txt"), OSError, "fehlt.txt"),  # kIo
        (lambda: korvix.connect(str(tmp_path / "fehlt" / "x.sqlite")), korvix.DatabaseError,
         "x.sqlite"),  # kDatabase
    ]
    for call, error, message in cases:
        with pytest.raises(error, match=message):
            call()


def test_readable_forms_are_read_as_their_codes():
    assert korvix.read_algorithm("5(PLZ)+3(Ort)") == "0105000000000000" "0203000000000000"


@pytest.mark.skipif(os.environ.get("KORVIX_WITH_QT") != "1", reason="libkorvix-qt is not built")
def test_the_qt_toolkit_is_loaded_from_beside_the_library():
    assert korvix.use_toolkit("qt") is None and korvix.use_toolkit("headless") is None


def test_wrong_argument_types_raise_type_error():
    for call in (
        lambda: korvix.key(CODE, 3),
        lambda: korvix.soundex(["Meier"]),
        lambda: korvix.KeyBuilder(None),
        lambda: korvix.create_object(None),
        lambda: korvix.DoubletFunctions().GetAlgorithmName("not a connection", CODE, ""),
    ):
        with pytest.raises(TypeError):
            call()


def test_the_version_is_the_one_of_the_tool(tool):
    assert tool("--version") == f"korvix {korvix.__version__}\n"


def test_type_stubs_match_the_module():
    import korvix._korvix as native

    stub = ast.parse((Path(native.__file__).parent / "_korvix.pyi").read_text(encoding="utf-8"))
    names = {getattr(n, "name", None) or getattr(getattr(n, "target", None), "id", None)
             for n in stub.body} - {None}
    assert names - {"__version__"} == {n for n in dir(native) if not n.startswith("__")}
    for cls in (n for n in stub.body if isinstance(n, ast.ClassDef)):
        for method in (m.name for m in cls.body if isinstance(m, ast.FunctionDef)):
            assert hasattr(getattr(native, cls.name), method), (cls.name, method)
