"""Missing prices as missing bars (gaps="skip", the default): a series is computed over the
bars that have a price, and the bars without one are empty, so that one NaN never reaches
the bars after it. gaps="propagate" hands NaN to the library as data, as the C API does."""

from __future__ import annotations

from concurrent.futures import ThreadPoolExecutor

import numpy as np

from . import _core

GAPS = ("skip", "propagate")

_first_missing = _core.first_missing
_EMPTY = np.array(_core.EMPTY_BITS, dtype=np.uint32).view(np.float32)[()]


def skips(gaps: object) -> bool:
    """Whether `gaps` is "skip"; ValueError naming the argument unless it is one of GAPS."""
    if gaps == "skip" and type(gaps) is str:
        return True
    if gaps == "propagate" and type(gaps) is str:
        return False
    raise ValueError(f"gaps: expected 'skip' or 'propagate', got {gaps!r}")


def missing_bars(prices: np.ndarray) -> np.ndarray | None:
    """A mask of the bars of a 1-D array without a price (NaN), or None when there are none."""
    first = _first_missing(prices)
    if first == -1:
        return None
    if first == -2:
        if prices.ndim != 1 or prices.dtype.kind not in "f":
            return None  # not a series of floats: _core names what is wrong with it
    return np.isnan(prices)


def fill_value(empty: str) -> np.float32:
    return _EMPTY if empty == "marker" else np.float32(np.nan)


def _per_bar(period) -> bool:
    return isinstance(period, np.ndarray) and period.ndim > 0


def series(compute, prices: np.ndarray, period, empty: str) -> list[np.ndarray]:
    """compute(prices, period) -> list of float32 arrays, run over the bars of `prices`
    that have one, each output spread back over every bar (empty where a price is missing).
    Arguments that do not fit go to compute as they are, for _core to refuse by name."""
    missing = missing_bars(prices)
    if missing is None:
        return compute(prices, period)
    if _per_bar(period) and period.shape != prices.shape:
        return compute(prices, period)
    present = ~missing
    outputs = compute(prices[present], period[present] if _per_bar(period) else period)
    spread = []
    for values in outputs:
        full = np.full(len(prices), fill_value(empty), dtype=np.float32)
        full[present] = values
        spread.append(full)
    return spread


def columns(routines: list[int], values: np.ndarray, period, empty: str,
            threads: int) -> list[np.ndarray]:
    """_core.columns, with each column's missing prices skipped: columns without one are
    computed together, as before; each column with gaps as a series of its present bars,
    columns spread over `threads` threads (the library lets go of the GIL)."""
    if values.dtype.kind != "f" or values.ndim != 2:
        return list(_core.columns(routines, values, period, empty, threads))
    # Column by column, without a mask of the whole frame: a frame without gaps costs no
    # more memory than before.
    bars, count = values.shape
    found = _core.columns_missing(values, threads)
    if found is None:  # a float type the C check does not read (float16, extended)
        found = np.flatnonzero(np.isnan(values).any(axis=0))
    gappy = np.asarray(found, dtype=np.intp)
    if gappy.size == 0:
        return list(_core.columns(routines, values, period, empty, threads))
    missing = {column: np.isnan(values[:, column]) for column in gappy.tolist()}
    per_bar = _per_bar(period)
    if per_bar and not (period.shape == values.shape or period.shape == (bars,)):
        return list(_core.columns(routines, values, period, empty, threads))
    outputs = [np.empty((bars, count), dtype=np.float32, order="F") for _ in routines]
    clean = np.setdiff1d(np.arange(count), gappy)
    if clean.size:
        clean_period = period[:, clean] if per_bar and period.ndim == 2 else period
        for out, part in zip(outputs, _core.columns(routines, values[:, clean], clean_period,
                                                    empty, threads)):
            out[:, clean] = part

    def one(column: int) -> None:
        present = ~missing[column]
        if per_bar:
            column_period = period[:, column] if period.ndim == 2 else period
            column_period = np.asarray(column_period[present], dtype=np.float32)
        else:
            column_period = period
        prices = np.ascontiguousarray(values[present, column])
        parts = [_core.series(routine, prices, column_period, empty) for routine in routines]
        for out, part in zip(outputs, parts):
            out[:, column] = fill_value(empty)
            out[present, column] = part

    if threads <= 1 or gappy.size == 1:
        for column in gappy.tolist():
            one(column)
    else:
        with ThreadPoolExecutor(max_workers=min(threads, gappy.size)) as pool:
            list(pool.map(one, gappy.tolist()))
    return outputs
