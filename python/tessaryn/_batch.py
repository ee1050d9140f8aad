"""The three indicators over whole series: arrays, pandas Series and DataFrames."""

from __future__ import annotations

from typing import TYPE_CHECKING, Literal, Union, overload

import numpy as np

from . import _core, _gaps
from ._arguments import (
    aligned_series,
    frame_period,
    frame_values,
    numeric_part,
    pandas_module,
    period_value,
    series_values,
    thread_count,
)
from ._routines import INDICATORS, OUTPUT_NAMES, ROUTINE_NUMBERS

if TYPE_CHECKING:
    import pandas
    from numpy.typing import ArrayLike, NDArray

    Period = Union[float, ArrayLike, pandas.Series]
    FramePeriod = Union[float, ArrayLike, pandas.Series, pandas.DataFrame]
    Empty = Literal["nan", "marker"]
    Gaps = Literal["skip", "propagate"]

# Routine numbers of tessaryn._core.
_TREND = ROUTINE_NUMBERS["itrend"]
_CYCLE = ROUTINE_NUMBERS["cyclical_component"]
_MODEL = ROUTINE_NUMBERS["tessaryn"]
_NAMES = OUTPUT_NAMES
_OUTPUT_OF_ROUTINE = {number: output for _, output, number in INDICATORS}

# A call with a numpy array of prices and one of these as period goes straight to _core.
_ndarray = np.ndarray
_DIRECT_PERIODS = frozenset({float, int, np.ndarray})
_series = _core.series
_first_missing = _core.first_missing


@overload
def itrend(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
           gaps: Gaps = "skip", threads: int | None = None,
           numeric_only: bool = True) -> pandas.DataFrame: ...
@overload
def itrend(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
           gaps: Gaps = "skip", threads: int | None = None,
           numeric_only: bool = True) -> pandas.Series: ...
@overload
def itrend(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
           gaps: Gaps = "skip", threads: int | None = None,
           numeric_only: bool = True) -> NDArray[np.float32]: ...
def itrend(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
           empty: Empty = "nan", gaps: Gaps = "skip", threads: int | None = None,
           numeric_only: bool = True) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """Lag-compensated trend line: the average of the last P prices plus half the change
    across that window, smoothed over four bars (weights 1, 2, 2, 1).

    prices   the bars, oldest first: a 1-D array-like of real numbers (any numeric dtype,
             a list, where None is a missing price, a masked array, a pandas.Series), or
             a pandas.DataFrame holding one series per column. Values are rounded to
             float32 once, as the C library takes them.
    period   the period P in bars: one number for every bar, or one per bar (an array-like,
             taken by position, or a Series, matched to the prices' index by label). For a
             DataFrame also a DataFrame of periods, matched by row and column label.
             Rounded to float32, then to a whole number, halves to even. Labels that do
             not match the prices' raise ValueError.
    empty    "nan" (default): bars that are not computed hold NaN; "marker": they hold
             tessaryn.EMPTY, 3.4E+38 as float32 (bits 0x7F7FC99E). In "nan" mode every
             result equal to the marker reads as empty (only prices near 3.4E+38 could
             make a computed bar equal it).
    gaps     "skip" (default): a missing price (NaN, None, pandas NA, a masked value) is
             a bar without a price; the series is computed over the bars that have one,
             and the missing bars' results are empty, so no NaN reaches later bars.
             "propagate": NaN is data, as in the C library (it then runs on).
    threads  for a DataFrame, how many threads compute its columns (default: every core);
             any number gives the same bits.
    numeric_only  for a DataFrame: True (default) computes its columns of real numbers
             and leaves the others (text, dates) out of the result; False refuses a
             frame with such a column (TypeError).

    Bar i is computed when its rounded period P satisfies 1 <= P <= i (i counting the bars
    with a price): with a constant period the first P bars are empty. Infinite prices,
    and NaN or infinite periods, are data. Returns a new float32 numpy array; a Series
    named after what it holds ("trend", "cycle", "model") with the input's index for a
    Series, so it joins the prices' frame; a DataFrame with its index and columns for a
    DataFrame. Contiguous float32
    input is read in place; any other is converted once. The GIL is released while the
    library computes. Raises ValueError or TypeError, naming the argument, for input that
    does not fit (and then computes nothing).
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS \
            and gaps == "skip" and _first_missing(prices) == -1:
        return _series(_TREND, prices, period, empty)
    return _one(_TREND, prices, period, empty, gaps, threads, numeric_only)


@overload
def cyclical_component(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
                       gaps: Gaps = "skip", threads: int | None = None,
                       numeric_only: bool = True) -> pandas.DataFrame: ...
@overload
def cyclical_component(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
                       gaps: Gaps = "skip", threads: int | None = None,
                       numeric_only: bool = True) -> pandas.Series: ...
@overload
def cyclical_component(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
                       gaps: Gaps = "skip", threads: int | None = None,
                       numeric_only: bool = True) -> NDArray[np.float32]: ...
def cyclical_component(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
                       empty: Empty = "nan", gaps: Gaps = "skip", threads: int | None = None,
                       numeric_only: bool = True) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """The cycle: a one-pole high-pass of the bar-to-bar price change whose coefficient
    follows each bar's period, smoothed over four bars. Constant prices give 0.
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS \
            and gaps == "skip" and _first_missing(prices) == -1:
        return _series(_CYCLE, prices, period, empty)
    return _one(_CYCLE, prices, period, empty, gaps, threads, numeric_only)


@overload
def tessaryn(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
             gaps: Gaps = "skip", threads: int | None = None,
             numeric_only: bool = True) -> pandas.DataFrame: ...
@overload
def tessaryn(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
             gaps: Gaps = "skip", threads: int | None = None,
             numeric_only: bool = True) -> pandas.Series: ...
@overload
def tessaryn(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
             gaps: Gaps = "skip", threads: int | None = None,
             numeric_only: bool = True) -> NDArray[np.float32]: ...
def tessaryn(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
             empty: Empty = "nan", gaps: Gaps = "skip", threads: int | None = None,
             numeric_only: bool = True) -> NDArray[np.float32] | pandas.Series | pandas.DataFrame:
    """Trend plus cycle in one pass (itrend + cyclical_component, rounded once).
    """
    if type(prices) is _ndarray and threads is None and type(period) in _DIRECT_PERIODS \
            and gaps == "skip" and _first_missing(prices) == -1:
        return _series(_MODEL, prices, period, empty)
    return _one(_MODEL, prices, period, empty, gaps, threads, numeric_only)



# The two functions' docstrings end with the same words on their arguments.
_AS_FOR_ITREND = """
    Arguments and result as for tessaryn.itrend: prices oldest bar first (a 1-D
    array-like, a Series, or a DataFrame of one series per column), rounded to float32;
    period one number or one per bar; empty="nan" (default) puts NaN on bars that are not
    computed (every result equal to the marker), empty="marker" keeps tessaryn.EMPTY
    (3.4E+38 as float32, bits 0x7F7FC99E); gaps="skip" (default) takes a missing price
    for a bar without one, "propagate" hands NaN to the library as data; threads for a
    DataFrame's columns; numeric_only=True (default) computes a DataFrame's numeric
    columns and leaves the rest out. Bar i is computed when its rounded period P
    satisfies 1 <= P <= i. Returns float32 values in the input's form (array, a Series
    named after the indicator, DataFrame).
    """
cyclical_component.__doc__ += _AS_FOR_ITREND
tessaryn.__doc__ += _AS_FOR_ITREND

@overload
def indicators(prices: pandas.DataFrame, period: FramePeriod, *, empty: Empty = "nan",
               gaps: Gaps = "skip", threads: int | None = None,
               numeric_only: bool = True) -> pandas.DataFrame: ...
@overload
def indicators(prices: pandas.Series, period: Period, *, empty: Empty = "nan",
               gaps: Gaps = "skip", threads: int | None = None,
               numeric_only: bool = True) -> pandas.DataFrame: ...
@overload
def indicators(prices: ArrayLike, period: Period, *, empty: Empty = "nan",
               gaps: Gaps = "skip", threads: int | None = None,
               numeric_only: bool = True) -> dict[str, NDArray[np.float32]]: ...
def indicators(prices: ArrayLike | pandas.Series | pandas.DataFrame, period: FramePeriod, *,
               empty: Empty = "nan", gaps: Gaps = "skip", threads: int | None = None,
               numeric_only: bool = True) -> dict[str, NDArray[np.float32]] | pandas.DataFrame:
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
    skip = _gaps.skips(gaps)
    routines = [_TREND, _CYCLE, _MODEL]
    if pd is not None and isinstance(prices, pd.DataFrame):
        outputs, prices = _frame(routines, prices, period, empty, skip, threads, numeric_only)
        frames = {
            name: pd.DataFrame(out, index=prices.index, columns=prices.columns, copy=False)
            for name, out in zip(_NAMES, outputs)
        }
        return pd.concat(frames, axis=1, names=["indicator", *prices.columns.names])
    if threads is not None:
        thread_count(threads)
    values, period = _series_arguments(prices, period)
    compute = lambda p, q: list(_core.series_all(p, q, empty))  # noqa: E731
    outputs = _gaps.series(compute, values, period, empty) if skip else compute(values, period)
    if pd is not None and isinstance(prices, pd.Series):
        return pd.DataFrame(dict(zip(_NAMES, outputs)), index=prices.index)
    return dict(zip(_NAMES, outputs))


def _series_arguments(prices, period):
    """Prices and period of one series as _core takes them; a Series of periods is
    matched to a Series of prices by label."""
    pd = pandas_module()
    if pd is not None and isinstance(prices, pd.Series) and isinstance(period, pd.Series):
        period = aligned_series(period, prices.index)
    return series_values(prices, "prices"), period_value(period)


def _frame(routines, prices, period, empty, skip, threads, numeric_only):
    """The routines over every numeric column of the DataFrame `prices`, and the frame of
    those columns."""
    prices = numeric_part(prices, numeric_only)
    values = frame_values(prices, "prices")
    period = frame_period(period, prices)
    threads = thread_count(threads)
    if skip:
        return _gaps.columns(routines, values, period, empty, threads), prices
    return list(_core.columns(routines, values, period, empty, threads)), prices


def _one(routine: int, prices, period, empty, gaps, threads, numeric_only):
    pd = pandas_module()
    skip = _gaps.skips(gaps)
    if pd is not None and isinstance(prices, pd.DataFrame):
        (out,), prices = _frame([routine], prices, period, empty, skip, threads, numeric_only)
        return pd.DataFrame(out, index=prices.index, columns=prices.columns, copy=False)
    if threads is not None:
        thread_count(threads)
    values, period = _series_arguments(prices, period)
    compute = lambda p, q: [_series(routine, p, q, empty)]  # noqa: E731
    (out,) = _gaps.series(compute, values, period, empty) if skip else compute(values, period)
    if pd is not None and isinstance(prices, pd.Series):
        return pd.Series(out, index=prices.index, name=_OUTPUT_OF_ROUTINE[routine], copy=False)
    return out
