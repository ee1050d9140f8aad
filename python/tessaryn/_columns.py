"""Columns of a pandas DataFrame as the arrays the indicators take: prices and periods as
numbers, symbols as group numbers, times as keys to order bars by. Rows are named as
"row N", N counting from 1 below the header, so a message points at the line to fix."""

from __future__ import annotations

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
    raise InputError(f"{what}: {row_name(first)} holds {_cell(column.iloc[first])}, not a number")


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


def time_axis(column: pd.Series, what: str) -> TimeAxis:
    """The column read as numbers, or else as dates; every row must have one or the other."""
    kind = column.dtype.kind
    if kind in _NUMBER_KINDS:
        _no_gaps(column.isna().to_numpy(), column, what)
        return TimeAxis(column.to_numpy(dtype=np.float64 if kind == "f" else np.int64), None)
    if kind == "M":
        dates = pd.to_datetime(column, utc=True)
    elif kind == "O":
        empty = column.isna().to_numpy()
        _no_gaps(empty, column, what)
        converted = pd.to_numeric(column, errors="coerce")
        if not converted.isna().any() and converted.dtype.kind in _NUMBER_KINDS:
            return TimeAxis(converted.to_numpy(), None)
        dates = _parse_dates(column)
        bad = dates.isna().to_numpy()
        if bad.any():
            first = int(np.argmax(bad))
            raise InputError(f"{what}: {row_name(first)} holds {_cell(column.iloc[first])}, "
                             "neither a number nor a date")
    else:
        raise InputError(f"{what}: {row_name(0)} holds {_cell(column.iloc[0])}, "
                         "neither a number nor a date")
    _no_gaps(dates.isna().to_numpy(), column, what)
    values = dates.dt.tz_convert(None).to_numpy(dtype="datetime64[ns]")
    return TimeAxis(values.view(np.int64), values)


def _parse_dates(column: pd.Series) -> pd.Series:
    # pandas 2 infers the format of the first date by itself and warns when asked to.
    options = {"infer_datetime_format": True} if _PANDAS_MAJOR < 2 else {}
    try:
        return pd.to_datetime(column, errors="coerce", utc=True, **options)
    except (ValueError, TypeError, OverflowError):
        # Mixed formats or text pandas refuses as a whole: one cell at a time.
        return column.map(_one_date)


def _one_date(cell) -> pd.Timestamp:
    try:
        return pd.to_datetime(cell, utc=True)
    except (ValueError, TypeError, OverflowError):
        return pd.NaT


def _no_gaps(empty: np.ndarray, column: pd.Series, what: str) -> None:
    if empty.any():
        raise InputError(f"{what}: {row_name(int(np.argmax(empty)))} is empty")


def _cell(value) -> str:
    text = repr(str(value))
    return text if len(text) <= 40 else text[:36] + "...'"


_PANDAS_MAJOR = int(pd.__version__.split(".")[0])
