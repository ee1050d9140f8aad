"""Memory: contiguous float32 is read in place, other input is converted once, and no call
leaks, whether it succeeds or fails."""

import gc
import tracemalloc

import numpy as np
import pytest

import tessaryn
from memory_check import assert_calls_leave_memory_flat

BARS = 1_000_000
OUTPUT = BARS * 4


def _peak_of(call):
    gc.collect()
    tracemalloc.start()
    try:
        result = call()
        del result
        return tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()


# (input, the most a call may take beyond its float32 output)
COPIES = [
    ("contiguous float32", lambda: np.ones(BARS, np.float32), 0),
    ("float64", lambda: np.ones(BARS, np.float64), OUTPUT),
    ("every other float32", lambda: np.ones(2 * BARS, np.float32)[::2], OUTPUT),
    ("big-endian float32", lambda: np.ones(BARS, ">f4"), OUTPUT),
]


@pytest.mark.parametrize("case", COPIES, ids=[case[0] for case in COPIES])
def test_input_is_copied_at_most_once(case):
    _, make, copies = case
    prices = make()
    periods = np.full(BARS, 14, np.float32)
    slack = 64 << 10
    peak = _peak_of(lambda: tessaryn.itrend(prices, periods))
    assert OUTPUT + copies - slack <= peak <= OUTPUT + copies + slack


def test_a_frame_of_float32_columns_is_read_in_place():
    pd = pytest.importorskip("pandas")
    frame = pd.DataFrame(np.ones((BARS // 4, 4), np.float32, order="F"))
    peak = _peak_of(lambda: tessaryn.itrend(frame, 14, threads=2))
    assert peak <= OUTPUT + (256 << 10)


def _calls():
    pd = pytest.importorskip("pandas")
    rng = np.random.default_rng(9)
    prices = (100 + np.cumsum(rng.normal(size=1000))).astype(np.float32)
    wide = prices.astype(np.float64)
    series = pd.Series(prices)
    frame = pd.DataFrame(np.stack([prices] * 4, axis=1))
    return [
        ("float32 array", prices, lambda: tessaryn.itrend(prices, 14)),
        ("float64 array, periods", wide, lambda: tessaryn.tessaryn(wide, wide % 20)),
        ("list", prices, lambda: tessaryn.cyclical_component(prices[:50].tolist(), 5)),
        ("Series", series, lambda: tessaryn.itrend(series, 14, empty="marker")),
        ("indicators", prices, lambda: tessaryn.indicators(prices, 14)),
        ("DataFrame", frame, lambda: tessaryn.itrend(frame, 14, threads=2)),
        ("refused", prices, lambda: _refused(lambda: tessaryn.itrend(prices, prices[:9]))),
        ("refused empty", prices, lambda: _refused(lambda: tessaryn.itrend(prices, 3, empty=1))),
    ]


def _refused(call):
    try:
        call()
    except ValueError:
        return None
    raise AssertionError("the call was not refused")


def test_ten_thousand_calls_leave_memory_flat():
    for name, argument, call in _calls():
        count = 10_000 if name != "DataFrame" else 2_000
        assert_calls_leave_memory_flat(name, argument, call, count)
