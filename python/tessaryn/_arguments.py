"""What callers pass, turned into what tessaryn._core takes: 1-D or 2-D numpy arrays of real
numbers, and a float where one period holds for every bar. Errors name the argument.

pandas is never imported here: an object can only be a pandas one if pandas is loaded.
"""

import math
import numbers
import os
import sys

import numpy as np

_REAL_KINDS = "iuf"


def pandas_module():
    """The pandas module if it is loaded, else None."""
    return sys.modules.get("pandas")


def thread_count(threads: object) -> int:
    """The number of threads for `threads=`: None means every core this process may use."""
    if threads is None:
        try:
            return len(os.sched_getaffinity(0))
        except AttributeError:  # not on Linux
            return os.cpu_count() or 1
    if isinstance(threads, (bool, np.bool_)) or not isinstance(threads, numbers.Integral):
        raise TypeError(f"threads: expected a whole number or None, got {threads!r}")
    if threads < 1:
        raise ValueError(f"threads: expected at least 1, got {threads}")
    return int(min(threads, 1 << 16))


def series_values(values: object, name: str) -> np.ndarray:
    """`values` (a list, a numpy array, a pandas Series or Index, any array-like) as a numpy
    array, not copied where it already is one. Its shape and dtype are checked by _core."""
    pd = pandas_module()
    if pd is not None:
        if isinstance(values, pd.DataFrame):
            raise ValueError(f"{name}: expected one series, got a DataFrame")
        if isinstance(values, (pd.Series, pd.Index)):
            return _pandas_values(values, name)
    try:
        return np.asarray(values)
    except (TypeError, ValueError) as error:
        raise type(error)(f"{name}: {error}") from None


def frame_values(frame, name: str) -> np.ndarray:
    """A DataFrame's values as a 2-D array, bars down the first axis, one column per column:
    a view of its memory where all columns share one numpy dtype."""
    dtypes = list(frame.dtypes)
    for column, dtype in zip(frame.columns, dtypes):
        if dtype.kind not in _REAL_KINDS:
            raise TypeError(f"{name}: column {column!r} has dtype {dtype}; expected real numbers")
    if not dtypes:
        return np.empty((len(frame), 0), dtype=np.float32)
    if isinstance(dtypes[0], np.dtype) and all(dtype == dtypes[0] for dtype in dtypes):
        return frame.to_numpy()
    # Mixed or pandas' own dtypes: every column rounded straight to float32, NA read as NaN.
    return frame.to_numpy(dtype=np.float32, na_value=np.nan)


def period_value(period: object, name: str = "period"):
    """`period` as a float (one period for every bar) or a numpy array (one per bar)."""
    kind = type(period)
    if kind is float:
        return period
    if kind is int:
        return _as_float(period)
    if kind is np.ndarray and period.ndim > 0:
        return period
    if isinstance(period, (bool, np.bool_)):
        raise TypeError(f"{name}: expected a number or one period per bar, got {period!r}")
    if isinstance(period, numbers.Real):
        return _as_float(period)
    values = series_values(period, name)
    if values.ndim > 0:
        return values
    if values.dtype.kind not in _REAL_KINDS:
        raise TypeError(f"{name}: expected a number or one period per bar, got {period!r}")
    return _as_float(values[()])


def frame_period(period: object):
    """`period` for a DataFrame: a float, one period per row (1-D) or per bar (2-D)."""
    pd = pandas_module()
    if pd is not None and isinstance(period, pd.DataFrame):
        return frame_values(period, "period")
    return period_value(period)


def _as_float(number) -> float:
    try:
        return float(number)
    except OverflowError:  # an integer beyond any float: out of every period's range anyway
        return math.inf if number > 0 else -math.inf


def _pandas_values(values, name: str) -> np.ndarray:
    dtype = values.dtype
    if dtype.kind not in _REAL_KINDS:
        raise TypeError(f"{name}: expected real numbers, got dtype {dtype}")
    if isinstance(dtype, np.dtype):
        return values.to_numpy()
    # pandas' nullable numbers: NA reads as NaN, which the routines take as data.
    return values.to_numpy(dtype=np.float32, na_value=np.nan)
