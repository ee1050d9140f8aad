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
    if isinstance(values, np.ma.MaskedArray):
        return _masked_values(values, name)
    try:
        array = np.asarray(values)
    except (TypeError, ValueError) as error:
        raise type(error)(f"{name}: {error}") from None
    if array.dtype.kind == "O" and array.ndim > 0 and not isinstance(values, np.ndarray):
        return _numbers_or_none(array)
    return array


def _masked_values(values, name: str) -> np.ndarray:
    """A masked array's values with NaN where they are masked: missing prices."""
    if values.dtype.kind not in _REAL_KINDS:
        raise TypeError(f"{name}: expected real numbers, got dtype {values.dtype}")
    if not np.ma.is_masked(values):
        return np.asarray(values.data)
    dtype = values.dtype if values.dtype.kind == "f" else np.float64
    return values.astype(dtype).filled(np.nan)


def _numbers_or_none(array: np.ndarray) -> np.ndarray:
    """A list's items as doubles where each is a real number or None (a missing price, NaN);
    anything else is left for _core to refuse by its dtype."""
    flat = array.ravel().tolist()
    if flat and all(item is None or (isinstance(item, numbers.Real)
                                     and not isinstance(item, (bool, np.bool_)))
                    for item in flat):
        return np.array(array, dtype=np.float64)
    return array


def _distinct_dtypes(frame) -> set:
    """The dtypes a DataFrame's columns have, each once: looking at those, not at every
    column, keeps a frame of 10^5 columns from costing a Python step a column."""
    return set(frame.dtypes)


def numeric_part(frame, numeric_only: bool, name: str = "prices"):
    """The DataFrame's columns of real numbers: all of them with numeric_only=True (the
    others are left out), else every column, refused with TypeError if one is not."""
    if type(numeric_only) is not bool:
        raise TypeError(f"numeric_only: expected True or False, got {numeric_only!r}")
    if all(dtype.kind in _REAL_KINDS for dtype in _distinct_dtypes(frame)):
        return frame
    kinds = [dtype.kind in _REAL_KINDS for dtype in frame.dtypes]
    if not numeric_only:
        column = frame.columns[kinds.index(False)]
        raise TypeError(f"{name}: column {column!r} has dtype {frame[column].dtype}; expected "
                        "real numbers (numeric_only=True computes the numeric columns alone)")
    return frame.loc[:, kinds]


def frame_values(frame, name: str) -> np.ndarray:
    """A DataFrame's values as a 2-D array, bars down the first axis, one column per column:
    a view of its memory where all columns share one numpy dtype."""
    dtypes = _distinct_dtypes(frame)
    if any(dtype.kind not in _REAL_KINDS for dtype in dtypes):
        for column, dtype in zip(frame.columns, frame.dtypes):
            if dtype.kind not in _REAL_KINDS:
                raise TypeError(f"{name}: column {column!r} has dtype {dtype}; expected real "
                                "numbers")
    if not dtypes:
        return np.empty((len(frame), 0), dtype=np.float32)
    if len(dtypes) == 1 and isinstance(next(iter(dtypes)), np.dtype):
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


def frame_period(period: object, prices=None):
    """`period` for a DataFrame: a float, one period per row (1-D) or per bar (2-D). A
    Series or DataFrame of periods is matched to the prices by its labels (rows by index,
    columns by name), not by position."""
    pd = pandas_module()
    if pd is not None and isinstance(period, pd.DataFrame):
        if prices is not None:
            period = aligned_frame(period, prices)
        return frame_values(period, "period")
    if pd is not None and prices is not None and isinstance(period, pd.Series):
        period = aligned_series(period, prices.index)
    return period_value(period)


def aligned_series(period, index):
    """A Series of periods in the order of the prices' `index`: ValueError when its labels
    are not the prices' own."""
    if period.index.equals(index):
        return period
    if len(period.index) == len(index) and period.index.is_unique and index.is_unique \
            and period.index.isin(index).all():
        return period.reindex(index)
    raise ValueError("period: its index does not hold the prices' labels: give it the "
                     "prices' index (or pass period.to_numpy() to match by position)")


def aligned_frame(period, prices):
    """A DataFrame of periods with the prices' rows and columns, matched by label."""
    missing = [column for column in prices.columns if column not in period.columns]
    if missing:
        raise ValueError(f"period: no column {missing[0]!r} of the prices among its columns "
                         f"({', '.join(map(str, period.columns))}); columns are matched by name")
    if not period.columns.is_unique:
        raise ValueError("period: its column names repeat; columns are matched by name")
    if not period.columns.equals(prices.columns):
        period = period.loc[:, prices.columns]
    if not period.index.equals(prices.index):
        period = period.T
        period = aligned_series_frame(period, prices.index)
    return period


def aligned_series_frame(transposed, index):
    """The transposed period frame's columns (the rows) in the prices' index order."""
    labels = transposed.columns
    if len(labels) == len(index) and labels.is_unique and index.is_unique \
            and labels.isin(index).all():
        return transposed.loc[:, index].T
    raise ValueError("period: its index does not hold the prices' labels: give it the "
                     "prices' index (or pass period.to_numpy() to match by position)")


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
    # pandas' nullable numbers: NA reads as NaN, a missing price.
    return values.to_numpy(dtype=np.float32, na_value=np.nan)
