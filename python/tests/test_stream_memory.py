"""Streams leak nothing: neither Python objects (tracemalloc) nor the C streams' own memory,
which comes from malloc and which glibc's counters see, over 10^4 calls that succeed or fail."""

import ctypes
import gc

import numpy as np
import pytest

import tessaryn
from memory_check import assert_calls_leave_memory_flat

CALLS = 10_000
PRICES = (100 + np.cumsum(np.random.default_rng(9).normal(size=100))).astype(np.float32)


def _refused(call, exception=ValueError):
    try:
        call()
    except exception:
        return
    raise AssertionError("the call was not refused")


def _calls():
    pd = pytest.importorskip("pandas")
    bounded = tessaryn.Stream(20, gaps="propagate")
    bounded.push_many(PRICES, 14)  # bars enough for periods above 20 to be refused
    marker = tessaryn.Stream(20, empty="marker", gaps="propagate")
    series = pd.Series(PRICES.astype(np.float64))
    listed = PRICES[:10].tolist()
    periods = [14.0] * 10
    return [
        ("push", PRICES, lambda: bounded.push(PRICES[7], 14)),
        ("revise", PRICES, lambda: bounded.revise(101.5, 15)),
        ("push with keywords", PRICES, lambda: marker.push(price=PRICES[3], period=14.0)),
        ("push_many", PRICES, lambda: bounded.push_many(PRICES, 14)),
        ("push_many of periods", PRICES, lambda: marker.push_many(PRICES, PRICES % 20)),
        ("push_many of a list", PRICES, lambda: bounded.push_many(listed, periods)),
        ("push_many of a Series", series, lambda: bounded.push_many(series, 14)),
        ("len and reset", PRICES, lambda: (len(bounded), tessaryn.Stream(5).reset())),
        ("a new stream", PRICES, lambda: tessaryn.Stream(50).push_many(PRICES, 14)),
        ("refused period", PRICES, lambda: _refused(lambda: bounded.push(PRICES[0], 21))),
        ("refused push_many", PRICES, lambda: _refused(lambda: bounded.push_many(PRICES, 90))),
        ("refused revise", PRICES,
         lambda: _refused(lambda: tessaryn.Stream().revise(1.0, 2), IndexError)),
        ("refused price", PRICES, lambda: _refused(lambda: bounded.push("x", 14), TypeError)),
        ("refused lengths", PRICES,
         lambda: _refused(lambda: bounded.push_many(PRICES, PRICES[:9]))),
        ("refused construction", PRICES, lambda: _refused(lambda: tessaryn.Stream(-1))),
    ]


@pytest.mark.parametrize("case", _calls(), ids=[case[0] for case in _calls()])
def test_ten_thousand_calls_leave_python_memory_flat(case):
    name, argument, call = case
    count = CALLS if "Series" not in name else CALLS // 5  # a DataFrame each: slow to make
    assert_calls_leave_memory_flat(name, argument, call, count)


def _malloc_in_use():
    """Bytes malloc has handed out and not taken back (glibc), or None elsewhere."""

    class MallInfo2(ctypes.Structure):
        _fields_ = [(field, ctypes.c_size_t) for field in (
            "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks",
            "fordblks", "keepcost")]

    try:
        mallinfo2 = ctypes.CDLL(None).mallinfo2
    except AttributeError:
        return None
    mallinfo2.restype = MallInfo2
    info = mallinfo2()
    return info.uordblks + info.hblkhd


@pytest.mark.parametrize("longest_period", [0, 20])
def test_streams_free_their_c_memory(longest_period):
    """Each stream holds tens of kilobytes from malloc: 10^4 of them lost would be hundreds
    of megabytes."""
    if _malloc_in_use() is None:
        pytest.skip("needs glibc's mallinfo2 to count the C library's memory")

    def cycle():
        stream = tessaryn.Stream(longest_period)
        stream.push_many(PRICES, 14)
        stream.push(PRICES[0], 14)

    for _ in range(200):
        cycle()
    gc.collect()
    before = _malloc_in_use()
    for _ in range(CALLS):
        cycle()
    gc.collect()
    grown = _malloc_in_use() - before
    assert grown < 1 << 20, f"{grown} bytes more from malloc after {CALLS} streams"


def test_a_bounded_stream_stays_the_same_size():
    if _malloc_in_use() is None:
        pytest.skip("needs glibc's mallinfo2 to count the C library's memory")
    stream = tessaryn.Stream(30)
    block = np.tile(PRICES, 100)
    stream.push_many(block, 14)
    gc.collect()
    before = _malloc_in_use()
    for _ in range(100):  # 10^6 bars
        stream.push_many(block, 14)
    gc.collect()
    assert _malloc_in_use() - before < 256 << 10
    assert len(stream) == 101 * len(block)
