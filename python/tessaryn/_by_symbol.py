"""The three indicators over long-format rows (symbol, time, price in any order): each
symbol's bars ordered by time and computed as a series of their own, symbols spread over
threads. Each series goes through the same call as on its own, so the bits are those of
computing each symbol alone, on any number of threads."""

from __future__ import annotations

import numbers
from concurrent.futures import ThreadPoolExecutor

import numpy as np

from ._arguments import thread_count
from ._batch import indicators
from ._gaps import skips
from ._input_error import InputError
from ._routines import OUTPUT_NAMES

#: The columns added, in this order.
INDICATOR_NAMES = OUTPUT_NAMES

# Symbols go to threads in runs of whole series about this share of the bars each, so a
# thread that drew long series does not hold up the rest.
_RUNS_PER_THREAD = 4


def indicators_by_series(prices: np.ndarray, period, *, symbols: np.ndarray | None = None,
                         times: np.ndarray | None = None, empty: str = "nan",
                         threads: int | None = None, gaps: str = "skip") -> np.ndarray:
    """trend, cycle and model (rows of a float32 array of shape (3, rows)) for rows in any
    order: each symbol's rows form one series (all rows when `symbols` is None), oldest bar
    first by `times` (rows of equal time, or all rows when `times` is None, keep their
    order). `period` is one number or one per row; `empty` as for tessaryn.indicators.

    symbols  one number per row, numbered 0, 1, 2... in order of first appearance (as
             pandas.factorize numbers them);
    times    one key per row to order by (numbers, or nanoseconds for dates), no NaN."""
    count = len(prices)
    skips(gaps)
    fixed = isinstance(period, numbers.Real)
    order = None if symbols is None else _symbol_order(symbols)
    if symbols is None:
        bounds = np.array([0, count])
    else:
        # Grouped in the order of their numbers, 0, 1, 2...: each symbol's rows start
        # where the counts of those before it end.
        bounds = np.concatenate(([0], np.cumsum(np.bincount(symbols))))
    out = np.empty((len(INDICATOR_NAMES), count), dtype=np.float32)

    # A thread takes a run of whole series: it orders their bars by time, gathers their
    # prices and periods, computes them and puts the values back in the rows' places.
    # numpy's sorts, gathers and scatters and the library's calls let go of the GIL, so
    # all of it goes on every core.
    def compute(run: tuple[int, int]) -> None:
        first, last = run
        start, stop = int(bounds[first]), int(bounds[last])
        edges = bounds[first:last + 1] - start
        rows = slice(start, stop) if order is None else order[start:stop]
        if times is not None:
            rows = _ordered_by_time(rows, times, edges)
        run_prices = np.asarray(prices[rows], dtype=np.float32)
        run_period = period if fixed else np.asarray(period[rows], dtype=np.float32)
        block = np.empty((len(INDICATOR_NAMES), stop - start), dtype=np.float32)
        for begin, end in zip(edges[:-1].tolist(), edges[1:].tolist()):
            values = indicators(run_prices[begin:end],
                                run_period if fixed else run_period[begin:end], empty=empty,
                                gaps=gaps)
            for row, name in enumerate(INDICATOR_NAMES):
                block[row, begin:end] = values[name]
        for row in range(len(INDICATOR_NAMES)):  # row by row: 2-D fancy indexing is slower
            out[row, rows] = block[row]

    threads = thread_count(threads)
    runs = _runs(bounds, threads * _RUNS_PER_THREAD)
    if threads == 1 or len(runs) == 1:
        for run in runs:
            compute(run)
    else:
        with ThreadPoolExecutor(max_workers=min(threads, len(runs))) as pool:
            list(pool.map(compute, runs))
    return out


def _symbol_order(symbols: np.ndarray) -> np.ndarray | None:
    """The rows grouped by symbol, in their order within each (a stable sort), or None
    when they already are: numbered by first appearance, a symbol's rows are together
    exactly when the numbers never go down."""
    if np.all(symbols[1:] >= symbols[:-1]):
        return None
    # numpy sorts 16-bit keys by radix, several times faster than 64-bit ones.
    keys = symbols.astype(np.uint16) if symbols.max() < 1 << 16 else symbols
    return np.argsort(keys, kind="stable")


def _ordered_by_time(rows, times: np.ndarray, edges: np.ndarray):
    """`rows` (a slice or an array of row numbers, series after series as `edges` bound
    them) with each series' rows ordered by time; a series already in order is kept."""
    keys = times[rows]
    falls = np.flatnonzero(keys[1:] < keys[:-1]) + 1
    series = np.searchsorted(edges, falls, side="right") - 1
    unordered = np.unique(series[falls != edges[series]])
    if unordered.size == 0:
        return rows
    rows = np.arange(rows.start, rows.stop) if isinstance(rows, slice) else rows.copy()
    for begin, end in zip(edges[unordered].tolist(), edges[unordered + 1].tolist()):
        rows[begin:end] = rows[begin:end][np.argsort(keys[begin:end], kind="stable")]
    return rows


def by_symbol(frame, *, price: str, period, by: str | None, time: str | None = None,
              empty: str = "nan", gaps: str = "skip", threads: int | None = None):
    """The three indicators over long-format rows, as `tessaryn FILE --by SYMBOL` computes
    them: a copy of the pandas DataFrame `frame` with float32 columns trend, cycle and
    model added, in the frame's own row order.

    price    the price column;
    period   one period for every bar (a number), or the name of a column of periods;
    by       the symbol column: each of its values is one series (None: all rows are one);
    time     the column each symbol's bars are ordered by, oldest first (numbers, dates or
             text dates); None takes the rows' order, as do rows of equal time;
    empty, gaps, threads  as for tessaryn.indicators: bars not computed and bars without
             a price are NaN (or the marker), symbols are spread over `threads` threads
             and every value has the bits of computing its symbol alone.

    Raises ValueError naming the column for a name the frame lacks, a cell that is not a
    number, an empty symbol or time; TypeError for a period of the wrong kind."""
    from ._columns import numbers as number_column
    from ._columns import prices as price_column
    from ._columns import symbol_codes, time_axis

    for name in INDICATOR_NAMES:
        if name in frame.columns:
            raise InputError(f"the frame already has a column {name!r}")
    for option, name in (("price", price), ("by", by), ("time", time),
                         ("period", period if isinstance(period, str) else None)):
        if name is not None and name not in frame.columns:
            raise InputError(f"{option}: no column {name!r}; the columns are "
                             + ", ".join(map(str, frame.columns)))
    prices = price_column(frame[price], f"price column {price!r}", finite=False)
    if isinstance(period, str):
        period = number_column(frame[period], f"period column {period!r}")
    elif isinstance(period, numbers.Real) and not isinstance(period, bool):
        period = float(period)
    else:
        raise TypeError(f"period: expected a number or a column name, got {period!r}")
    symbols = None if by is None else symbol_codes(frame[by], f"symbol column {by!r}")
    times = None if time is None else time_axis(frame[time], f"time column {time!r}").keys
    values = indicators_by_series(prices, period, symbols=symbols, times=times, empty=empty,
                                  threads=threads, gaps=gaps)
    return frame.assign(**dict(zip(INDICATOR_NAMES, values)))


# The name tessaryn.dask has called it by.
add_indicators = by_symbol


def _runs(bounds: np.ndarray, wanted: int) -> list[tuple[int, int]]:
    """Series numbers [first, last) in consecutive runs of about 1/wanted of the bars."""
    series = len(bounds) - 1
    if series <= 1 or wanted <= 1:
        return [(0, series)]
    share = bounds[-1] / wanted
    # Each series goes to the run its first bar falls in.
    cuts = np.searchsorted(bounds[:-1], share * np.arange(1, wanted), side="left")
    edges = np.unique(np.concatenate(([0], cuts, [series])))
    return list(zip(edges[:-1].tolist(), edges[1:].tolist()))
