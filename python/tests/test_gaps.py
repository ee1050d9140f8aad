"""Missing prices are missing bars by default: each result is the library's on the bars
that have a price, the missing bars are empty, and no NaN reaches the bars after a gap."""

import numpy as np
import pytest

import tessaryn
from conftest import INDICATOR_ROUTINES, ROUTINES, assert_same_bits, drifting_periods, walk

pd = pytest.importorskip("pandas")

RNG = np.random.default_rng(20)
BARS = 400
PRICES = walk(RNG, BARS).astype(np.float64)
PERIODS = drifting_periods(RNG, BARS)
GAPS = np.sort(RNG.choice(BARS, 25, replace=False))


def _expected(reference, name, prices, periods, missing, empty="nan"):
    """The C routine over the present bars, spread back, empty on the missing ones."""
    present = ~missing
    periods = np.broadcast_to(np.asarray(periods, np.float32), prices.shape)
    out = np.full(len(prices), np.nan if empty == "nan" else tessaryn.EMPTY, np.float32)
    out[present] = reference(name, prices[present], periods[present], empty)
    return out


def _with_gaps(kind):
    values = PRICES.copy()
    values[GAPS] = np.nan
    if kind == "float64 array":
        return values
    if kind == "float32 array":
        return values.astype(np.float32)
    if kind == "every other bar of an array":
        wide = np.repeat(values, 2)
        return wide[::2]
    if kind == "big-endian array":
        return values.astype(">f4")
    if kind == "list with None":
        return [None if np.isnan(v) else float(v) for v in values]
    if kind == "masked array":
        # the masked cells hold a price that must not be read
        return np.ma.array(np.where(np.isnan(values), 7.0, values), mask=np.isnan(values))
    if kind == "Series with pandas NA":
        return pd.Series(pd.array(values, dtype="Float64")).mask(np.isnan(values), pd.NA)
    if kind == "Series of float64":
        return pd.Series(values)
    raise AssertionError(kind)


KINDS = ["float64 array", "float32 array", "every other bar of an array", "big-endian array",
         "list with None", "masked array", "Series with pandas NA", "Series of float64"]
MISSING = np.zeros(BARS, bool)
MISSING[GAPS] = True


@pytest.mark.parametrize("empty", ["nan", "marker"])
@pytest.mark.parametrize("period", ["constant", "per bar"])
@pytest.mark.parametrize("name,function", ROUTINES, ids=[name for name, _ in ROUTINES])
@pytest.mark.parametrize("kind", KINDS)
def test_a_missing_price_is_a_missing_bar(reference, kind, name, function, period, empty):
    periods = np.float32(14) if period == "constant" else PERIODS
    out = function(_with_gaps(kind), periods, empty=empty)
    expected = _expected(reference, name, PRICES, periods, MISSING, empty)
    assert_same_bits(np.asarray(out), expected)
    # the bars after the last gap are computed: the gap did not run on
    assert not np.isnan(np.asarray(out)[GAPS[-1] + 30:]).any()


@pytest.mark.parametrize("kind", ["list with None", "Series with pandas NA", "masked array"])
def test_indicators_skip_gaps_as_the_three_functions(reference, kind):
    out = tessaryn.indicators(_with_gaps(kind), 9)
    for key, name in INDICATOR_ROUTINES.items():
        assert_same_bits(np.asarray(out[key]), _expected(reference, name, PRICES, 9, MISSING))


def test_gaps_propagate_keeps_the_libraries_arithmetic(reference):
    prices = _with_gaps("float32 array")
    out = tessaryn.cyclical_component(prices, 14, gaps="propagate")
    assert_same_bits(out, reference("CyclicalComponent", prices, 14))
    # the C library's NaN runs on over bars that have a price
    assert np.isnan(out).sum() > np.isnan(tessaryn.cyclical_component(prices, 14)).sum() + 50


@pytest.mark.parametrize("threads", [1, 2, 3])
def test_a_symbol_that_starts_late_in_an_outer_joined_frame(reference, threads):
    rng = np.random.default_rng(3)
    index = pd.date_range("2020-01-01", periods=BARS, freq="D")
    early = pd.Series(walk(rng, BARS), index=index)
    late = pd.Series(walk(rng, BARS - 150), index=index[150:])
    holey = pd.Series(PRICES, index=index).mask(MISSING)
    frame = pd.concat({"early": early, "late": late, "holey": holey}, axis=1)
    out = tessaryn.cyclical_component(frame, 20, threads=threads)
    for column in frame.columns:
        values = frame[column].to_numpy()
        expected = _expected(reference, "CyclicalComponent", values, 20, np.isnan(values))
        assert_same_bits(out[column].to_numpy(), expected)
    assert out["late"].iloc[200:].notna().all()


def test_per_row_and_per_bar_periods_of_a_frame_with_gaps(reference):
    values = np.stack([PRICES, PRICES[::-1].copy()], axis=1)
    values[GAPS, 0] = np.nan
    frame = pd.DataFrame(values, columns=["a", "b"])
    per_bar = pd.DataFrame(np.stack([PERIODS, PERIODS[::-1]], axis=1), columns=["a", "b"])
    out = tessaryn.itrend(frame, per_bar)
    assert_same_bits(out["a"].to_numpy(), _expected(reference, "ITrend", PRICES, PERIODS,
                                                     MISSING))
    assert_same_bits(out["b"].to_numpy(), reference("ITrend", PRICES[::-1], PERIODS[::-1]))
    out = tessaryn.itrend(frame, PERIODS)
    assert_same_bits(out["a"].to_numpy(), _expected(reference, "ITrend", PRICES, PERIODS,
                                                     MISSING))


@pytest.mark.parametrize("empty", ["nan", "marker"])
def test_a_stream_does_not_push_a_missing_price(empty):
    prices = _with_gaps("float64 array")
    batch = tessaryn.indicators(prices, PERIODS, empty=empty)
    stream = tessaryn.Stream(empty=empty)
    bars = [stream.push(price, period) for price, period in zip(prices, PERIODS)]
    for row, name in enumerate(("trend", "cycle", "model")):
        assert_same_bits(np.array([bar[row] for bar in bars], np.float32), batch[name])
    assert len(stream) == BARS - len(GAPS)
    history = tessaryn.Stream(empty=empty).push_many(prices, PERIODS)
    for name in ("trend", "cycle", "model"):
        assert_same_bits(getattr(history, name), batch[name])


def test_a_revise_gives_a_missing_bar_its_price_but_never_takes_one_away():
    stream = tessaryn.Stream()
    for price in (1.0, 2.0, 3.0):
        stream.push(price, 2)
    assert np.isnan(stream.push(None, 2).trend) and len(stream) == 3
    revised = stream.revise(4.0, 2)
    assert revised.trend == tessaryn.itrend([1.0, 2.0, 3.0, 4.0], 2)[-1]
    assert len(stream) == 4
    with pytest.raises(ValueError, match="missing price"):
        stream.revise(float("nan"), 2)
    assert len(stream) == 4 and stream.gaps == "skip"
    assert tessaryn.Stream(gaps="propagate").gaps == "propagate"
    with pytest.raises(ValueError, match="gaps"):
        tessaryn.Stream(gaps="drop")


@pytest.mark.parametrize("order", ["C", "F"])
@pytest.mark.parametrize("dtype", [np.float32, np.float64, ">f8"])
def test_gaps_are_found_in_frames_of_every_layout(reference, order, dtype):
    rng = np.random.default_rng(8)
    values = np.stack([walk(rng, 700) for _ in range(6)], axis=1).astype(np.float64)
    values[rng.integers(0, 700, 9), [0, 2, 2, 3, 3, 3, 5, 5, 5]] = np.nan
    array = np.asarray(values, dtype=dtype, order=order)
    out = tessaryn.tessaryn(pd.DataFrame(array), 11)
    for column in range(6):
        prices = values[:, column]
        expected = _expected(reference, "Tessaryn", prices, 11, np.isnan(prices))
        assert_same_bits(out[column].to_numpy(), expected)
