"""The three indicators over a Dask DataFrame of long-format rows (symbol, time, price), on
whatever cluster runs it:

    from distributed import Client
    import tessaryn.dask
    client = Client("tcp://scheduler:8786")
    result = tessaryn.dask.compute(frame, price="close", period=20, by="symbol", time="time")

The rows are shuffled so that each symbol's rows meet in one partition, and each partition
goes through the same code as `tessaryn --by` on one machine, so every value has the bits
of computing that symbol alone. The workers need the tessaryn package (and pandas).
"""

from __future__ import annotations

import numbers

import numpy as np
import pandas as pd

from ._by_symbol import INDICATOR_NAMES, by_symbol
from ._gaps import skips
from ._input_error import InputError

# The rows' places in the frame, carried through the shuffle: bars of equal time (or all
# bars, without a time column) are taken in the order the frame gives them.
_ROW = "__tessaryn_row"


def compute(frame, *, price: str, period, by: str, time: str | None = None,
            empty: str = "nan", gaps: str = "skip"):
    """A Dask DataFrame: `frame`'s rows and columns with float32 columns trend, cycle and
    model added, rows grouped by symbol (each keeps its index, so the frame's order can be
    restored with it).

    frame   a dask.dataframe.DataFrame of long-format rows, in any order and partitioning;
    price   the price column;
    period  one period for every bar (a number), or the name of a column of periods;
    by      the symbol column: each symbol's rows are one series, computed whole on one
            worker;
    time    the column to order each symbol's bars by (numbers or dates), oldest first;
            None takes the frame's order;
    empty   "nan" (default) or "marker", for bars not computed, as in tessaryn.itrend;
    gaps    "skip" (default): a missing price is a bar without one, left out of its
            series; "propagate": NaN is data, as in the C library.

    Column names are checked now; the cells when the result is computed (a cell that is
    not a number raises ValueError naming its row within its partition)."""
    import dask.dataframe as dd

    if not isinstance(frame, dd.DataFrame):
        raise TypeError(f"frame: expected a dask.dataframe.DataFrame, got {type(frame).__name__}")
    period_column = period if isinstance(period, str) else None
    if period_column is None and (isinstance(period, bool)
                                  or not isinstance(period, numbers.Real)):
        raise TypeError(f"period: expected a number or a column name, got {period!r}")
    for option, name in (("price", price), ("by", by), ("time", time), ("period", period_column)):
        if name is not None and name not in frame.columns:
            raise ValueError(f"{option}: no column {name!r}; the columns are "
                             + ", ".join(map(str, frame.columns)))
    for name in (*INDICATOR_NAMES, _ROW):
        if name in frame.columns:
            raise ValueError(f"frame already has a column {name!r}, a name the result uses")
    if empty not in ("nan", "marker"):
        raise ValueError(f"empty: expected 'nan' or 'marker', got {empty!r}")
    skips(gaps)

    meta = frame._meta.assign(**{name: pd.Series([], dtype=np.float32)
                                 for name in INDICATOR_NAMES})
    numbered = frame.assign(**{_ROW: 1})
    numbered = numbered.assign(**{_ROW: numbered[_ROW].cumsum()})
    return numbered.shuffle(by).map_partitions(
        _partition, price=price, period=period, by=by, time=time, empty=empty, gaps=gaps,
        meta=meta)


def _partition(part: pd.DataFrame, *, price, period, by, time, empty, gaps) -> pd.DataFrame:
    """Every symbol of one partition (each whole, after the shuffle)."""
    part = part.sort_values(_ROW, kind="stable")
    return by_symbol(part, price=price, period=period, by=by, time=time, empty=empty,
                     gaps=gaps).drop(columns=_ROW)


def _compute_on_cluster(address: str, prices: np.ndarray, period, symbols: np.ndarray,
                        times: np.ndarray | None, gaps: str = "skip") -> np.ndarray:
    """For `tessaryn --by ... --dask ADDRESS`: the command line's arrays (already read and
    checked) through compute() on the cluster, back as a (3, rows) float32 array in the
    rows' order, with the library's marker on bars not computed."""
    import dask.dataframe as dd
    from distributed import Client

    fixed = isinstance(period, numbers.Real)
    columns = {"symbol": symbols, "price": prices}
    if not fixed:
        columns["period"] = period
    if times is not None:
        columns["time"] = times
    rows = pd.DataFrame(columns)  # its RangeIndex: each row's place, to put results back
    try:
        # Waits for the scheduler as long as Dask's distributed.comm.timeouts.connect says.
        client = Client(address)
    except (OSError, TimeoutError, ValueError) as error:
        raise InputError(f"cannot reach the Dask scheduler at {address}: "
                         f"{' '.join(str(error).split()) or type(error).__name__}") from None
    with client:
        threads = max(1, sum(client.nthreads().values()))
        partitions = int(max(1, min(4 * threads, len(rows) // 100_000)))
        result = compute(dd.from_pandas(rows, npartitions=partitions),
                         price="price", period=period if fixed else "period", by="symbol",
                         time=None if times is None else "time", empty="marker", gaps=gaps)
        values = client.compute(result[list(INDICATOR_NAMES)]).result()
    values = values.sort_index()
    return np.ascontiguousarray(values.to_numpy(dtype=np.float32).T)
