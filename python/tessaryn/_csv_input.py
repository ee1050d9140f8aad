"""Reads the command line's CSV input with pandas and picks its columns: the price, the
period, the time and the symbol. Whatever cannot be used raises InputError naming the file,
the column or the row."""

from __future__ import annotations

import io
import sys
import warnings
from dataclasses import dataclass

import pandas as pd

from ._input_error import InputError

# pandas' own list of cells read as empty, kept for every column but the symbols: there a
# ticker such as "NA" is a name, and only an empty cell is missing.
_EMPTY_CELLS = ["", "#N/A", "#N/A N/A", "#NA", "-1.#IND", "-1.#QNAN", "-NaN", "-nan",
                "1.#IND", "1.#QNAN", "<NA>", "N/A", "NA", "NULL", "NaN", "None", "n/a", "nan",
                "null"]
# Column names taken as the time when --time-column is not given (compared in lower case),
# then any name holding "date" or "time".
_TIME_NAMES = ("time", "date", "datetime", "timestamp", "day", "dt")


def read_table(source: str, by: str | None) -> tuple[pd.DataFrame, str]:
    """The CSV file `source` ("-": standard input) as a DataFrame, and how messages name
    it. Numbers are read with correct rounding; the symbol column `by` stays text."""
    name = "standard input" if source == "-" else source
    data = _open(source, name)
    try:
        header = pd.read_csv(data, nrows=0).columns
        data.seek(0)
        empty_cells = {column: [""] if column == by else _EMPTY_CELLS for column in header}
        with warnings.catch_warnings():
            # A row longer than the header would shift its cells or lose some: an error.
            warnings.simplefilter("error", pd.errors.ParserWarning)
            frame = pd.read_csv(data, dtype={by: str} if by in header else None,
                                keep_default_na=False, na_values=empty_cells, index_col=False,
                                float_precision="round_trip", low_memory=False)
    except pd.errors.ParserWarning:
        raise InputError(f"{name} has rows with more cells than its header") from None
    except pd.errors.EmptyDataError:
        raise InputError(f"{name} is empty") from None
    except pd.errors.ParserError as error:
        raise InputError(f"{name} is not a CSV table: {_one_line(error)}") from None
    except UnicodeDecodeError:
        raise InputError(f"{name} is not text (UTF-8)") from None
    finally:
        data.close()
    if len(frame) == 0:
        raise InputError(f"{name} has no rows below its header")
    return frame, name


@dataclass
class Columns:
    """The columns the command works on (None where there is none)."""
    price: str
    period: str | None
    time: str | None
    by: str | None


def choose_columns(frame: pd.DataFrame, source: str, *, price: str | None,
                   period: str | None, time: str | None, by: str | None) -> Columns:
    """The named columns, checked to exist and to differ, with the defaults filled in: the
    time a column named like one, the price the only numeric column left."""
    named = {"--column": price, "--period-column": period, "--time-column": time, "--by": by}
    for option, name in named.items():
        if name is not None and name not in frame.columns:
            raise InputError(f"{source} has no column {name!r} ({option}); its columns are "
                             + _listed(frame.columns))
    taken = {name for name in named.values() if name is not None}
    if time is None:
        time = _time_column([column for column in frame.columns if column not in taken])
        if time is not None:
            taken.add(time)
    if price is None:
        price = _price_column(frame, [column for column in frame.columns if column not in taken],
                              source)
    given = {}
    for option, name in (("--column", price), ("--period-column", period),
                         ("--time-column", time), ("--by", by)):
        if name in given:
            raise InputError(f"column {name!r} is both {given[name]} and {option}")
        if name is not None:
            given[name] = option
    return Columns(price=price, period=period, time=time, by=by)


def _open(source: str, name: str) -> io.BufferedIOBase:
    try:
        if source == "-":
            return io.BytesIO(sys.stdin.buffer.read())
        return open(source, "rb")
    except OSError as error:
        raise InputError(f"cannot read {name}: {error.strerror or error}") from None


def _time_column(candidates: list) -> str | None:
    lowered = [str(column).lower() for column in candidates]
    for wanted in _TIME_NAMES:
        if wanted in lowered:
            return candidates[lowered.index(wanted)]
    for column, low in zip(candidates, lowered):
        if "date" in low or "time" in low:
            return column
    return None


def _price_column(frame: pd.DataFrame, candidates: list, source: str) -> str:
    numeric = [column for column in candidates if frame[column].dtype.kind in "iuf"]
    if len(numeric) == 1:
        return numeric[0]
    if not numeric and len(candidates) == 1:
        return candidates[0]  # not numbers: its first bad row is named when it is read
    if numeric:
        raise InputError(f"{source} has several numeric columns ({_listed(numeric)}): "
                         "name the price column with --column")
    raise InputError(f"{source} has no numeric column to take as the price: name it with "
                     "--column; its columns are " + _listed(frame.columns))


def _listed(columns) -> str:
    return ", ".join(str(column) for column in columns)


def _one_line(error: Exception) -> str:
    text = " ".join(str(error).split())
    return text.removeprefix("Error tokenizing data. C error: ")
