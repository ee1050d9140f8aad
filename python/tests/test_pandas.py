"""Series and DataFrames: index, names and columns kept; a DataFrame's columns give the
bits of one call per column, on any number of threads and whatever their layout."""

import numpy as np
import pytest

import tessaryn
from conftest import INDICATOR_ROUTINES, ROUTINES, assert_same_bits, drifting_periods, walk

pd = pytest.importorskip("pandas")


def _frame(rng, bars=700, columns=9, dtype=np.float32, order="C"):
    values = np.stack([walk(rng, bars, 50.0 + 10 * c) for c in range(columns)], axis=1)
    values = np.asarray(values, dtype=dtype, order=order)
    index = pd.date_range("2021-03-01", periods=bars, freq="min", name="time")
    frame = pd.DataFrame(values, index=index, columns=[f"s{c}" for c in range(columns)])
    frame.columns.name = "symbol"
    return frame


def _per_column(reference, name, frame, periods, empty="nan"):
    """The C routine's output, column by column, as a 2-D array."""
    values = frame.to_numpy(dtype=np.float32)
    periods = np.broadcast_to(np.asarray(periods, np.float32).T, values.T.shape).T
    return np.stack([reference(name, values[:, c], periods[:, c], empty)
                     for c in range(values.shape[1])], axis=1)


def test_series_keeps_index_and_name(reference):
    rng = np.random.default_rng(1)
    index = pd.date_range("2020-01-01", periods=400, freq="D")
    prices = pd.Series(walk(rng, 400).astype(np.float64), index=index, name="close")
    periods = pd.Series(drifting_periods(rng, 400), index=index)
    for name, function in ROUTINES:
        out = function(prices, periods)
        assert isinstance(out, pd.Series) and out.dtype == np.float32
        # Named after what it holds, so that it joins the prices' frame.
        assert out.name == {"ITrend": "trend", "CyclicalComponent": "cycle",
                            "Tessaryn": "model"}[name] and out.index.equals(index)
        assert_same_bits(out, reference(name, prices.to_numpy(), periods.to_numpy()))


def test_series_of_nullable_floats_reads_missing_as_nan(reference):
    prices = pd.Series([1.0, 2.0, None, 4.0, 5.0, 6.0], dtype="Float64")
    expected = reference("ITrend", np.array([1, 2, np.nan, 4, 5, 6], np.float32), 2.0)
    assert_same_bits(tessaryn.itrend(prices, 2, gaps="propagate"), expected)


def test_indicators_of_a_series_is_a_frame_of_three_columns(reference):
    rng = np.random.default_rng(2)
    prices = pd.Series(walk(rng, 300), index=pd.RangeIndex(100, 400), name="x")
    out = tessaryn.indicators(prices, 10, empty="marker")
    assert list(out.columns) == ["trend", "cycle", "model"]
    assert out.index.equals(prices.index)
    for key, name in INDICATOR_ROUTINES.items():
        assert_same_bits(out[key], reference(name, prices.to_numpy(), 10.0, "marker"))


LAYOUTS = [
    ("float32, C order", np.float32, "C"),
    ("float32, Fortran order", np.float32, "F"),
    ("float64, C order", np.float64, "C"),
    ("float64, Fortran order", np.float64, "F"),
    ("int64", np.int64, "C"),
]


@pytest.mark.parametrize("layout", LAYOUTS, ids=[layout[0] for layout in LAYOUTS])
def test_frame_keeps_index_and_columns_and_gives_each_columns_bits(reference, layout):
    _, dtype, order = layout
    rng = np.random.default_rng(3)
    frame = _frame(rng, dtype=dtype, order=order)
    periods = drifting_periods(rng, len(frame))
    for name, function in ROUTINES:
        out = function(frame, periods)
        assert isinstance(out, pd.DataFrame)
        assert out.index.equals(frame.index) and out.columns.equals(frame.columns)
        assert out.columns.name == "symbol" and (out.dtypes == np.float32).all()
        assert_same_bits(out, _per_column(reference, name, frame, periods))


@pytest.mark.parametrize("threads", [1, 2, 3, 8, 64])
def test_any_number_of_threads_gives_the_same_bits(reference, threads):
    rng = np.random.default_rng(4)
    frame = _frame(rng, bars=2000, columns=37, dtype=np.float64)
    periods = drifting_periods(rng, len(frame), 120)
    expected = _per_column(reference, "Tessaryn", frame, periods)
    assert_same_bits(tessaryn.tessaryn(frame, periods, threads=threads), expected)
    assert_same_bits(tessaryn.tessaryn(frame.astype(np.float32), periods, threads=threads),
                     expected)


def test_period_of_a_frame_in_every_form(reference):
    rng = np.random.default_rng(5)
    frame = _frame(rng, bars=500, columns=4)
    per_bar = pd.DataFrame(rng.integers(1, 80, frame.shape) / 2, index=frame.index,
                           columns=frame.columns)
    per_row = pd.Series(drifting_periods(rng, len(frame)), index=frame.index)
    forms = [
        ("one number", 21, 21.0),
        ("a Series per row", per_row, per_row.to_numpy()[:, None]),
        ("an array per row", per_row.to_numpy(), per_row.to_numpy()[:, None]),
        ("a DataFrame", per_bar, per_bar.to_numpy()),
        ("a 2-D array", per_bar.to_numpy(), per_bar.to_numpy()),
    ]
    for form, period, expected_periods in forms:
        out = tessaryn.itrend(frame, period)
        assert_same_bits(out, _per_column(reference, "ITrend", frame, expected_periods)), form


def test_frame_of_mixed_and_nullable_columns(reference):
    rng = np.random.default_rng(6)
    frame = pd.DataFrame({
        "f32": walk(rng, 300),
        "f64": walk(rng, 300).astype(np.float64) * 1.1,
        "i64": (walk(rng, 300) * 1000).astype(np.int64),
        "nullable": pd.array(walk(rng, 300).astype(np.float64), dtype="Float64"),
    })
    frame.loc[17, "nullable"] = None
    out = tessaryn.cyclical_component(frame, 12, gaps="propagate")
    expected = np.stack([
        reference("CyclicalComponent", frame[c].to_numpy(np.float64, na_value=np.nan), 12.0)
        for c in frame.columns], axis=1)
    assert_same_bits(out, expected)


def test_indicators_of_a_frame_has_an_indicator_level(reference):
    rng = np.random.default_rng(7)
    frame = _frame(rng, bars=300, columns=3)
    out = tessaryn.indicators(frame, 9, threads=2)
    assert out.columns.names == ["indicator", "symbol"]
    assert out.index.equals(frame.index)
    for key, name in INDICATOR_ROUTINES.items():
        assert out[key].columns.equals(frame.columns)
        assert_same_bits(out[key], _per_column(reference, name, frame, 9.0))


def test_frames_without_columns_or_rows():
    no_columns = pd.DataFrame(index=pd.RangeIndex(5))
    assert tessaryn.itrend(no_columns, 3).shape == (5, 0)
    no_rows = pd.DataFrame({"a": np.empty(0, np.float32), "b": np.empty(0, np.float32)})
    out = tessaryn.tessaryn(no_rows, 3)
    assert out.shape == (0, 2) and list(out.columns) == ["a", "b"]
