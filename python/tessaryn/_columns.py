"""Columns of a pandas DataFrame as the arrays the indicators take: prices and periods as
numbers, symbols as group numbers, times as keys to order bars by. Rows are named as
"row N", N counting from 1 below the header, so a message points at the line to fix."""

from __future__ import annotations

import warnings

import numpy as np
import pandas as pd

from ._input_error import InputError

_NUMBER_KINDS = "iuf"


def row_name(position: int) -> str:
    return f"row {position + 1}"


def numbers(column: pd.Series, what: str) -> np.ndarray:
    """The column's values as doubles; empty cells are NaN. `what` names the column in the
    error for a cell that is not a number: "price column 'DAX'"."""
    if column.dtype.kind in _NUMBER_KINDS:
        return column.to_numpy(dtype=np.float64, na_value=np.nan)
    if column.dtype.kind == "O":
        converted = pd.to_numeric(column, errors="coerce")
        bad = converted.isna().to_numpy() & column.notna().to_numpy()
        if not bad.any() and converted.dtype.kind in _NUMBER_KINDS:
            return converted.to_numpy(dtype=np.float64, na_value=np.nan)
    else:
        bad = np.ones(len(column), dtype=bool)
    first = int(np.argmax(bad))
    cell = column.iloc[first]
    try:
        huge = abs(float(str(cell).strip())) == float("inf")
    except ValueError:
        huge = False
    if huge:
        raise InputError(f"{what}: {row_name(first)} holds {_cell(cell)}, beyond the range of "
                         "prices (float32, up to 3.4E+38)")
    raise InputError(f"{what}: {row_name(first)} holds {_cell(cell)}, not a number")


_FLOAT32_MAX = float(np.finfo(np.float32).max)


def prices(column: pd.Series, what: str, *, finite: bool = True) -> np.ndarray:
    """A price column as float32, each cell rounded once (whole numbers straight from their
    integer, as tessaryn.itrend rounds an integer array); empty cells are NaN. With
    `finite`, a price beyond float32's range, which no indicator could compute, is refused
    by its row (the command line); else it is an infinity, data as in the C library."""
    if column.dtype.kind in "iu" and isinstance(column.dtype, np.dtype):
        values = column.to_numpy().astype(np.float32)
    else:
        wide = numbers(column, what)
        with np.errstate(over="ignore"):
            values = wide.astype(np.float32)
    beyond = np.isinf(values)
    if finite and beyond.any():
        row = int(np.argmax(beyond))
        raise InputError(f"{what}: {row_name(row)} holds {_cell(column.iloc[row])}, beyond "
                         "the range of prices (float32, up to 3.4E+38)")
    return values


def symbol_codes(column: pd.Series, what: str) -> np.ndarray:
    """One number per row, the same for rows of the same symbol, numbered in order of first
    appearance. An empty cell is an error: its bars would belong to no series."""
    codes, _ = pd.factorize(column)  # empty cells get -1
    missing = codes < 0
    if missing.any():
        raise InputError(f"{what}: {row_name(int(np.argmax(missing)))} is empty")
    return codes


class TimeAxis:
    """A time column as keys that order the bars (numbers, or nanoseconds for dates) and,
    for dates, the dates themselves (UTC, datetime64[ns])."""

    def __init__(self, keys: np.ndarray, dates: np.ndarray | None):
        self.keys = keys
        self.dates = dates

    def text(self, row: int) -> str:
        """Row `row`'s time, for messages."""
        if self.dates is not None:
            return str(pd.Timestamp(self.dates[row])).removesuffix(" 00:00:00")
        return f"{self.keys[row]}"


# Epoch times by the unit their magnitude says, for a numeric column whose name says it
# holds times: the largest value below each bound (1e11 s is the year 5138, 1e8 s 1973).
_EPOCH_UNITS = ((1e8, None), (1e11, "s"), (1e14, "ms"), (1e17, "us"), (np.inf, "ns"))
_TIME_WORDS = ("time", "date", "epoch", "unix", "stamp")
_TIME_OF_DAY = r"\d{1,2}:\d{2}(:\d{2}(\.\d+)?)?"
# dd.mm.yyyy, mm/dd/yyyy and the like: which of the first two numbers is the day.
_DAY_MONTH = r"^\s*(\d{1,2})([./-])(\d{1,2})[./-]\d{2,4}\b.*"
_SAMPLE = 5000


def says_time(name) -> bool:
    low = str(name).lower()
    return any(word in low for word in _TIME_WORDS) or low in ("t", "ts", "dt", "day")


def is_time_of_day(column: pd.Series) -> bool:
    """Whether a text column holds times of day (09:30, 17:45:00.5) alone."""
    sample = _sample(column)
    return bool(len(sample)) and bool(sample.str.fullmatch(_TIME_OF_DAY).all())


def is_dates(column: pd.Series) -> bool:
    """Whether a text column's cells read as dates (or dates and times)."""
    sample = _sample(column)
    if not len(sample) or not sample.str.contains(r"\d").all():
        return False
    if is_time_of_day(column):
        return False
    for dayfirst in (False, True):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            parsed = _parse_dates(sample, dayfirst)
        if parsed.notna().all():
            return True
    return False


def has_clock_times(column: pd.Series) -> bool:
    """Whether a column of dates has a time of day in its cells."""
    return bool(_sample(column).str.contains(r"\d:\d").any())


def _sample(column: pd.Series) -> pd.Series:
    """Up to _SAMPLE of the column's cells, spread over all of it, as text."""
    values = column.dropna()
    if len(values) > _SAMPLE:
        values = values.iloc[np.linspace(0, len(values) - 1, _SAMPLE).astype(np.int64)]
    return values.astype(str)


def day_month_dates(column: pd.Series) -> bool:
    """Whether the column's dates are written dd.mm.yyyy or mm/dd/yyyy (either way)."""
    return bool(_sample(column).str.match(_DAY_MONTH).any())


def day_first(column: pd.Series, given: bool | None) -> bool:
    """Whether dd.mm.yyyy dates are day first: as given, else when a day exceeds 12 in
    the first place; when no day says it, dates with dots are day first (as where they are
    written so), with slashes or dashes month first."""
    if given is not None:
        return given
    parts = _sample(column).str.extract(_DAY_MONTH)
    if parts[0].isna().all():
        return False
    first, second = parts[0].dropna().astype(int), parts[2].dropna().astype(int)
    if (first > 12).any():
        return True
    if (second > 12).any():
        return False
    return bool((parts[1] == ".").any())


def time_axis(column: pd.Series, what: str, *, dayfirst: bool | None = None,
              time_of_day: pd.Series | None = None, name=None) -> TimeAxis:
    """The column read as numbers, or else as dates; every row must have one or the other.
    Numbers in a column whose name says time are epoch seconds, milliseconds,
    microseconds or nanoseconds by their magnitude; a column of times of day beside a
    column of dates joins it into one timestamp."""
    kind = column.dtype.kind
    name = column.name if name is None else name
    if kind in _NUMBER_KINDS:
        _no_gaps(column.isna().to_numpy(), column, what)
        if says_time(name):
            epoch = _epoch(column)
            if epoch is not None:
                return epoch
        return TimeAxis(column.to_numpy(dtype=np.float64 if kind == "f" else np.int64), None)
    if kind == "M":
        dates = pd.to_datetime(column, utc=True)
    elif kind == "O":
        empty = column.isna().to_numpy()
        _no_gaps(empty, column, what)
        converted = pd.to_numeric(column, errors="coerce")
        if not converted.isna().any() and converted.dtype.kind in _NUMBER_KINDS:
            return time_axis(converted, what, name=name)
        if time_of_day is None and is_time_of_day(column):
            return _times_of_day(column, what)
        first = day_first(column, dayfirst)
        dates = _parse_dates(column, first)
        bad = dates.isna().to_numpy()
        if bad.any():
            row = int(np.argmax(bad))
            hint = "" if dayfirst is not None or first or not day_month_dates(column) else \
                " (the dates were read month first: if they are day first, pass --dayfirst)"
            raise InputError(f"{what}: {row_name(row)} holds {_cell(column.iloc[row])}, "
                             f"neither a number nor a date{hint}")
    else:
        raise InputError(f"{what}: {row_name(0)} holds {_cell(column.iloc[0])}, "
                         "neither a number nor a date")
    _no_gaps(dates.isna().to_numpy(), column, what)
    if time_of_day is not None:
        dates = dates + _clock(time_of_day, f"time column {time_of_day.name!r}")
    values = dates.dt.tz_convert(None).to_numpy(dtype="datetime64[ns]")
    return TimeAxis(values.view(np.int64), values)


def _epoch(column: pd.Series) -> TimeAxis | None:
    values = column.to_numpy(dtype=np.float64)
    finite = values[np.isfinite(values)]
    if not finite.size or finite.min() < 0:
        return None
    largest = finite.max()
    unit = next(unit for bound, unit in _EPOCH_UNITS if largest < bound)
    if unit is None:
        return None
    source = column.to_numpy(dtype=np.int64) if column.dtype.kind in "iu" else values
    dates = pd.to_datetime(source, unit=unit).to_numpy(dtype="datetime64[ns]")
    return TimeAxis(dates.view(np.int64), dates)


def _clock(column: pd.Series, what: str) -> pd.Series:
    """Times of day as durations since midnight."""
    _no_gaps(column.isna().to_numpy(), column, what)
    text = column.astype(str).str.strip()
    text = text.where(~text.str.fullmatch(r"\d{1,2}:\d{2}"), text + ":00")
    durations = pd.to_timedelta(text, errors="coerce")
    bad = durations.isna().to_numpy()
    if bad.any():
        row = int(np.argmax(bad))
        raise InputError(f"{what}: {row_name(row)} holds {_cell(column.iloc[row])}, not a "
                         "time of day")
    return durations


def _times_of_day(column: pd.Series, what: str) -> TimeAxis:
    durations = _clock(column, what).to_numpy(dtype="timedelta64[ns]")
    return TimeAxis(durations.view(np.int64), None)


def _parse_dates(column: pd.Series, dayfirst: bool) -> pd.Series:
    # pandas 2 infers the format of the first date by itself and warns when asked to.
    options = {"infer_datetime_format": True} if _PANDAS_MAJOR < 2 else {}
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")  # "Parsing dates in DD/MM/YYYY format..."
            return pd.to_datetime(column, errors="coerce", utc=True, dayfirst=dayfirst,
                                  **options)
    except (ValueError, TypeError, OverflowError):
        # Mixed formats or text pandas refuses as a whole: one cell at a time.
        return column.map(lambda cell: _one_date(cell, dayfirst))


def _one_date(cell, dayfirst: bool) -> pd.Timestamp:
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            return pd.to_datetime(cell, utc=True, dayfirst=dayfirst)
    except (ValueError, TypeError, OverflowError):
        return pd.NaT


def _no_gaps(empty: np.ndarray, column: pd.Series, what: str) -> None:
    if empty.any():
        raise InputError(f"{what}: {row_name(int(np.argmax(empty)))} is empty")


def _cell(value) -> str:
    text = repr(str(value))
    return text if len(text) <= 40 else text[:36] + "...'"


_PANDAS_MAJOR = int(pd.__version__.split(".")[0])
