"""Columns as CSV text: the input's columns as read, the indicators' float32 values in text
that reads back as the same bits, bars that are not computed (and NaN) as empty cells.
The rows are formatted by tessaryn._core.csv_rows a block at a time, so memory stays a
small multiple of the input's; numbers take the file's decimal mark, cells its separator."""

from __future__ import annotations

import csv
import io
from collections import deque
from concurrent.futures import ThreadPoolExecutor
from typing import BinaryIO

import numpy as np

from . import _core
from ._arguments import thread_count

_BLOCK_ROWS = 1 << 16
# Column kinds of _core.csv_rows.
_INDICATOR, _DOUBLE, _INTEGER, _TEXT, _ROW_NUMBER = range(5)


class TextColumn:
    """A named column of the output: what _core.csv_rows takes, (kind, values)."""

    def __init__(self, name: str, kind: int, values: np.ndarray | None):
        self.name = name
        self.kind = kind
        self.values = values

    def layout(self) -> tuple:
        return (self.kind, self.values)

    def taken(self, rows: np.ndarray) -> TextColumn:
        """The column's cells at `rows`, in that order."""
        if self.kind == _ROW_NUMBER:
            return TextColumn(self.name, _INTEGER, np.asarray(rows, dtype=np.int64) + 1)
        return TextColumn(self.name, self.kind, np.ascontiguousarray(self.values[rows]))

    def texts(self, start: int, stop: int, sep: str = ",", decimal: str = ".") -> list[str]:
        """The cells of rows [start, stop) as text ("" where empty)."""
        text = _core.csv_rows([self.layout()], start, stop, sep, decimal).decode("utf-8")
        return text.split("\n")[:-1]


def indicator_column(name: str, values: np.ndarray) -> TextColumn:
    """float32 values with the library's marker (or NaN) on bars not computed."""
    return TextColumn(name, _INDICATOR, np.ascontiguousarray(values, dtype=np.float32))


def input_column(name: str, column) -> TextColumn:
    """A pandas Series as read from the input: numbers in their shortest text, text as it
    was, missing cells empty."""
    kind = column.dtype.kind
    if kind == "f":
        return TextColumn(name, _DOUBLE, column.to_numpy(dtype=np.float64, na_value=np.nan))
    if kind in "i" or (kind == "u" and isinstance(column.dtype, np.dtype)
                       and column.dtype.itemsize < 8):
        if isinstance(column.dtype, np.dtype):
            return TextColumn(name, _INTEGER, column.to_numpy(dtype=np.int64))
    values = np.ascontiguousarray(column.to_numpy(dtype=object))
    missing = column.isna().to_numpy()
    if missing.any():
        values = values.copy()
        values[missing] = None
    return TextColumn(name, _TEXT, values)


def numbered_column(name: str) -> TextColumn:
    """Row numbers from 1: the time of input without a time column."""
    return TextColumn(name, _ROW_NUMBER, None)


def header_line(names: list, sep: str) -> bytes:
    text = io.StringIO()
    csv.writer(text, delimiter=sep, lineterminator="\n").writerow([str(n) for n in names])
    return text.getvalue().encode("utf-8")


def write_csv(handle: BinaryIO, columns: list[TextColumn], rows: int, *, sep: str = ",",
              decimal: str = ".", threads: int | None = None) -> None:
    """Writes a header and `rows` rows of `columns` (quoted where the text needs it).
    Blocks of rows are formatted on `threads` threads (default: every core; csv_rows lets
    go of the GIL), a few ahead of the one being written, in order."""
    handle.write(header_line([column.name for column in columns], sep))
    layouts = [column.layout() for column in columns]
    starts = range(0, rows, _BLOCK_ROWS)

    def block(start: int) -> bytes:
        return _core.csv_rows(layouts, start, min(start + _BLOCK_ROWS, rows), sep, decimal)

    workers = min(thread_count(threads), len(starts))
    if workers <= 1:
        for start in starts:
            handle.write(block(start))
        return
    with ThreadPoolExecutor(max_workers=workers) as pool:
        pending: deque = deque()
        for start in starts:
            pending.append(pool.submit(block, start))
            if len(pending) > 2 * workers:  # memory: a few blocks formatted ahead at most
                handle.write(pending.popleft().result())
        while pending:
            handle.write(pending.popleft().result())
