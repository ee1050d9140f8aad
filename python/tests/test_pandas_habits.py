"""Everyday pandas work: the accessor, results named after what they hold (so they join the
prices' frame), periods matched by label, frames with text or date columns, None as a
missing price, and the long-format computation as a function."""

import numpy as np
import pytest

import tessaryn
from conftest import ROUTINES, assert_same_bits, walk

pd = pytest.importorskip("pandas")

RNG = np.random.default_rng(17)
INDEX = pd.date_range("2021-01-04", periods=250, freq="B", name="date")
FRAME = pd.DataFrame({"DAX": walk(RNG, 250, 13000.0), "SMI": walk(RNG, 250, 11000.0),
                      "CAC": walk(RNG, 250, 6000.0)}, index=INDEX)
NAMES = {"ITrend": "trend", "CyclicalComponent": "cycle", "Tessaryn": "model"}


@pytest.mark.parametrize("name,function", ROUTINES, ids=[name for name, _ in ROUTINES])
def test_accessor_gives_the_functions_results(name, function):
    assert_same_bits(getattr(FRAME.tessaryn, function.__name__)(14), function(FRAME, 14))
    out = getattr(FRAME.DAX.tessaryn, function.__name__)(14)
    assert out.name == NAMES[name]
    assert_same_bits(out, function(FRAME.DAX, 14))


def test_accessor_indicators_and_options():
    out = FRAME.SMI.tessaryn.indicators(9, empty="marker")
    assert list(out.columns) == ["trend", "cycle", "model"]
    assert_same_bits(out["cycle"], tessaryn.cyclical_component(FRAME.SMI, 9, empty="marker"))
    assert FRAME.tessaryn.indicators(9).columns.nlevels == 2


@pytest.mark.parametrize("name,function", ROUTINES, ids=[name for name, _ in ROUTINES])
def test_a_result_joins_the_prices_frame(name, function):
    joined = FRAME.join(function(FRAME.DAX, 20))
    assert list(joined.columns) == ["DAX", "SMI", "CAC", NAMES[name]]


PERIODS = pd.DataFrame({"DAX": 10.0, "SMI": 20.0, "CAC": 30.0}, index=INDEX)


@pytest.mark.parametrize("case, period", [
    ("columns in another order", PERIODS[["CAC", "DAX", "SMI"]]),
    ("rows in another order", PERIODS.iloc[::-1]),
    ("both, and a column more", PERIODS.assign(FTSE=5.0)[["FTSE", "SMI", "CAC", "DAX"]]
     .iloc[::-1]),
])
def test_a_period_frame_is_matched_by_label(case, period):
    out = tessaryn.itrend(FRAME, period)
    for column, bars in (("DAX", 10), ("SMI", 20), ("CAC", 30)):
        assert_same_bits(out[column], tessaryn.itrend(FRAME[column], bars))


def test_a_period_series_is_matched_by_label():
    periods = pd.Series(np.where(np.arange(250) < 100, 8.0, 15.0), index=INDEX)
    expected = tessaryn.tessaryn(FRAME.CAC, periods.to_numpy())
    assert_same_bits(tessaryn.tessaryn(FRAME.CAC, periods.sample(frac=1, random_state=1)),
                     expected)
    assert_same_bits(tessaryn.tessaryn(FRAME, periods.iloc[::-1])["CAC"], expected)


@pytest.mark.parametrize("period, words", [
    (PERIODS.set_axis(range(250)), ["period", "index", "labels"]),
    (PERIODS.drop(columns="SMI"), ["period", "'SMI'", "by name"]),
    (pd.Series(10.0, index=range(250)), ["period", "index", "labels"]),
])
def test_labels_that_do_not_match_are_refused(period, words):
    with pytest.raises(ValueError) as raised:
        tessaryn.itrend(FRAME, period)
    assert all(word in str(raised.value) for word in words), raised.value


def test_numeric_only_leaves_text_and_dates_out():
    mixed = FRAME.assign(name="DAX index", listed=pd.Timestamp("2020-01-01"))
    out = tessaryn.cyclical_component(mixed, 12)
    assert list(out.columns) == ["DAX", "SMI", "CAC"]
    assert_same_bits(out, tessaryn.cyclical_component(FRAME, 12))
    with pytest.raises(TypeError, match="numeric_only"):
        tessaryn.cyclical_component(mixed, 12, numeric_only=False)


def test_none_is_a_missing_price():
    prices = [1.0, 2.0, None, 4.0, 3.0, 5.0, 6.0]
    out = tessaryn.itrend(prices, 2)
    assert np.isnan(out[2])
    assert_same_bits(np.delete(out, 2), tessaryn.itrend([1.0, 2.0, 4.0, 3.0, 5.0, 6.0], 2))


def test_by_symbol_is_the_long_format_computation():
    rows = pd.concat([pd.DataFrame({"symbol": symbol, "date": INDEX, "close": FRAME[symbol]})
                      for symbol in FRAME.columns]).rename_axis(None).sample(frac=1, random_state=2)
    out = tessaryn.by_symbol(rows, price="close", period=14, by="symbol", time="date")
    assert list(out.columns) == ["symbol", "date", "close", "trend", "cycle", "model"]
    assert out.index.equals(rows.index)
    for symbol in FRAME.columns:
        mine = out[out.symbol == symbol].sort_values("date")
        assert_same_bits(mine["model"], tessaryn.tessaryn(FRAME[symbol], 14))
    accessor = rows.tessaryn.by_symbol(price="close", period=14, by="symbol", time="date")
    assert_same_bits(accessor["trend"], out["trend"])


def test_importing_tessaryn_does_not_import_pandas():
    import subprocess
    import sys

    code = "import sys, tessaryn; print('pandas' in sys.modules)"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=60)
    assert done.stdout.strip() == "False", done.stderr
    code = "import tessaryn, pandas; print(pandas.Series([1.0, 2.0]).tessaryn.itrend(1).name)"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=60)
    assert done.stdout.strip() == "trend", done.stderr
