"""The package's values are the C library's bits, read through ctypes, on seeded series of
every kind, in both empty modes and through every input type and dtype."""

import numpy as np
import pytest

import tessaryn
from conftest import (
    EMPTY_BITS,
    INDICATOR_ROUTINES,
    NAN_BITS,
    ROUTINES,
    assert_same_bits,
    bits,
    series_kinds,
    walk,
)

KINDS = series_kinds()


@pytest.mark.parametrize("empty", ["nan", "marker"])
@pytest.mark.parametrize("name,function", ROUTINES, ids=[name for name, _ in ROUTINES])
@pytest.mark.parametrize("kind", KINDS, ids=[kind[0] for kind in KINDS])
def test_routines_give_the_libraries_bits(reference, kind, name, function, empty):
    _, prices, periods = kind
    # NaN prices as data, as the C routine takes them: gaps are skipped by default.
    out = function(prices, periods, empty=empty, gaps="propagate")
    assert out.dtype == np.float32 and out.shape == prices.shape
    assert_same_bits(out, reference(name, prices, periods, empty))


@pytest.mark.parametrize("empty", ["nan", "marker"])
@pytest.mark.parametrize("kind", KINDS, ids=[kind[0] for kind in KINDS])
def test_indicators_give_the_three_routines_bits(reference, kind, empty):
    _, prices, periods = kind
    out = tessaryn.indicators(prices, periods, empty=empty, gaps="propagate")
    assert list(out) == ["trend", "cycle", "model"]
    for key, name in INDICATOR_ROUTINES.items():
        assert_same_bits(out[key], reference(name, prices, periods, empty))


def test_empty_bars_hold_nan_or_the_marker():
    prices = np.array([0, 0, 0, 3, 3, 3, 3, 3], np.float32)
    assert np.isnan(tessaryn.itrend(prices, 3)[:3]).all()
    assert (bits(tessaryn.itrend(prices, 3)[:3]) == NAN_BITS).all()
    assert (bits(tessaryn.itrend(prices, 3, empty="marker")[:3]) == EMPTY_BITS).all()
    assert tessaryn.itrend(prices, 3)[3:].tolist() == [1.25, 2.75, 4, 3.75, 3.25]


def test_the_marker_constant():
    assert type(tessaryn.EMPTY) is np.float32
    assert np.array(tessaryn.EMPTY).view(np.uint32) == EMPTY_BITS
    assert tessaryn.EMPTY == np.float32(3.4e38)


def _rng_walk(count=500):
    return walk(np.random.default_rng(7), count).astype(np.float64) * 3.7


# Every way prices may come in, each against the C routine on its float32 rounding.
PRICE_FORMS = [
    ("float32", lambda p: p.astype(np.float32)),
    ("float64", lambda p: p),
    ("float16", lambda p: (p / 4).astype(np.float16)),
    ("longdouble", lambda p: p.astype(np.longdouble)),
    ("int64", lambda p: (p * 1e6).astype(np.int64)),
    ("int32", lambda p: p.astype(np.int32)),
    ("int8", lambda p: (p % 100).astype(np.int8)),
    ("uint16", lambda p: p.astype(np.uint16)),
    ("uint64", lambda p: (p * 1e12).astype(np.uint64)),
    ("big-endian float32", lambda p: p.astype(">f4")),
    ("big-endian float64", lambda p: p.astype(">f8")),
    ("every other float32", lambda p: np.repeat(p.astype(np.float32), 2)[::2]),
    ("reversed float64", lambda p: p[::-1].copy()[::-1]),
    ("misaligned float64", lambda p: np.frombuffer(b"\0" + p.tobytes(), np.float64, len(p), 1)),
    ("list", lambda p: p.tolist()),
    ("tuple of ints", lambda p: tuple(int(v) for v in p)),
]


@pytest.mark.parametrize("form", PRICE_FORMS, ids=[form[0] for form in PRICE_FORMS])
def test_prices_of_any_real_type_round_to_float32_once(reference, form):
    _, make = form
    prices = make(_rng_walk())
    rng = np.random.default_rng(8)
    periods = (rng.integers(1, 80, len(prices)) / 2).astype(np.float32)
    expected_prices = np.asarray(prices).astype(np.float32)
    for name, function in ROUTINES:
        assert_same_bits(function(prices, periods), reference(name, expected_prices, periods))


PERIOD_FORMS = [
    ("int", 14),
    ("float", 14.5),
    ("numpy float32", np.float32(13.5)),
    ("numpy int64", np.int64(14)),
    ("0-D array", np.array(15.0)),
    ("huge int", 10**400),
    ("list", [float(v % 30) for v in range(500)]),
    ("float64 array", (np.arange(500) % 40 / 2.0)),
    ("int16 array", (np.arange(500) % 30).astype(np.int16)),
    ("every other float32", np.repeat(np.float32(np.arange(500) % 25), 2)[::2]),
]


@pytest.mark.parametrize("form", PERIOD_FORMS, ids=[form[0] for form in PERIOD_FORMS])
def test_periods_of_any_form(reference, form):
    _, period = form
    prices = _rng_walk().astype(np.float32)
    expected = np.inf if period is PERIOD_FORMS[5][1] else np.asarray(period, dtype=np.float64)
    expected_periods = np.broadcast_to(np.float32(expected), prices.shape)
    for name, function in ROUTINES:
        assert_same_bits(function(prices, period), reference(name, prices, expected_periods))
