"""Reads the command line's CSV input with pandas and picks its columns: the price, the
period, the time and the symbol. Whatever cannot be used raises InputError naming the file,
the column or the row."""

from __future__ import annotations

import csv
import io
import sys
import warnings
from dataclasses import dataclass

import pandas as pd

from ._dialect import SEPARATORS, Dialect, cells, detect, is_number_text
from ._columns import has_clock_times, is_dates, is_time_of_day, says_time
from ._input_error import EnvironmentFailure, InputError, os_reason

# pandas' own list of cells read as empty, kept for every column but the symbols: there a
# ticker such as "NA" is a name, and only an empty cell is missing.
_EMPTY_CELLS = ["", "#N/A", "#N/A N/A", "#NA", "-1.#IND", "-1.#QNAN", "-NaN", "-nan",
                "1.#IND", "1.#QNAN", "<NA>", "N/A", "NA", "NULL", "NaN", "None", "n/a", "nan",
                "null"]
# Column names taken as the time when --time-column is not given (compared in lower case),
# then any name holding "date" or "time".
_TIME_NAMES = ("time", "date", "datetime", "timestamp", "day", "dt")


def read_table(source: str, by: str | None, *, encoding: str | None = None,
               sep: str | None = None, decimal: str | None = None,
               thousands: str | None = None) -> tuple[pd.DataFrame, str, Dialect]:
    """The CSV file `source` ("-": standard input) as a DataFrame, how messages name it,
    and its dialect (found from the file where not given). Numbers are read with correct
    rounding; the symbol column `by`, and columns whose first rows are not numbers, stay
    text."""
    name = "standard input" if source == "-" else source
    dialect = detect(_read_bytes(source, name), name, encoding=encoding, sep=sep,
                     decimal=decimal, thousands=thousands)
    header = dialect.header
    _distinct_names(header, name)
    text_columns = _text_columns(dialect, by)
    # One list for every column, unless a symbol column must keep its "NA": a table of
    # one list a column costs pandas a conversion a column (seconds on 10^5 columns).
    empty_cells = _EMPTY_CELLS if by not in header else {
        column: [""] if column == by else _EMPTY_CELLS for column in header}
    try:
        with warnings.catch_warnings():
            # A row longer than the header would shift its cells or lose some: an error.
            warnings.simplefilter("error", pd.errors.ParserWarning)
            data, thousands = dialect.data, dialect.thousands
            if thousands is not None and len(thousands.encode("utf-8")) > 1:
                # pandas' parser takes a one-byte thousands separator: a no-break space
                # (two bytes in UTF-8) is read as a space.
                data = data.replace(thousands.encode("utf-8"), b" ")
                thousands = " "
            frame = pd.read_csv(io.BytesIO(data), sep=dialect.sep,
                                decimal=dialect.decimal, thousands=thousands,
                                skiprows=dialect.skipped_lines, encoding="utf-8",
                                dtype={column: str for column in text_columns} or None,
                                keep_default_na=False, na_values=empty_cells, index_col=False,
                                float_precision="round_trip", low_memory=False)
    except pd.errors.ParserWarning:
        raise InputError(f"{name} has rows with more cells than its header"
                         f"{_dialect_hint(dialect, sep)}") from None
    except pd.errors.EmptyDataError:
        raise InputError(f"{name} is empty") from None
    except pd.errors.ParserError as error:
        raise InputError(f"{name} is not a CSV table: {_one_line(error)}"
                         f"{_dialect_hint(dialect, sep)}") from None
    if len(frame) == 0:
        raise InputError(f"{name} has no rows below its header")
    return frame, name, dialect


def _read_bytes(source: str, name: str) -> bytes:
    """The whole input. A path that names nothing readable is bad input; a read the
    system fails is an environment failure."""
    if source == "-":
        stream = sys.stdin
        if stream is None:
            raise EnvironmentFailure("cannot read standard input: it is closed")
        try:
            return stream.buffer.read()
        except (OSError, ValueError) as error:
            reason = os_reason(error) if isinstance(error, OSError) else "it is closed"
            raise EnvironmentFailure(f"cannot read standard input: {reason}") from None
    try:
        handle = open(source, "rb")
    except (FileNotFoundError, IsADirectoryError, NotADirectoryError) as error:
        raise InputError(f"cannot read {name}: {os_reason(error)}") from None
    except OSError as error:
        raise EnvironmentFailure(f"cannot read {name}: {os_reason(error)}") from None
    try:
        with handle:
            return handle.read()
    except IsADirectoryError as error:
        raise InputError(f"cannot read {name}: {os_reason(error)}") from None
    except OSError as error:
        raise EnvironmentFailure(f"cannot read {name}: {os_reason(error)}") from None


def _distinct_names(header: list[str], name: str) -> None:
    seen = {}
    for position, column in enumerate(header, 1):
        if column in seen:
            raise InputError(f"{name} has two columns named {column!r} (columns "
                             f"{seen[column]} and {position}): rename one, so that each "
                             "keeps its name in the output")
        seen[column] = position


def _text_columns(dialect: Dialect, by: str | None) -> list[str]:
    """Columns read as text: the symbol column, and those whose first rows hold a cell
    that is not a number in the file's dialect (dates, times, names), so that a
    thousands separator never turns 01.02.2023 into a number."""
    header = dialect.header
    sample = dialect.data[:1 << 16].decode("utf-8", errors="replace").split("\n")
    rows = [cells(line.removesuffix("\r"), dialect.sep)
            for line in sample[dialect.skipped_lines + 1:-1][:200]]
    text = {by} if by in header else set()
    for position, column in enumerate(header):
        for row in rows:
            if position < len(row):
                cell = row[position]
                if cell.strip() and cell not in _EMPTY_CELLS and not is_number_text(
                        cell, dialect.decimal, dialect.thousands):
                    text.add(column)
                    break
    return [column for column in header if column in text]


def _dialect_hint(dialect: Dialect, given_sep: str | None) -> str:
    if given_sep is not None:
        return ""
    names = {value: key for key, value in SEPARATORS.items()}
    return (f" (read as {names.get(dialect.sep, repr(dialect.sep))}-separated: pass --sep "
            "if the file uses another separator)")


@dataclass
class Columns:
    """The columns the command works on (None where there is none)."""
    price: str
    period: str | None
    time: str | None
    by: str | None
    time_of_day: str | None = None  # times of day joined to the dates of `time`


# Price columns taken, in this order, when several numeric columns could be the price
# (compared in lower case): the English names, then the closing price as exports in
# German, French, Spanish, Italian, Portuguese and Dutch name it.
_PRICE_NAMES = ("close", "adj close", "adj_close", "adjclose", "last", "price",
                "schluss", "schlusskurs", "clôture", "cloture", "cierre", "chiusura",
                "fechamento", "slot", "slotkoers")
# Text columns tried as dates, at most: a file of many text columns is not read through.
_TIME_CANDIDATES = 50


def choose_columns(frame: pd.DataFrame, source: str, *, price: str | None,
                   period: str | None, time: str | None, by: str | None) -> Columns:
    """The named columns, checked to exist and to differ, with the defaults filled in: the
    time the column whose cells are dates (and a column of times of day beside it), else
    one named like a time; the price the only numeric column left, or the one named
    Close (Adj Close, Last, Price) among several."""
    named = {"--column": price, "--period-column": period, "--time-column": time, "--by": by}
    for option, name in named.items():
        if name is not None and name not in frame.columns:
            raise InputError(f"{source} has no column {name!r} ({option}); its columns are "
                             + _listed(frame.columns))
    taken = {name for name in named.values() if name is not None}
    time_of_day = None
    free = [column for column in frame.columns if column not in taken]
    if time is None:
        time, time_of_day = _time_columns(frame, free)
    elif _is_text(frame[time]) and is_dates(frame[time]) and not has_clock_times(frame[time]):
        time_of_day = _clock_column(frame, [column for column in free if column != time])
    for column in (time, time_of_day):
        if column is not None:
            taken.add(column)
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
    return Columns(price=price, period=period, time=time, by=by, time_of_day=time_of_day)


def symbol_like(frame: pd.DataFrame, columns: Columns) -> str | None:
    """A text column that could tell series apart (for the message on repeated times)."""
    used = {columns.price, columns.period, columns.time, columns.time_of_day}
    kinds = _kinds(frame)
    candidates = [column for column in frame.columns
                  if column not in used and kinds[column] == "O"][:_TIME_CANDIDATES]
    for column in candidates:
        if str(column).lower() in ("symbol", "ticker", "code", "isin", "instrument", "name",
                                   "asset", "security", "ric", "id", "series"):
            return column
    for column in candidates:
        values = frame[column]
        if 1 < values.nunique() < len(values) and not is_dates(values):
            return column
    return None


def _is_text(column: pd.Series) -> bool:
    return column.dtype.kind == "O"


def _time_columns(frame: pd.DataFrame, candidates: list) -> tuple[str | None, str | None]:
    """The time column by its cells (whatever its name), and a column of times of day to
    join to it when its cells are dates alone; else a column named like a time."""
    kinds = _kinds(frame)
    text = [column for column in candidates if kinds[column] == "O"][:_TIME_CANDIDATES]
    stamped = [column for column in candidates if kinds[column] == "M"]
    dates = stamped + [column for column in text if is_dates(frame[column])]
    if dates:
        named = [column for column in dates if says_time(column)]
        time = (named or dates)[0]
        if frame[time].dtype.kind == "M" or has_clock_times(frame[time]):
            return time, None
        return time, _clock_column(frame, [column for column in text if column != time])
    clocks = [column for column in text if is_time_of_day(frame[column])]
    if clocks:
        return clocks[0], None
    return _time_column(candidates), None


def _kinds(frame: pd.DataFrame) -> dict:
    """Each column's dtype kind, read at once: frame[column] costs a Series a column."""
    return dict(zip(frame.columns, (dtype.kind for dtype in frame.dtypes)))


def _clock_column(frame: pd.DataFrame, candidates: list) -> str | None:
    kinds = _kinds(frame)
    clocks = [column for column in candidates[:_TIME_CANDIDATES] if kinds[column] == "O"
              and is_time_of_day(frame[column])]
    named = [column for column in clocks if says_time(column)]
    return (named or clocks or [None])[0]


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
    kinds = _kinds(frame)
    numeric = [column for column in candidates if kinds[column] in "iuf"]
    if len(numeric) == 1:
        return numeric[0]
    if not numeric and len(candidates) == 1:
        return candidates[0]  # not numbers: its first bad row is named when it is read
    lowered = {str(column).strip().lower(): column for column in reversed(candidates)}
    for wanted in _PRICE_NAMES:
        if wanted in lowered:
            return lowered[wanted]
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
