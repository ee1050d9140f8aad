"""The newest rows of the output as an aligned table for the terminal."""

from __future__ import annotations

from ._csv_output import TextColumn

_EMPTY = "-"
_GAP = "  "


def aligned_table(columns: list[TextColumn], rows: int, decimal: str = ".") -> str:
    """The `rows` rows of `columns` (already taken in the order shown) under their names,
    each column right-aligned to its widest cell; empty cells show as "-"."""
    cells = [[str(column.name)] + [text or _EMPTY for text in column.texts(0, rows, "\t",
                                                                           decimal)]
             for column in columns]
    widths = [max(map(len, column)) for column in cells]
    lines = [_GAP.join(cell.rjust(width) for cell, width in zip(row, widths))
             for row in zip(*cells)]
    return "\n".join(lines)
