"""Connections from Python: the user's names from the table, closing,
threads taking turns, and the selection dialog."""

import threading

import korvix

PLZ3 = "0103000000000000"


def test_names_follow_the_user_until_the_connection_is_closed(tmp_path, database):
    df = korvix.DoubletFunctions()
    assert df.GetAlgorithmName(database, PLZ3, "1001") == "Meiner"
    assert df.GetAlgorithmName(Connection=database, Algorithm=PLZ3, PersonalNr="") == "Öffentlich"
    with database:
        assert database.is_open and database.execute("SELECT 1") is None
    assert not database
    assert df.GetAlgorithmName(database, PLZ3, "1001") == "3(PLZ)"


def test_threads_take_turns_on_one_connection(database):
    df = korvix.DoubletFunctions()
    results = []

    def lookup():
        results.extend(df.GetAlgorithmName(database, PLZ3, "1001") for _ in range(50))

    threads = [threading.Thread(target=lookup) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == ["Meiner"] * 200


def test_headless_dialog_closes_without_a_choice(database):
    korvix.use_toolkit("headless")
    df = korvix.DoubletFunctions()
    assert df.ShowDlg(database, PLZ3, "1001", False, True, "vorher") == ("", "vorher")
    assert korvix.show_dlg(database, PLZ3, "1001") is None
