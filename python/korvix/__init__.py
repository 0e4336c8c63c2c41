"""Duplicate keys for address records.

A record is one string of nine "|"-separated items in the fixed order
PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe. An algorithm
code says which items, how many characters of each, from which side and
whether by their phonetic code make the key; records with equal keys are
duplicates.

    >>> import korvix
    >>> code = "010300000000000003050000000000000504110000000000"
    >>> korvix.describe(code)
    "3(PLZ)+5(Straße)+4R['sndx:Bez1]"
    >>> korvix.key(code, "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH")
    '123HAUPTRGMB'
    >>> korvix.KeyBuilder(code).keys(["12345|Musterstadt|Hauptstraße 5", "9"])
    ['123HAUPT----', '9-----------']

Like the component itself, nothing here raises for what the data holds: a
record or code of any content gives a key. A call that fails raises a
korvix.Error: DatabaseError when a database cannot be opened or a statement
fails, ToolkitError when a dialog toolkit cannot be chosen, UnknownClassError
for an unknown programmatic identifier. Where the component gives a result
on failure it is returned instead (a closed connection gives the description
as an algorithm's name). An argument of the wrong type is a TypeError. Text
that came from legacy bytes decoded with errors="surrogateescape" gives
those bytes back, which read as Windows-1252.

Finding the duplicates of a file or a DataFrame, with several keys,
normalising and verifying: korvix.dedupe() (korvix.frame). Why verification
takes two records for one customer or two: korvix.explain(). Choosing the
threshold: korvix.sample_pairs() gives pairs to label, korvix.evaluate()
measures a run against them. Scale-out over a Dask cluster: korvix.dask.

    >>> found = korvix.explain("10115|Berlin|Hauptstr. 1||Hönig|Frederike",
    ...                        "10115|Berlin|Hauptstraße 1||Hönig|Marieke")
    >>> found["b"], found["score"], found["rule"]
    ('10115|BERLIN|HAUPTSTRASSE 1||HOENIG|MARIEKE', 0.0, 'first names differ')
"""

from __future__ import annotations

from typing import NamedTuple, Optional

from ._korvix import (
    PROG_ID,
    Connection,
    DatabaseError,
    DoubletFunctions,
    Error,
    KeyBuilder,
    Matcher,
    ToolkitError,
    UnknownClassError,
    __version__,
    connect,
    create_object,
    describe,
    explain,
    key,
    normalize_record,
    read_algorithm,
    record_identity,
    score_records,
    soundex,
    use_toolkit,
)

__all__ = [
    "PROG_ID",
    "Choice",
    "Connection",
    "DatabaseError",
    "DoubletFunctions",
    "Error",
    "KeyBuilder",
    "Matcher",
    "ToolkitError",
    "UnknownClassError",
    "connect",
    "create_object",
    "dedupe",
    "describe",
    "evaluate",
    "explain",
    "key",
    "normalize_record",
    "read_algorithm",
    "record_identity",
    "sample_pairs",
    "score_records",
    "show_dlg",
    "soundex",
    "use_toolkit",
]


class Choice(NamedTuple):
    """What the user chose in the selection dialog."""

    code: str  # the algorithm code
    name: str  # the chosen entry's list text: its name, else its description


def show_dlg(
    connection: Optional[Connection],
    algorithm: str = "",
    personal_nr: str = "",
    is_admin: bool = False,
    allow_select: bool = True,
) -> Optional[Choice]:
    """Shows the selection dialog for the user with staff number
    `personal_nr` and returns the algorithm chosen, or None when the dialog
    closed without a choice. `algorithm` is selected at the start when it is
    listed. The dialog is shown on the toolkit chosen by use_toolkit()."""
    code, name = DoubletFunctions().ShowDlg(
        connection, algorithm, personal_nr, bool(is_admin), bool(allow_select), ""
    )
    return Choice(code, name) if code else None


def dedupe(data, algorithms=None, **options):
    """Finds the duplicates of a file or a pandas DataFrame as `korvix
    dedupe` does; see korvix.frame.dedupe, which this calls (pandas is
    imported only here)."""
    from .frame import dedupe as run

    return run(data, algorithms, **options)


def sample_pairs(data, n, algorithms=None, **options):
    """Candidate pairs of a verified run, spread over the scores, for a
    person to label; see korvix.frame.sample_pairs, which this calls."""
    from .frame import sample_pairs as sample

    return sample(data, n, algorithms, **options)


def evaluate(labels, data, algorithms=None, **options):
    """Precision, recall and F1 of a run's groups against labelled pairs, at
    the run's threshold and at others; see korvix.frame.evaluate, which this
    calls."""
    from .frame import evaluate as measure

    return measure(labels, data, algorithms, **options)
