# Types of the native module; korvix/__init__.py re-exports them.
import os
from typing import Any, Iterable, Optional, Tuple, TypedDict, Union

_Text = Union[str, bytes]

PROG_ID: str
__version__: str

class Error(Exception): ...
class DatabaseError(Error): ...
class ToolkitError(Error): ...
class UnknownClassError(Error): ...

class Connection:
    """A database connection; see connect()."""

    @property
    def is_open(self) -> bool: ...
    def execute(self, sql: _Text) -> None: ...
    def close(self) -> None: ...
    def __bool__(self) -> bool: ...
    def __enter__(self) -> Connection: ...
    def __exit__(self, *args: object) -> None: ...

def connect(path_or_uri: _Text, *, create: bool = False) -> Connection: ...

class DoubletFunctions:
    """The component's class: five methods, no state, nothing raises."""

    def __init__(self) -> None: ...
    def BuildDoubletKey(self, Algorithm: _Text, Data: _Text) -> str: ...
    def TranslateAlgorithm(self, Algorithm: _Text) -> str: ...
    def GetAlgorithmName(
        self, Connection: Optional[Connection], Algorithm: _Text, PersonalNr: _Text
    ) -> str: ...
    def ShowDlg(
        self,
        Connection: Optional[Connection],
        Algorithm: _Text = "",
        PersonalNr: _Text = "",
        IsAdmin: bool = False,
        AllowSelect: bool = True,
        AlgorithmName: _Text = "",
    ) -> Tuple[str, str]: ...
    def BuildSoundexString(self, Text: _Text) -> str: ...

class KeyBuilder:
    """An algorithm code parsed once, for keying many records."""

    def __init__(self, algorithm: _Text) -> None: ...
    @property
    def algorithm(self) -> str: ...
    @property
    def key_length(self) -> int: ...
    def key(self, record: _Text) -> str: ...
    def keys(self, records: Iterable[_Text], threads: int = 0) -> list[str]: ...
    def keys_from_columns(
        self, columns: Iterable[Optional[Iterable[Optional[_Text]]]], threads: int = 0
    ) -> list[str]: ...

class Matcher:
    """A customer base held ready: its keys and profiles, to match one record
    at a time as korvix dedupe --base decides."""

    def __init__(
        self,
        base: Union[_Text, os.PathLike[str], Iterable[_Text]],
        algorithms: Optional[Iterable[_Text]] = None,
        normalize: Optional[bool] = None,
        verify: Optional[float] = None,
        id: _Text = "",
    ) -> None: ...
    @staticmethod
    def load(path: _Text) -> Matcher: ...
    def match(self, record: _Text, limit: int = 10) -> list[dict[str, Any]]: ...
    def add(self, record: _Text, id: _Text = "") -> int: ...
    def save(self, path: _Text) -> None: ...
    def __len__(self) -> int: ...

def key(algorithm: _Text, record: _Text) -> str: ...
def soundex(text: _Text) -> str: ...
def describe(algorithm: _Text) -> str: ...
def read_algorithm(given: _Text) -> str: ...
def create_object(prog_id: _Text) -> DoubletFunctions: ...
def use_toolkit(name: _Text) -> None: ...

# The dicts of explain() and evaluate_file(); types only, no runtime names.
_Parts = TypedDict(
    "_Parts",
    {"kind": float, "name": float, "first_name": float, "street": float,
     "house_number": float, "plz": float, "town": float},
)
_Comparison = TypedDict(
    "_Comparison",
    {"a": str, "b": str, "kind_a": str, "kind_b": str, "parts": _Parts, "score": float,
     "rule": str},
)
_Quality = TypedDict(
    "_Quality",
    {"threshold": float, "precision": float, "recall": float, "f1": float, "found": int,
     "wrongly_joined": int, "missed": int},
)
_Evaluation = TypedDict(
    "_Evaluation",
    {"labelled": int, "unknown": int, "run": _Quality, "thresholds": list[_Quality]},
)

def record_identity(record: _Text, id: _Text = "") -> str: ...
def normalize_record(record: _Text) -> str: ...
def score_records(a: _Text, b: _Text) -> float: ...
def explain(a: _Text, b: _Text) -> _Comparison: ...
def record_fields() -> list[Tuple[int, str, list[str]]]: ...
def field_of_column(name: _Text) -> Tuple[int, int]: ...
def field_of_label(label: _Text) -> int: ...
def fold_column_name(name: _Text, loose: bool = False) -> str: ...
def dedupe_records(
    records: Iterable[_Text],
    base: Optional[Iterable[_Text]],
    algorithms: Optional[list[Tuple[str, str]]],
    normalize: Optional[bool],
    verify: Optional[float],
    max_candidates: int = 200,
    threads: int = 0,
    sample_pairs: int = 0,
    survivor: str = "",
    fill: bool = False,
    clean: str = "",
    mapping: str = "",
    memory: Union[None, int, str] = None,
    decisions: Optional[Iterable[Tuple[str, ...]]] = None,
    temp_dir: str = "",
) -> dict: ...
def dedupe_file(
    path: str,
    base: str,
    algorithms: Optional[list[Tuple[str, str]]],
    normalize: Optional[bool],
    verify: Optional[float],
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
    sample_pairs: int = 0,
    survivor: str = "",
    fill: bool = False,
    clean: str = "",
    mapping: str = "",
    id: str = "",
    previous: str = "",
    memory: Union[None, int, str] = None,
    decisions: Optional[Iterable[Tuple[str, ...]]] = None,
    temp_dir: str = "",
) -> dict: ...
def evaluate_file(
    path: str,
    labels: Iterable[Tuple[int, int, bool]],
    base: str,
    algorithms: Optional[list[Tuple[str, str]]],
    normalize: Optional[bool],
    verify: Optional[float],
    input_format: str = "",
    delimiter: str = "",
    map: str = "",
    strict: bool = False,
    max_candidates: int = 200,
    threads: int = 0,
) -> _Evaluation: ...
def read_labelled_pairs(path: str) -> list[Tuple[int, int, bool]]: ...
def dedupe_settings(
    algorithms: Optional[list[Tuple[str, str]]], normalize: Optional[bool], verify: Optional[float]
) -> Tuple[list[str], bool, float]: ...

# The steps of korvix.dask.dedupe; numbers as NumPy arrays.
def spread_keys(
    columns: list[Optional[Iterable[Optional[_Text]]]], codes: list[str], normalize: bool,
    verify: float, threads: int = 0,
) -> Tuple[list[list[str]], list[bytes]]: ...
def spread_count_words(profiles: Iterable[bytes]) -> Tuple[Any, Any]: ...
def spread_score(
    profiles: list[bytes], members: Any, ends: Any, algorithms: Any, keys: list[str],
    made: list[Any], words: Any, counts: Any, records: int, codes: list[str], normalize: bool,
    verify: float, max_candidates: int = 200, threads: int = 0,
) -> Tuple[Any, Any, Any, Any]: ...
def spread_group(
    records: int, a: Any, b: Any, algorithm: Any, score: Any, linked: Any, profiles: list[bytes],
    first_keys: list[str], words: Any, counts: Any, counted: int, codes: list[str],
    normalize: bool, verify: float, max_candidates: int = 200, threads: int = 0,
) -> Tuple[Any, Any, Any]: ...
