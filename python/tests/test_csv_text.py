"""The CSV writer's text: float32 values in the fewest digits that read back as the same
bits when parsed as a double and rounded to float32 (as numpy and pandas read them),
doubles and integers as they were, text quoted as the csv module quotes it, the file's
decimal mark, and empty cells for the marker and NaN."""

import csv
import io

import numpy as np
import pytest

import tessaryn
from tessaryn import _core
from tessaryn._float_text import float32_texts

INDICATOR, DOUBLE, INTEGER, TEXT, ROW = range(5)
RNG = np.random.default_rng(99)


def _float32s(kind):
    if kind == "prices":
        return (RNG.uniform(1, 20000, 5000)).astype(np.float32)
    if kind == "every exponent":
        return (RNG.uniform(1, 3.4, 5000) * 10.0 ** RNG.integers(-40, 38, 5000)).astype(
            np.float32)
    if kind == "random bits":
        bits = RNG.integers(0, 2**32, 20000, dtype=np.uint64).astype(np.uint32)
        values = bits.view(np.float32)
        return values[np.isfinite(values)]
    if kind == "edges":
        info = np.finfo(np.float32)
        return np.array([0.0, -0.0, info.max, -info.max, info.tiny, info.smallest_subnormal,
                         1.0, 0.1, 1 / 3, 16777216.0, 16777217.0, 1e10, 123456789.0],
                        np.float32)
    raise AssertionError(kind)


def _cells(layout, rows, sep=",", decimal="."):
    return _core.csv_rows([layout], 0, rows, sep, decimal).decode().split("\n")[:-1]


@pytest.mark.parametrize("kind", ["prices", "every exponent", "random bits", "edges"])
def test_float32_text_reads_back_as_the_same_bits_and_is_shortest(kind):
    values = _float32s(kind)
    texts = _cells((INDICATOR, values), len(values))
    back = np.array([float(text) for text in texts]).astype(np.float32)
    assert (back.view(np.uint32) == values.view(np.uint32)).all()
    digits = lambda text: len(text.lstrip("-").replace(".", "").split("e")[0].lstrip("0"))  # noqa
    shortest = float32_texts(values)
    assert all(digits(mine) <= digits(theirs) for mine, theirs in zip(texts, shortest))


def test_marker_nan_and_infinities_of_an_indicator():
    values = np.array([tessaryn.EMPTY, np.nan, -np.nan, np.inf, -np.inf, 2.5], np.float32)
    assert _cells((INDICATOR, values), 6) == ["", "", "", "inf", "-inf", "2.5"]


@pytest.mark.parametrize("values, texts", [
    (np.array([1628.75, 0.1, 1e21, -3.0, np.nan, 1991.4962]),
     ["1628.75", "0.1", "1e+21", "-3", "", "1991.4962"]),
])
def test_doubles_as_they_were(values, texts):
    assert _cells((DOUBLE, values), len(values)) == texts


def test_integers_and_row_numbers():
    values = np.array([0, -7, 2**62], np.int64)
    assert _cells((INTEGER, values), 3) == ["0", "-7", str(2**62)]
    assert _core.csv_rows([(ROW, None)], 3, 6, ",", ".").decode() == "4\n5\n6\n"


TEXTS = ["plain", "a,b", 'say "hi"', "two\nlines", " padded ", "", None, float("nan"), 12,
         "Zürich"]


@pytest.mark.parametrize("sep", [",", ";", "\t", "|"])
def test_text_quoted_as_the_csv_module_reads_it(sep):
    values = np.array(TEXTS, dtype=object)
    data = _core.csv_rows([(TEXT, values), (ROW, None)], 0, len(TEXTS), sep, ".").decode()
    read = list(csv.reader(io.StringIO(data), delimiter=sep))
    expected = ["plain", "a,b", 'say "hi"', "two\nlines", " padded ", "", "", "", "12",
                "Zürich"]
    assert [row[0] for row in read] == expected


@pytest.mark.parametrize("layout", [(INDICATOR, np.array([1.5, 2.25], np.float32)),
                                  (DOUBLE, np.array([1.5, 2.25]))])
def test_decimal_comma(layout):
    assert _cells(layout, 2, ";", ",") == ["1,5", "2,25"]


@pytest.mark.parametrize("layout, words", [
    ((INDICATOR, np.ones(3, np.float64)), "float32"),
    ((DOUBLE, np.ones(1)), "covering"),
    ((9, np.ones(3)), "unknown"),
])
def test_columns_that_do_not_fit_are_refused(layout, words):
    with pytest.raises(ValueError, match=words):
        _core.csv_rows([layout], 0, 3, ",", ".")
