"""--by: long-format rows in any order give, for every symbol, the bits of computing that
symbol's bars alone (ordered by time), with the input's rows and columns kept."""

import numpy as np
import pytest

from cli_support import need, read_output, run
from conftest import INDICATOR_ROUTINES, assert_same_bits, walk

pd = need("pandas", "python3-pandas")

from tessaryn._by_symbol import indicators_by_series  # noqa: E402  (imports pandas)

# Tickers pandas would read as numbers or as missing unless told they are text.
ODD_TICKERS = ["NA", "007", "null", "BRK.B", "a,b"]


def long_format(seed, symbols=40, longest=500, ties=False):
    """Rows of `symbols` series of 1 to `longest` bars, series after series, each oldest
    first: dates as text (repeated within a series when `ties`), prices with three
    decimals, periods in halves with some out of contract, and a column along for the
    ride."""
    rng = np.random.default_rng(seed)
    parts = []
    for name in ODD_TICKERS + [f"S{number}" for number in range(symbols - len(ODD_TICKERS))]:
        bars = int(rng.integers(1, longest))
        days = np.sort(rng.choice(4 * longest, bars, replace=ties))
        periods = rng.integers(0, 90, bars) / 2
        periods[rng.random(bars) < 0.02] = np.nan
        parts.append(pd.DataFrame({
            "symbol": name,
            "date": (pd.Timestamp("2015-01-01") + pd.to_timedelta(days, "D"))
            .strftime("%Y-%m-%d"),
            "close": np.round(walk(rng, bars, float(rng.uniform(5, 500))).astype(np.float64), 3),
            "period": periods,
            "volume": rng.integers(0, 10**6, bars),
        }))
    return pd.concat(parts, ignore_index=True)


def alone(reference, rows, by_time=True):
    """Each symbol of `rows` computed on its own by the C library, oldest bar first (rows
    of equal date in their order), as columns aligned with `rows`."""
    expected = {name: np.full(len(rows), np.nan, np.float32) for name in INDICATOR_ROUTINES}
    positions = pd.Series(np.arange(len(rows)), index=rows.index)
    for _, bars in rows.groupby("symbol", sort=False):
        if by_time:
            bars = bars.sort_values("date", kind="stable")
        prices = bars["close"].to_numpy(np.float32)
        periods = bars["period"].to_numpy(np.float32)
        where = positions[bars.index].to_numpy()
        for name, routine in INDICATOR_ROUTINES.items():
            expected[name][where] = reference(routine, prices, periods)
    return expected


ORDERS = {
    "shuffled": lambda rows, rng: rows.sample(frac=1, random_state=rng.integers(1 << 31)),
    "symbol after symbol": lambda rows, rng: rows,
    "date after date": lambda rows, rng: rows.sort_values("date", kind="stable"),
    "newest first": lambda rows, rng: rows[::-1],
}


@pytest.mark.parametrize("order", ORDERS)
@pytest.mark.parametrize("ties", [False, True])
def test_by_symbol_equals_each_symbol_alone(reference, tmp_path, order, ties):
    rng = np.random.default_rng(len(order) + ties)
    rows = ORDERS[order](long_format(21, ties=ties), rng)
    rows.to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period-column",
                 "period", "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = read_output(tmp_path / "out.csv")
    written = pd.read_csv(tmp_path / "out.csv", dtype=str, keep_default_na=False)
    given = pd.read_csv(tmp_path / "in.csv", dtype=str, keep_default_na=False)
    assert list(written.columns) == list(given.columns) + ["trend", "cycle", "model"]
    for name in ("symbol", "date", "volume"):  # the input's rows, as they were
        assert written[name].tolist() == given[name].tolist()
    assert_same_bits(out["close"].to_numpy(np.float32), rows["close"].to_numpy(np.float32))
    assert set(rows["symbol"]) >= set(ODD_TICKERS)
    for name, values in alone(reference, rows.reset_index(drop=True)).items():
        assert_same_bits(out[name].to_numpy(), values)


def test_without_time_the_rows_order_each_symbol(reference, tmp_path):
    rows = long_format(22).drop(columns="date").sample(frac=1, random_state=3)
    rows.to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period-column",
                 "period", "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = read_output(tmp_path / "out.csv")
    for name, values in alone(reference, rows.reset_index(drop=True), by_time=False).items():
        assert_same_bits(out[name].to_numpy(), values)


@pytest.mark.parametrize("threads", [1, 2, 3, 16])
def test_any_number_of_threads_gives_the_same_bits(threads):
    rows = long_format(23, symbols=60).sample(frac=1, random_state=4)
    symbols = pd.factorize(rows["symbol"])[0]
    times = pd.to_datetime(rows["date"]).to_numpy().view(np.int64)
    prices, periods = rows["close"].to_numpy(), rows["period"].to_numpy()
    one = indicators_by_series(prices, periods, symbols=symbols, times=times, threads=1)
    many = indicators_by_series(prices, periods, symbols=symbols, times=times, threads=threads)
    assert_same_bits(many, one)


def test_one_period_for_every_bar(reference, tmp_path):
    rows = long_format(24, symbols=12).sample(frac=1, random_state=5)
    rows.to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period", 7.5,
                 "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    rows = rows.reset_index(drop=True).assign(period=7.5)
    out = read_output(tmp_path / "out.csv")
    for name, values in alone(reference, rows).items():
        assert_same_bits(out[name].to_numpy(), values)


@pytest.mark.parametrize("order", ["shuffled", "date after date"])
def test_missing_prices_are_missing_bars_of_their_symbol(reference, tmp_path, order):
    rng = np.random.default_rng(31)
    rows = ORDERS[order](long_format(25, symbols=15), rng).reset_index(drop=True)
    rows.loc[rng.random(len(rows)) < 0.05, "close"] = np.nan
    rows.to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--by", "symbol", "--column", "close", "--period-column",
                 "period", "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = read_output(tmp_path / "out.csv")
    present = rows["close"].notna()
    expected = alone(reference, rows[present])
    for name, values in expected.items():
        full = np.full(len(rows), np.nan, np.float32)
        full[present.to_numpy()] = values
        assert_same_bits(out[name].to_numpy(), full)
