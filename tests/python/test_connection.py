"""Connections, names from the table and the selection dialog from Python."""

import threading

import korvix


def test_names_follow_the_user(database):
    df = korvix.DoubletFunctions()
    cases = [
        ("0103000000000000", "1001", "Meiner"),  # the user's own row first
        ("0103000000000000", "1002", "Öffentlich"),
        ("0103000000000000", "", "Öffentlich"),
        ("0105000000000000", "1002", "5(PLZ)"),  # no name: the description
        ("0199000000000000", "1001", "99(PLZ)"),  # no row
    ]
    for code, user, name in cases:
        assert df.GetAlgorithmName(database, code, user) == name, (code, user)
        assert df.GetAlgorithmName(Connection=database, Algorithm=code, PersonalNr=user) == name


def test_failures_are_values(tmp_path):
    missing = korvix.connect(str(tmp_path / "none.sqlite"))
    assert not missing and not missing.is_open
    assert "none.sqlite" in missing.error
    assert missing.execute("SELECT 1") is False

    made = korvix.connect(str(tmp_path / "new.sqlite"), create=True)
    assert made and made.error == ""
    assert made.execute("SELECT 1") is True
    assert made.execute("this is not SQL") is False
    assert made.error != ""
    made.close()
    made.close()
    assert not made

    unreachable = korvix.connect("postgresql://127.0.0.1:1/none?connect_timeout=2")
    assert not unreachable and unreachable.error != ""


def test_with_closes_the_connection(tmp_path):
    with korvix.connect(str(tmp_path / "x.sqlite"), create=True) as connection:
        assert connection.is_open
    assert not connection.is_open
    assert korvix.DoubletFunctions().GetAlgorithmName(connection, "0103000000000000", "") == (
        "3(PLZ)"
    )


def test_threads_take_turns_on_one_connection(database):
    df = korvix.DoubletFunctions()
    results = []

    def lookup():
        for _ in range(50):
            results.append(df.GetAlgorithmName(database, "0103000000000000", "1001"))

    threads = [threading.Thread(target=lookup) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == ["Meiner"] * 200


def test_headless_dialog_closes_without_a_choice(database):
    assert korvix.use_toolkit("headless")
    df = korvix.DoubletFunctions()
    # AlgorithmName is by reference: without a choice it keeps the value passed.
    assert df.ShowDlg(database, "0103000000000000", "1001", False, True, "vorher") == (
        "",
        "vorher",
    )
    assert korvix.show_dlg(database, "0103000000000000", "1001") is None
    assert korvix.show_dlg(None) is None
