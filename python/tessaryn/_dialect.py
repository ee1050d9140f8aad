"""What kind of CSV a file is, found from its first lines: its encoding, the lines above
its header (comments, a title), its separator, its decimal mark and thousands separator.
Each can be named instead (--encoding, --sep, --decimal, --thousands); a refusal names the
option that settles what could not be found."""

from __future__ import annotations

import codecs
import csv
import re
import sys
from dataclasses import dataclass

from ._input_error import InputError

#: Separators looked for, in the order a tie is settled: a file that is as consistent with
#: semicolons as with commas uses semicolons (its commas are decimal marks).
SEPARATORS = {"tab": "\t", "semicolon": ";", "pipe": "|", "comma": ","}
_SAMPLE_BYTES = 1 << 16
_SAMPLE_LINES = 200
# A title or notes above the header: looked for in this many first lines.
_PREAMBLE_LINES = 30
_COMMENT = ("#", "//")

_POINT_THOUSANDS = re.compile(r"[+-]?\d{1,3}(\.\d{3})+(,\d*)?")
_COMMA_THOUSANDS = re.compile(r"[+-]?\d{1,3}(,\d{3})+(\.\d*)?")
_APOSTROPHE_THOUSANDS = re.compile(r"[+-]?\d{1,3}('\d{3})+(\.\d*)?")
# 1 234,50 (French, Nordic) or 1 234.50, with a space, a no-break space or a narrow one.
_SPACES = " \u00a0\u202f"
_SPACE_THOUSANDS = re.compile(r"[+-]?\d{1,3}([" + _SPACES + r"]\d{3})+([.,]\d*)?")
_COMMA_DECIMAL = re.compile(r"[+-]?\d*,\d+([eE][+-]?\d+)?")
_POINT_DECIMAL = re.compile(r"[+-]?\d*\.\d+([eE][+-]?\d+)?")
_PLAIN_NUMBER = re.compile(r"[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?|[+-]?(inf|nan)",
                           re.IGNORECASE)


@dataclass
class Dialect:
    """How to read the file: `data` is its text as UTF-8 bytes from its header on."""
    data: bytes
    encoding: str
    sep: str
    decimal: str
    thousands: str | None
    skipped_lines: int   # lines above the header, not read
    header: list[str]    # the header's cells, as written


def detect(raw: bytes, name: str, *, encoding: str | None = None, sep: str | None = None,
           decimal: str | None = None, thousands: str | None = None) -> Dialect:
    """The dialect of the file `name` whose bytes are `raw`; what is given is taken
    (thousands="" says the file has no thousands separator)."""
    data, encoding = _as_utf8(raw, name, encoding)
    if not data.strip():
        raise InputError(f"{name} is empty")
    _no_nul(data, name)
    sample = data[:_SAMPLE_BYTES].decode("utf-8", errors="replace")
    # Lines as pandas counts them: only "\n" ends one (splitlines would also split at
    # form feeds and other characters a cell may hold).
    lines = [line.removesuffix("\r") for line in sample.split("\n")]
    if lines and not lines[-1]:
        lines.pop()
    if len(data) > _SAMPLE_BYTES and len(lines) > 1:
        lines = lines[:-1]  # the last line of a sample may be cut short
    lines = lines[:_SAMPLE_LINES]
    if len(lines) <= 1 and len(data) > _SAMPLE_BYTES:
        # A header longer than the sample (a wide file): its first line whole.
        lines = [data.split(b"\n", 1)[0].decode("utf-8", errors="replace")]
    comments = 0
    while comments < len(lines) and (not lines[comments].strip()
                                     or lines[comments].lstrip().startswith(_COMMENT)):
        comments += 1
    body = lines[comments:]
    if not body:
        raise InputError(f"{name} has no header: only comment lines")
    if sep is None:
        sep, preamble = _separator(body)
    else:
        preamble = _preamble(body, sep)
    header_line = body[preamble]
    header = cells(header_line, sep)
    rows = [cells(line, sep) for line in body[preamble + 1:] if line.strip()]
    if decimal is None or thousands is None:
        found_decimal, found_thousands = _number_format(rows, sep, name)
        if decimal is None:
            # A thousands separator given is not the decimal mark: 1,000 with --thousands ,
            decimal = found_decimal if found_decimal != thousands else \
                ("." if thousands == "," else ",")
        if thousands is None:
            thousands = found_thousands if found_thousands != decimal else None
    thousands = thousands or None  # "" says there is none
    if decimal == sep:
        raise InputError(f"{name}: the decimal mark and the separator are both {sep!r}: "
                         "pass --sep or --decimal")
    skipped = comments + preamble
    return Dialect(data=data, encoding=encoding, sep=sep, decimal=decimal,
                   thousands=thousands, skipped_lines=skipped, header=header)


def separator_option(text: str) -> str:
    """--sep's argument: a name (comma, semicolon, tab, pipe), \\t, or one character."""
    value = SEPARATORS.get(text.lower(), "\t" if text == "\\t" else text)
    if len(value) != 1 or value in "\"\r\n" or value.isalnum() or value in ".":
        raise ValueError(f"expected one character or comma, semicolon, tab, pipe: {text!r}")
    return value


def _as_utf8(raw: bytes, name: str, encoding: str | None) -> tuple[bytes, str]:
    """The file's text as UTF-8 bytes (without a byte order mark), and its encoding."""
    if encoding is not None:
        try:
            codec = codecs.lookup(encoding).name
        except LookupError:
            raise InputError(f"--encoding {encoding}: not an encoding Python knows "
                             "(utf-8, utf-16, cp1252, latin-1, ...)") from None
        try:
            text = raw.decode(codec)
        except UnicodeDecodeError as error:
            raise InputError(f"{name} is not {encoding} text (byte {error.start} is not): "
                             "pass the file's own --encoding") from None
        return text.removeprefix("\ufeff").encode("utf-8"), codec
    if raw.startswith(codecs.BOM_UTF8):
        try:
            raw[3:].decode("utf-8")
        except UnicodeDecodeError as error:
            raise InputError(f"{name} starts as UTF-8 but byte {error.start + 3} is not: "
                             "pass --encoding") from None
        return raw[3:], "utf-8-sig"
    if raw.startswith((codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)):
        try:
            return raw.decode("utf-16").encode("utf-8"), "utf-16"
        except UnicodeDecodeError:
            raise InputError(f"{name} starts with a UTF-16 byte order mark but is not UTF-16 "
                             "text: pass --encoding") from None
    try:
        raw.decode("utf-8")
        return raw, "utf-8"
    except UnicodeDecodeError:
        pass
    if _looks_utf16(raw):
        raise InputError(f"{name} looks like UTF-16 text without a byte order mark: pass "
                         "--encoding utf-16-le (or utf-16-be)")
    try:  # Windows' Western codepage, a superset of Latin-1's printable characters
        return raw.decode("cp1252").encode("utf-8"), "cp1252"
    except UnicodeDecodeError:
        return raw.decode("latin-1").encode("utf-8"), "latin-1"


def _looks_utf16(raw: bytes) -> bool:
    head = raw[:4096]
    return len(head) >= 4 and (head[1::2].count(0) > len(head) // 4
                               or head[0::2].count(0) > len(head) // 4)


def _no_nul(data: bytes, name: str) -> None:
    at = data.find(b"\0")
    if at >= 0:
        line = data.count(b"\n", 0, at) + 1
        if _looks_utf16(data):
            raise InputError(f"{name} looks like UTF-16 text without a byte order mark: pass "
                             "--encoding utf-16-le (or utf-16-be)")
        raise InputError(f"{name}: line {line} holds a NUL byte, which no CSV cell holds "
                         "(if the file is UTF-16 or UTF-32 text, pass --encoding)")


def cells(line: str, sep: str) -> list[str]:
    try:
        return next(csv.reader([line], delimiter=sep), [])
    except csv.Error:
        return [line]  # a quote left open: one cell, as far as counting goes


# A wide file's header, read with another separator, is one cell of any length.
csv.field_size_limit(min(sys.maxsize, 2**31 - 1))


def _separator(body: list[str]) -> tuple[str, int]:
    """The separator, and how many lines above the header (a title, notes) to skip: the
    one that splits the header and every row after it into the same number of cells,
    two or more; the fewest skipped lines first, then SEPARATORS' order."""
    best = None
    for order, sep in enumerate(SEPARATORS.values()):
        skipped = _header_line(body, sep)
        if skipped is not None and (best is None or (skipped, order) < best[0]):
            best = ((skipped, order), sep, skipped)
    if best is not None:
        return best[1], best[2]
    # No separator splits the rows evenly: the first line's most frequent one, so that
    # pandas names the row that does not fit.
    first = body[0]
    counts = {sep: len(cells(first, sep)) for sep in SEPARATORS.values()}
    sep = max(SEPARATORS.values(), key=lambda s: (counts[s], s == ","))
    return (sep if counts[sep] > 1 else ","), 0


def _header_line(body: list[str], sep: str):
    """With the separator given: how many lines stand above the header, the first line
    whose cell count (two or more) every row after it shares; None when there is none."""
    counts = [len(cells(line, sep)) for line in body if line.strip()]
    lines = [line for line in body if line.strip()]
    for start in range(min(_PREAMBLE_LINES, len(counts))):
        wanted = counts[start]
        # A header has rows below it, and the lines above it (a title, notes) are shorter
        # than it.
        if wanted >= 2 and (start + 1 < len(counts) or start == 0) \
                and all(count < wanted for count in counts[:start]) \
                and all(count == wanted for count in counts[start + 1:]):
            return body.index(lines[start])
    return None


def _preamble(body: list[str], sep: str) -> int:
    """With the separator given: the lines above the header (0 where none is found)."""
    skipped = _header_line(body, sep)
    return 0 if skipped is None else skipped


def _number_format(rows: list[list[str]], sep: str, name: str) -> tuple[str, str | None]:
    """The decimal mark and the thousands separator the sample's number cells are written
    with: "1.234,5" and "12,5" are a decimal comma, "1,234.5" thousands commas."""
    evidence = {"comma decimal": 0, "point decimal": 0, "point thousands": 0,
                "comma thousands": 0, "apostrophe thousands": 0}
    for row in rows:
        for cell in row:
            cell = cell.strip()
            if not cell or not cell[-1].isdigit():
                continue
            if _POINT_THOUSANDS.fullmatch(cell) and ("," in cell or cell.count(".") > 1):
                evidence["point thousands"] += 1
                evidence["comma decimal"] += "," in cell
            elif _COMMA_THOUSANDS.fullmatch(cell) and ("." in cell or cell.count(",") > 1):
                evidence["comma thousands"] += 1
                evidence["point decimal"] += "." in cell
            elif _APOSTROPHE_THOUSANDS.fullmatch(cell):
                evidence["apostrophe thousands"] += 1
            elif _SPACE_THOUSANDS.fullmatch(cell):
                space = next(c for c in cell if c in _SPACES)
                evidence["space thousands"] = space
                evidence["comma decimal"] += "," in cell
                evidence["point decimal"] += "." in cell
            elif _COMMA_DECIMAL.fullmatch(cell):
                evidence["comma decimal"] += 1
            elif _POINT_DECIMAL.fullmatch(cell):
                evidence["point decimal"] += 1
    comma, point = evidence["comma decimal"], evidence["point decimal"]
    if comma and point:
        raise InputError(f"{name} writes numbers both with a decimal comma (1,5) and a "
                         "decimal point (1.5): pass --decimal , or --decimal . (and "
                         "--thousands if one of them separates thousands)")
    decimal = "," if comma else "."
    thousands = None
    if decimal == "," and evidence["point thousands"]:
        thousands = "."
    elif decimal == "." and evidence["comma thousands"]:
        thousands = ","
    elif evidence["apostrophe thousands"]:
        thousands = "'"
    elif evidence.get("space thousands"):
        thousands = evidence["space thousands"]
    return decimal, thousands


def is_number_text(cell: str, decimal: str, thousands: str | None) -> bool:
    """Whether a cell reads as a number in this dialect (for choosing a column's type)."""
    cell = cell.strip(" \t")
    if thousands and thousands in cell:
        # Thousands in groups of three, as 1.234.567,5: 25.12.2023 is a date, not a number.
        whole = cell.split(decimal)[0] if decimal in cell else cell
        if not re.fullmatch(r"[+-]?\d{1,3}(" + re.escape(thousands) + r"\d{3})+", whole):
            return False
        cell = cell.replace(thousands, "")
    if decimal != ".":
        if "." in cell:
            return False
        cell = cell.replace(decimal, ".")
    return bool(_PLAIN_NUMBER.fullmatch(cell))
