"""The chart's window and axes: --last, --from/--to, the default of at most 2,000 bars,
intraday series on a bar axis, epoch times as dates, --symbol, a framed legend, PDF."""

import numpy as np
import pytest

from cli_support import SAMPLE, need, run
from test_cli_chart import _ids, _svg

pd = need("pandas", "python3-pandas")
need("matplotlib", "python3-matplotlib")


def _daily(tmp_path, bars=5200):
    rng = np.random.default_rng(4)
    days = pd.bdate_range("2000-01-03", periods=bars)
    prices = 100 * np.exp(np.cumsum(rng.normal(0, 0.01, bars)))
    pd.DataFrame({"Date": days.strftime("%Y-%m-%d"), "Close": prices.round(2)}).to_csv(
        tmp_path / "daily.csv", index=False)
    return days


# (case, options, bars charted, title)
WINDOWS = [
    ("default: the newest 2,000", [], 2000, "Close, period 20, the newest 2,000 of 5,200 bars "
     "(--last, --from, --to choose others)"),
    ("--last 250", ["--last", 250], 250, "Close, period 20, the newest 250 bars"),
    ("--from and --to", ["--from", "2010-01-01", "--to", "2010-12-31"], 261,
     "Close, period 20, 2010-01-01 to 2010-12-31"),
    ("--from alone", ["--from", "2019-09-01"], None, None),
]


@pytest.mark.parametrize("case, options, points, title", WINDOWS, ids=[w[0] for w in WINDOWS])
def test_the_window_charted(tmp_path, case, options, points, title):
    days = _daily(tmp_path)
    result = run(tmp_path / "daily.csv", "--chart", tmp_path / "c.svg", "--rows", 0, *options)
    assert result.status == 0, result.err
    root, texts = _svg(tmp_path / "c.svg")
    texts = [text.replace("- -", "--") for text in texts]  # "--" is not allowed in a comment
    if title is not None:
        assert title in texts
    else:
        assert (days >= "2019-09-01").sum() < 2000
        assert any(text.startswith("Close, period 20, 2019-09-02 to") for text in texts)


def test_a_short_series_is_charted_whole_and_the_legend_is_framed(tmp_path):
    result = run(SAMPLE, "--column", "DAX", "--chart", tmp_path / "c.svg")
    assert result.status == 0, result.err
    root, texts = _svg(tmp_path / "c.svg")
    assert "DAX, period 20" in texts  # no note: every bar
    frames = [element for element in root.iter() if (element.get("id") or "").startswith(
        "legend_")]
    assert len(frames) == 2
    # a framed legend draws its box: a patch with a stroke inside each legend group
    for legend in frames:
        assert any("stroke" in (child.get("style") or "") for child in legend.iter()
                   if child.tag.endswith("path"))


def test_intraday_closed_hours_take_no_room(tmp_path):
    """Five days of 09:00-17:55 five-minute bars: drawn on a bar axis, dates and times on
    its labels, so the nights are not drawn as flat lines."""
    stamps = pd.DatetimeIndex([day + pd.Timedelta(hours=9, minutes=5 * bar)
                               for day in pd.bdate_range("2023-03-06", periods=5)
                               for bar in range(108)])
    prices = 50 + np.sin(np.arange(len(stamps)) / 9)
    pd.DataFrame({"Date": stamps.strftime("%Y-%m-%d"), "Time": stamps.strftime("%H:%M"),
                  "Close": prices.round(3)}).to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--chart", tmp_path / "c.svg", "--rows", 0)
    assert result.status == 0, result.err
    _, texts = _svg(tmp_path / "c.svg")
    assert "bars (closed hours take no room)" in texts
    assert any(text.startswith("Mar ") for text in texts)


def test_epoch_times_are_dates(tmp_path):
    seconds = 1_600_000_000 + 86_400 * np.arange(400)
    pd.DataFrame({"timestamp": seconds, "close": np.linspace(10, 20, 400)}).to_csv(
        tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--chart", tmp_path / "c.svg", "--rows", 0)
    assert result.status == 0, result.err
    _, texts = _svg(tmp_path / "c.svg")
    assert "2021" in texts and not any(text.startswith("1.6") for text in texts)


def test_symbol_chooses_the_series(tmp_path):
    rows = ["symbol,close"] + [f"{s},{100 + bar % 7 + k}" for bar in range(60)
                               for k, s in enumerate(("XY", "AB", "CD"))]
    (tmp_path / "in.csv").write_text("\n".join(rows) + "\n")
    result = run(tmp_path / "in.csv", "--by", "symbol", "--chart", tmp_path / "c.svg",
                 "--symbol", "CD", "--rows", 0)
    assert result.status == 0, result.err
    _, texts = _svg(tmp_path / "c.svg")
    assert "close of CD (one of 3 symbols), period 20" in texts
    result = run(tmp_path / "in.csv", "--by", "symbol", "--chart", tmp_path / "c.svg",
                 "--symbol", "ZZ")
    assert result.status == 2
    assert result.err == ("tessaryn: --symbol ZZ: no row of " + str(tmp_path / "in.csv")
                          + " has it in column 'symbol' (its symbols include XY, AB, CD)\n")


def test_pdf_chart(tmp_path):
    result = run(SAMPLE, "--column", "SMI", "--chart", tmp_path / "c.pdf", "--rows", 0)
    assert result.status == 0, result.err
    assert (tmp_path / "c.pdf").read_bytes().startswith(b"%PDF-")


CHART_REFUSALS = [
    (["--from", "soon"], "--from soon: not a date (write it as 2023-01-31 or 2023-01-31 "
                         "09:30)"),
    (["--from", "1990-01-01", "--to", "1990-02-01"], "--from/--to leave 0 bars of 5200 to "
     "chart: the series runs from 2000-01-03 to 2019-12-06"),
    (["--last", "1"], "argument --last: expected a whole number of bars, 2 or more: '1' (see "
                      "tessaryn --help)"),
    (["--last", "5", "--from", "2001-01-01"], "--last and --from/--to both choose the "
                                              "chart's bars: pass one"),
]


@pytest.mark.parametrize("options, message", CHART_REFUSALS, ids=[" ".join(map(str, c[0]))
                                                                  for c in CHART_REFUSALS])
def test_chart_windows_refused(tmp_path, options, message):
    _daily(tmp_path)
    result = run(tmp_path / "daily.csv", "--chart", tmp_path / "c.svg", *options)
    assert (result.status, result.err) == (2, f"tessaryn: {message}\n")
    assert not (tmp_path / "c.svg").exists()
