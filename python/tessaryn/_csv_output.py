"""Columns as CSV text: the input's columns as read, the indicators' float32 values in text
that reads back as the same bits, bars that are not computed as empty cells. Written a
block of rows at a time, so memory stays a small multiple of the input's."""

from __future__ import annotations

import csv
from typing import Callable, TextIO

import numpy as np

from ._float_text import double_texts, float32_texts

_EMPTY_BITS = np.uint32(0x7F7FC99E)
_BLOCK_ROWS = 1 << 16


class TextColumn:
    """A named column that gives the text of rows [start, stop)."""

    def __init__(self, name: str, texts: Callable[[int, int], list]):
        self.name = name
        self.texts = texts


def indicator_column(name: str, values: np.ndarray) -> TextColumn:
    """float32 values with the library's marker on bars not computed (empty cells)."""

    def texts(start: int, stop: int) -> list:
        block = values[start:stop]
        result = float32_texts(block)
        for index in np.flatnonzero(block.view(np.uint32) == _EMPTY_BITS).tolist():
            result[index] = ""
        return result

    return TextColumn(name, texts)


def input_column(name: str, column) -> TextColumn:
    """A pandas Series as read from the input: numbers in their shortest text, text as it
    was, missing cells empty."""
    kind = column.dtype.kind
    if kind == "f":
        values = column.to_numpy(dtype=np.float64, na_value=np.nan)

        def texts(start: int, stop: int) -> list:
            block = values[start:stop]
            result = double_texts(block)
            for index in np.flatnonzero(np.isnan(block)).tolist():
                result[index] = ""
            return result

        return TextColumn(name, texts)
    if kind in "iub" and isinstance(column.dtype, np.dtype):
        values = column.to_numpy()
        return TextColumn(name, lambda start, stop: list(map(str, values[start:stop].tolist())))
    values = column.to_numpy(dtype=object)
    missing = column.isna().to_numpy()

    def texts(start: int, stop: int) -> list:
        result = list(map(str, values[start:stop].tolist()))
        for index in np.flatnonzero(missing[start:stop]).tolist():
            result[index] = ""
        return result

    return TextColumn(name, texts)


def numbered_column(name: str) -> TextColumn:
    """Row numbers from 1: the time of input without a time column."""
    return TextColumn(name, lambda start, stop: list(map(str, range(start + 1, stop + 1))))


def write_csv(handle: TextIO, columns: list[TextColumn], rows: int) -> None:
    """Writes a header and `rows` rows of `columns` (quoted where the text needs it)."""
    writer = csv.writer(handle, lineterminator="\n")
    writer.writerow([column.name for column in columns])
    for start in range(0, rows, _BLOCK_ROWS):
        stop = min(start + _BLOCK_ROWS, rows)
        writer.writerows(zip(*(column.texts(start, stop) for column in columns)))
