"""The three indicators over whole series: arrays, pandas Series and DataFrames."""

from __future__ import annotations

from typing import TYPE_CHECKING, Literal, Union, overload

import numpy as np

from . import _core
from ._arguments import (
    frame_period,
    frame_values,
    pandas_module,
    period_value,
    series_values,
    thread_count,
)

if TYPE_CHECKING:
    import pandas
    from numpy.typing import ArrayLike, NDArray

    Period = Union[float, ArrayLike, pandas.Series]
    FramePeriod = Union[float, ArrayLike, pandas.Series, pandas.DataFrame]
    Empty = Literal["nan", "marker"]

# Routine numbers of tessaryn._core.
_TREND, _CYCLE, _MODEL = 0, 1, 2
_NAMES = ("trend", "cycle", "model")

# A call with a numpy array of prices and one of these as period goes straight to _core.
_ndarray = np.ndarray
_DIRECT_PERIODS = frozenset({float, int, np.ndarray})
_series = _core.series


@overload
def itrend(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
           threads: int | None = None) -> pandas.DataFrame: ...
@overload
def itrend(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
           threads: int | None = None) -> pandas.Series: ...
@overload
def itrend(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
           threads: int | None = None) -> NDArray[np.float32]: ...
def itrend(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
           empty: Empty = "nan", threads: int | None = None
           ) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """Lag-compensated trend line: the average of the last P prices plus half the change
    across that window, smoothed over four bars (weights 1, 2, 2, 1).

    prices   the bars, oldest first: a 1-D array-like of real numbers (any numeric dtype,
             a list, a pandas.Series), or a pandas.DataFrame holding one series per
             column. Values are rounded to float32 once, as the C library takes them.
    period   the period P in bars: one number for every bar, or one per bar (an array-like
             or Series, taken by position). For a DataFrame also a DataFrame of the same
             shape. Rounded to float32, then to a whole number, halves to even.
    empty    "nan" (default): bars that are not computed hold NaN; "marker": they hold
             tessaryn.EMPTY, 3.4E+38 as float32 (bits 0x7F7FC99E). In "nan" mode every
             result equal to the marker reads as empty (only prices near 3.4E+38 could
             make a computed bar equal it).
    threads  for a DataFrame, how many threads compute its columns (default: every core);
             any number gives the same bits.

    Bar i is computed when its rounded period P satisfies 1 <= P <= i: with a constant
    period the first P bars are empty. NaN or infinite prices and periods are data.
    Returns a new float32 numpy array; a Series with the input's index and name for a
    Series; a DataFrame with its index and columns for a DataFrame. Contiguous float32
    input is read in place; any other is converted once. The GIL is released while the
    library computes. Raises ValueError or TypeError, naming the argument, for input that
    does not fit (and then computes nothing).
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS:
        return _series(_TREND, prices, period, empty)
    return _one(_TREND, prices, period, empty, threads)


@overload
def cyclical_component(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
                       threads: int | None = None) -> pandas.DataFrame: ...
@overload
def cyclical_component(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
                       threads: int | None = None) -> pandas.Series: ...
@overload
def cyclical_component(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
                       threads: int | None = None) -> NDArray[np.float32]: ...
def cyclical_component(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
                       empty: Empty = "nan", threads: int | None = None
                       ) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """The cycle: a one-pole high-pass of the bar-to-bar price change whose coefficient
    follows each bar's period, smoothed over four bars. Constant prices give 0.
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS:
        return _series(_CYCLE, prices, period, empty)
    return _one(_CYCLE, prices, period, empty, threads)


@overload
def tessaryn(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
             threads: int | None = None) -> pandas.DataFrame: ...
@overload
def tessaryn(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
             threads: int | None = None) -> pandas.Series: ...
@overload
def tessaryn(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
             threads: int | None = None) -> NDArray[np.float32]: ...
def tessaryn(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
             empty: Empty = "nan", threads: int | None = None
             ) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """Trend plus cycle in one pass (itrend + cyclical_component, rounded once).
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS:
        return _series(_MODEL, prices, period, empty)
    return _one(_MODEL, prices, period, empty, threads)



# The two functions' docstrings end with the same words on their arguments.
_AS_FOR_ITREND = """
    Arguments and result as for tessaryn.itrend: prices oldest bar first (a 1-D
    array-like, a Series, or a DataFrame of one series per column), rounded to float32;
    period one number or one per bar; empty="nan" (default) puts NaN on bars that are not
    computed (every result equal to the marker), empty="marker" keeps tessaryn.EMPTY
    (3.4E+38 as float32, bits 0x7F7FC99E); threads for a DataFrame's columns. Bar i is
    computed when its rounded period P satisfies 1 <= P <= i. Returns float32 values in
    the input's form (array, Series, DataFrame).
    """
cyclical_component.__doc__ += _AS_FOR_ITREND
tessaryn.__doc__ += _AS_FOR_ITREND

@overload
def indicators(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
               threads: int | None = None) -> pandas.DataFrame: ...
@overload
def indicators(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
               threads: int | None = None) -> pandas.DataFrame: ...
@overload
def indicators(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
               threads: int | None = None) -> dict[str, NDArray[np.float32]]: ...
def indicators(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
               empty: Empty = "nan", threads: int | None = None
               ) -> dict[str, NDArray[np.float32]] | pandas.DataFrame:
    """All three indicators at once, from one reading of the prices: trend (itrend),
    cycle (cyclical_component) and model (tessaryn), with the same bits as the three
    calls.

    Arguments as for tessaryn.itrend (prices oldest bar first, rounded to float32; empty
    "nan" or "marker", the marker being tessaryn.EMPTY, 3.4E+38 as float32). Returns a
    dict {"trend", "cycle", "model"} of float32 arrays for array input; for a Series a
    DataFrame with its index and columns trend, cycle, model; for a DataFrame a DataFrame
    with its index and two column levels, the indicator then the input's column (so
    result["trend"] is the trend of every column).
    """
    pd = pandas_module()
    if pd is not None and isinstance(prices, pd.DataFrame):
        outputs = _core.columns([_TREND, _CYCLE, _MODEL], frame_values(prices, "prices"),
                                frame_period(period), empty, thread_count(threads))
        frames = {
            name: pd.DataFrame(out, index=prices.index, columns=prices.columns, copy=False)
            for name, out in zip(_NAMES, outputs)
        }
        return pd.concat(frames, axis=1, names=["indicator", *prices.columns.names])
    if threads is not None:
        thread_count(threads)
    outputs = _core.series_all(series_values(prices, "prices"), period_value(period), empty)
    if pd is not None and isinstance(prices, pd.Series):
        return pd.DataFrame(dict(zip(_NAMES, outputs)), index=prices.index)
    return dict(zip(_NAMES, outputs))


def _one(routine: int, prices, period, empty, threads):
    pd = pandas_module()
    if pd is not None and isinstance(prices, pd.DataFrame):
        (out,) = _core.columns([routine], frame_values(prices, "prices"), frame_period(period),
                               empty, thread_count(threads))
        return pd.DataFrame(out, index=prices.index, columns=prices.columns, copy=False)
    if threads is not None:
        thread_count(threads)
    out = _series(routine, series_values(prices, "prices"), period_value(period), empty)
    if pd is not None and isinstance(prices, pd.Series):
        return pd.Series(out, index=prices.index, name=prices.name, copy=False)
    return out
