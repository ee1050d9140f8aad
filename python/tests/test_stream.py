"""Streams give, bar by bar, the batch routines' values on the series so far, however the bars
arrive (pushed, revised while they form, many at once), and the C stream's bits call for call."""

import threading
import time

import numpy as np
import pytest

import tessaryn
from c_stream import CStream, declare
from conftest import (
    EMPTY_BITS,
    INDICATOR_ROUTINES,
    assert_same_bits,
    bits,
    drifting_periods,
    series_kinds,
    walk,
)

KINDS = series_kinds()
# Long enough for a bounded stream's buffer to fill, bar by bar, and let its oldest prices go.
_long = np.random.default_rng(77)
LIVE_KINDS = KINDS + [("long walk, periods up to 20", walk(_long, 9_000),
                       drifting_periods(_long, 9_000, 20))]
NAMES = list(INDICATOR_ROUTINES)  # trend, cycle, model


@pytest.fixture(scope="module")
def c_library(library):
    return declare(library)


def rounded_periods(periods):
    """Each period as the library rounds it: the nearest whole number, halves to even; 0
    where it is not a period (not above 0.5, not below 2^31, NaN)."""
    periods = np.asarray(periods, np.float32)
    valid = (periods > 0.5) & (periods < 2.0**31)
    return np.where(valid, np.rint(np.where(valid, periods, 0)), 0)


def tight_bound(bars, periods):
    """The least longest_period that refuses none of these bars (bar k of `bars` being the
    bar of index bars[k])."""
    rounded = rounded_periods(periods)
    computed = (rounded >= 1) & (rounded <= bars)
    return int(rounded[computed].max()) if computed.any() else 1


def batch(reference, prices, periods, empty):
    """The routines' outputs over a whole series, one row per indicator."""
    return np.stack([reference(INDICATOR_ROUTINES[name], prices, periods, empty)
                     for name in NAMES])


def assert_same_values(actual, expected, what=""):
    """Same float32 bits, but for NaN against NaN: a NaN the stream computes may carry
    another payload than the routines' (the C library's own tests allow it too)."""
    actual_bits, expected_bits = bits(actual), bits(expected)
    assert actual_bits.shape == expected_bits.shape, what
    both_nan = np.isnan(np.asarray(actual, np.float32)) & np.isnan(np.asarray(expected, np.float32))
    differ = np.argwhere((actual_bits != expected_bits) & ~both_nan)
    assert differ.size == 0, (
        f"{what}: {len(differ)} values differ, first at {tuple(differ[0])}: "
        f"{actual_bits[tuple(differ[0])]:#010x} instead of {expected_bits[tuple(differ[0])]:#010x}")


ODD_TICKS = np.array([np.nan, 3.4e38, 1e30, 2.0**-40, np.inf], np.float32)


def live_script(rng, prices, periods):
    """The calls a live feed makes: for each bar a push, then up to three revisions while it
    forms, the last one its close; ticks near the close, far off or odd, and the first
    revision with twice the period. Rows (bar, is_push, price, period)."""
    rows = []
    ticks = rng.integers(0, 4, len(prices))
    noise = rng.normal(0, 0.01, (len(prices), 3))
    kinds = rng.integers(0, 20, (len(prices), 3))
    odd = rng.choice(ODD_TICKS, (len(prices), 3))
    for bar, (close, period) in enumerate(zip(prices.tolist(), periods.tolist())):
        tick = [odd[bar, t] if kinds[bar, t] == 0
                else close * (1 + noise[bar, t]) + (1e6 if kinds[bar, t] == 1 else 0)
                for t in range(3)]
        if ticks[bar] == 0:
            rows.append((bar, True, close, period))
            continue
        rows.append((bar, True, float(tick[0]), period))
        for t in range(1, ticks[bar]):
            rows.append((bar, False, float(tick[t]), period * 2 if t == 1 else period))
        rows.append((bar, False, close, period))
    return rows


@pytest.mark.parametrize("empty", ["nan", "marker"])
@pytest.mark.parametrize("bounded", [False, True], ids=["unbounded", "tight bound"])
@pytest.mark.parametrize("kind", LIVE_KINDS, ids=[kind[0] for kind in LIVE_KINDS])
def test_bar_by_bar_with_revisions_equals_the_routines(reference, c_library, kind, bounded,
                                                       empty):
    name, prices, periods = kind
    periods = np.broadcast_to(np.float32(periods), prices.shape).astype(np.float32)
    rng = np.random.default_rng(sum(map(ord, name)))
    rows = live_script(rng, prices, periods)
    bars = np.array([row[0] for row in rows], np.int64)
    script_periods = np.array([row[3] for row in rows], np.float32)
    bound = tight_bound(bars, script_periods) if bounded and rows else 0
    stream = tessaryn.Stream(bound, empty=empty, gaps="propagate")
    twin = CStream(c_library, bound, empty)

    got, from_c = [], []
    for bar, is_push, price, period in rows:
        got.append(stream.push(price, period) if is_push else stream.revise(price, period))
        from_c.append(twin.push(price, period) if is_push else twin.revise(price, period))
    got = np.array(got, np.float32).reshape(-1, 3)
    assert_same_bits(got, np.array(from_c, np.float32).reshape(-1, 3))
    assert len(stream) == len(prices)

    # Each bar's last values are its close's: the routines' at that bar.
    closes = np.flatnonzero(np.diff(bars, append=len(prices)) != 0)
    expected = batch(reference, prices, periods, empty)
    assert_same_values(got[closes].T, expected, "closes against the routines")

    # A forming bar now and then: the routines' on the series with that tick as its last bar.
    for row in range(0, len(rows), 97):
        bar, _, price, period = rows[row]
        with np.errstate(over="ignore"):  # ticks far above 3.4E+38 round to infinity
            head_prices = np.append(prices[:bar], np.float32(price))
        head_periods = np.append(periods[:bar], np.float32(period))
        forming = batch(reference, head_prices, head_periods, empty)[:, -1]
        assert_same_values(got[row], forming, f"forming bar {bar}")


def test_c_stream_comparison_sees_nan_payloads(c_library):
    """The comparison above holds the package to the C stream's exact bits, NaN payloads too:
    Python floats carry a float32 NaN's payload there and back."""
    stream = tessaryn.Stream(gaps="propagate")
    twin = CStream(c_library)
    for price in [1.0, np.nan, 3.0, -np.nan, 5.0, 6.0]:
        got = np.array(stream.push(price, 2), np.float32)
        assert bits(got).tolist() == bits(twin.push(price, 2)).tolist()


# Every way push_many takes prices and periods, each against the routines on its float32
# rounding: (form, make prices, make periods).
MANY_FORMS = [
    ("float32 arrays", lambda p: p, lambda q: q),
    ("float64 prices, one period", lambda p: p.astype(np.float64), lambda q: 13.5),
    ("lists", lambda p: p.tolist(), lambda q: q.tolist()),
    ("int64 prices, int16 periods", lambda p: (p * 100).astype(np.int64),
     lambda q: q.astype(np.int16)),
    ("every other float32", lambda p: np.repeat(p, 2)[::2], lambda q: np.repeat(q, 2)[::2]),
    ("big-endian", lambda p: p.astype(">f8"), lambda q: q.astype(">f4")),
    ("numpy scalar period", lambda p: p, lambda q: np.float32(21.5)),
]


@pytest.mark.parametrize("empty", ["nan", "marker"])
@pytest.mark.parametrize("bound", [0, 30])
@pytest.mark.parametrize("form", MANY_FORMS, ids=[form[0] for form in MANY_FORMS])
def test_many_at_once_pushes_and_revisions_mix(reference, form, bound, empty):
    """A long history in chunks of every size, some pushed bar by bar, the last bar of some
    chunks revised and put back: a bounded stream lets its oldest prices go many times."""
    _, make_prices, make_periods = form
    rng = np.random.default_rng(41 + bound)
    count = 20_000
    prices = walk(rng, count)
    periods = np.clip(drifting_periods(rng, count, bound or 60), 0, bound or 60)
    given_prices, given_periods = make_prices(prices), make_periods(periods)
    expected_prices = np.asarray(given_prices).astype(np.float32)
    expected_periods = np.broadcast_to(np.asarray(given_periods).astype(np.float32),
                                       prices.shape)
    stream = tessaryn.Stream(bound, empty=empty, gaps="propagate")
    pieces = []
    done = 0
    while done < count:
        size = int(min(rng.choice([0, 1, 2, 5, 300, 4095, 4097, 6000]), count - done))
        chunk = slice(done, done + size)
        chunk_periods = (given_periods if np.ndim(given_periods) == 0
                         else given_periods[chunk])
        if size <= 5:
            for k in range(done, done + size):
                pieces.append(np.array([stream.push(given_prices[k], expected_periods[k])],
                                       np.float32))
        else:
            out = stream.push_many(given_prices[chunk], chunk_periods)
            assert isinstance(out, tessaryn.BarValues)
            assert all(values.dtype == np.float32 for values in out)
            pieces.append(np.stack(out, axis=1))
        if size and rng.random() < 0.5:
            last = done + size - 1
            stream.revise(expected_prices[last] * 2, expected_periods[last])
            pieces[-1][-1] = stream.revise(given_prices[last], expected_periods[last])
        done += size
    assert len(stream) == count
    expected = batch(reference, expected_prices, expected_periods, empty)
    assert_same_values(np.concatenate(pieces).T, expected, "chunks against the routines")


def test_a_series_gives_a_frame_with_its_index(reference):
    pd = pytest.importorskip("pandas")
    rng = np.random.default_rng(5)
    index = pd.date_range("2024-01-02", periods=500, freq="min", name="time")
    prices = pd.Series(walk(rng, 500).astype(np.float64), index=index, name="close")
    periods = pd.Series(drifting_periods(rng, 500), index=index[::-1])  # taken by position
    stream = tessaryn.Stream(60, empty="marker")
    head = stream.push_many(prices[:200], periods[:200])
    tail = stream.push_many(prices[200:], periods.to_numpy()[200:])
    for out, part in ((head, slice(0, 200)), (tail, slice(200, 500))):
        assert isinstance(out, pd.DataFrame)
        assert list(out.columns) == NAMES and out.index.equals(index[part])
        assert (out.dtypes == np.float32).all()
    expected = batch(reference, prices.to_numpy(), periods.to_numpy(), "marker")
    assert_same_values(pd.concat([head, tail]).to_numpy().T, expected, "Series")


def test_bar_values_are_python_floats_with_the_librarys_bits():
    stream = tessaryn.Stream(empty="marker")
    first = stream.push(101.25, 3)
    assert type(first) is tessaryn.BarValues and isinstance(first, tuple)
    assert first._fields == ("trend", "cycle", "model")
    assert all(type(value) is float for value in first)
    assert bits(first).tolist() == [EMPTY_BITS] * 3
    assert first.trend == tessaryn.EMPTY
    for price in (102.5, 99.75, 100.0):
        values = stream.push(price, 3)
    trend, cycle, model = values
    assert (trend, cycle, model) == (values.trend, values.cycle, values.model)
    assert trend == tessaryn.itrend(np.float32([101.25, 102.5, 99.75, 100.0]), 3)[-1]

    nan_stream = tessaryn.Stream()
    assert all(np.isnan(value) for value in nan_stream.push(101.25, 3))


def test_numbers_of_every_kind_round_to_float32(c_library):
    from fractions import Fraction

    def float32(number):
        try:
            return np.float32(float(number))
        except OverflowError:  # an int beyond every double
            return np.float32(np.inf if number > 0 else -np.inf)

    prices = [np.float32(100.1), np.float64(100.3), 100, np.int8(101), np.uint64(99),
              Fraction(201, 2), np.array(100.7), np.longdouble("100.9"), 10**400, 98]
    periods = [2, np.int64(3), 2.5, np.float16(3.5), np.array(4, np.uint8), Fraction(5, 2),
               np.float32(3), 3.0, 2, -(10**400)]
    stream, twin = tessaryn.Stream(gaps="propagate"), CStream(c_library)
    for price, period in zip(prices, periods):
        expected = twin.push(float32(price), float32(period))
        assert_same_values(np.array(stream.push(price, period), np.float32), expected,
                           f"{price!r}, {period!r}")


def test_length_reset_and_attributes(c_library):
    stream = tessaryn.Stream(25, empty="marker")
    assert (len(stream), bool(stream), stream.longest_period, stream.empty) == (0, False, 25,
                                                                                 "marker")
    prices = walk(np.random.default_rng(8), 300)
    first = stream.push_many(prices, 20)
    stream.push(1.0, 20)
    stream.revise(2.0, 20)
    assert len(stream) == 301 and bool(stream)
    assert repr(stream) == "<tessaryn.Stream longest_period=25 empty='marker', 301 bars>"
    stream.reset()
    assert len(stream) == 0 and stream.longest_period == 25 and stream.empty == "marker"
    with pytest.raises(IndexError):
        stream.revise(1.0, 20)
    again = stream.push_many(prices, 20)
    assert bits(np.stack(again)).tolist() == bits(np.stack(first)).tolist()
    assert tessaryn.Stream().longest_period == 0 and tessaryn.Stream().empty == "nan"


def test_push_many_of_no_bars_changes_nothing():
    stream = tessaryn.Stream(10)
    stream.push_many([1.0, 2.0, 4.0], 2)
    out = stream.push_many([], [])
    assert [values.shape for values in out] == [(0,), (0,), (0,)]
    assert len(stream) == 3
    # The newest bar is still the one a revision replaces.
    expected = tessaryn.indicators(np.float32([1.0, 2.0, 5.0]), 2)
    assert stream.revise(5.0, 2) == tuple(expected[name][-1] for name in NAMES)


def test_another_thread_runs_python_and_is_refused_while_push_many_computes():
    prices = np.ones(4_000_000, np.float32)
    stream = tessaryn.Stream()
    started = threading.Event()
    outcome = {}

    def push_many():
        started.set()
        outcome["values"] = stream.push_many(prices, 14)

    worker = threading.Thread(target=push_many)
    calls = {"len": lambda: len(stream), "push": lambda: stream.push(1.0, 14),
             "revise": lambda: stream.revise(2.0, 14)}
    ticks, refused, pushed = [], {}, 0
    worker.start()
    started.wait()
    while worker.is_alive():
        ticks.append(time.perf_counter())
        for name, call in calls.items():
            try:
                call()
                pushed += name == "push"  # before push_many began or after it ended
            except RuntimeError as error:
                refused.setdefault(name, str(error))
    worker.join()
    assert set(refused) == set(calls), f"only {sorted(refused)} overlapped push_many"
    assert all("in use by push_many on another thread" in text for text in refused.values())
    # The refused calls changed nothing.
    assert len(stream) == len(prices) + pushed and len(outcome["values"].trend) == len(prices)
    assert len(ticks) > 10, "this thread stopped while push_many computed: the GIL was held"
