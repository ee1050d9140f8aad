"""The command's values are the library's bits: on the sample data, with a period column,
read from standard input, with bars out of time order; and its output's shape: columns,
the defaults it picks, the table."""

import os
import subprocess
import sys

import numpy as np
import pytest

import tessaryn
from cli_support import ROOT, SAMPLE, need, read_output, run, sample_column
from conftest import INDICATOR_ROUTINES, assert_same_bits

pd = need("pandas", "python3-pandas")


def _expected(reference, prices, periods):
    return {name: reference(routine, prices, periods)
            for name, routine in INDICATOR_ROUTINES.items()}


def _assert_values(frame, expected):
    for name, values in expected.items():
        assert_same_bits(frame[name].to_numpy(), values)


@pytest.mark.parametrize("column, period", [("DAX", 20), ("SMI", 14), ("FTSE", 2.5),
                                            ("CAC", 1), ("DAX", 1860), ("DAX", 1.5)])
def test_sample_equals_the_library(reference, tmp_path, column, period):
    output = tmp_path / "out.csv"
    result = run(SAMPLE, "--column", column, "--period", period, "--output", output)
    assert (result.status, result.err) == (0, "")
    assert result.out == f"CSV written to {output}\n"
    frame = read_output(output)
    assert list(frame.columns) == ["time", column, "trend", "cycle", "model"]
    prices = sample_column(column)
    assert_same_bits(frame[column].to_numpy(np.float32), prices)
    _assert_values(frame, _expected(reference, prices, np.float32(period)))


def test_csv_on_standard_output_and_input(reference):
    data = SAMPLE.read_bytes()
    result = run("-", "--column", "SMI", "--period", "30", stdin=data)
    assert result.status == 0
    _assert_values(read_output(result.out),
                   _expected(reference, sample_column("SMI"), np.float32(30)))


def test_empty_bars_are_empty_cells(tmp_path):
    result = run(SAMPLE, "--column", "DAX", "--period", "3", "--output", tmp_path / "o.csv")
    assert result.status == 0
    lines = (tmp_path / "o.csv").read_text().splitlines()
    assert lines[1:4] == ["1991.4962,1628.75,,,", "1991.5,1613.63,,,", "1991.5038,1606.51,,,"]
    assert lines[4].count(",,") == 0


def _periods(rng, count):
    """Periods in halves, with values out of contract among them (their bars are empty)."""
    periods = (rng.integers(1, 80, count) / 2).astype(object)
    periods[rng.integers(0, count, 30)] = ""            # no period: an empty bar
    periods[rng.integers(0, count, 10)] = -4
    periods[rng.integers(0, count, 10)] = "NaN"
    periods[rng.integers(0, count, 10)] = 3e9
    return periods


def test_period_column(reference, tmp_path):
    rng = np.random.default_rng(12)
    prices = sample_column("CAC")
    periods = _periods(rng, len(prices))
    source = tmp_path / "in.csv"
    pd.DataFrame({"date": pd.date_range("2001-01-01", periods=len(prices)).strftime("%Y-%m-%d"),
                  "close": prices, "p": periods}).to_csv(source, index=False)
    result = run(source, "--period-column", "p", "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    frame = read_output(tmp_path / "out.csv")
    assert list(frame.columns) == ["date", "close", "p", "trend", "cycle", "model"]
    expected_periods = pd.to_numeric(pd.Series(periods), errors="coerce").to_numpy(np.float32)
    _assert_values(frame, _expected(reference, prices, expected_periods))


@pytest.mark.parametrize("times", ["dates", "decimal years", "numbers"])
def test_bars_are_ordered_by_time_and_rows_kept(reference, tmp_path, times):
    """Newest first in the file: the bars are computed oldest first, the rows stay put."""
    prices = sample_column("DAX")
    stamps = {"dates": pd.date_range("1991-07-01", periods=len(prices), freq="B")
              .strftime("%d %b %Y"),
              "decimal years": np.genfromtxt(SAMPLE, delimiter=",", skip_header=1)[:, 0],
              "numbers": np.arange(len(prices)) * 7 - 1000}[times]
    frame = pd.DataFrame({"Timestamp": stamps, "price": prices})[::-1]
    frame.to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--period", 20, "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = read_output(tmp_path / "out.csv")
    assert out["Timestamp"].astype(str).tolist() == frame["Timestamp"].astype(str).tolist()
    expected = _expected(reference, prices, np.float32(20))
    _assert_values(out, {name: values[::-1] for name, values in expected.items()})


def test_without_time_the_rows_order_bars(reference, tmp_path):
    prices = sample_column("FTSE")[:300]
    pd.DataFrame({"close": prices}).to_csv(tmp_path / "in.csv", index=False)
    result = run(tmp_path / "in.csv", "--period", 9, "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = read_output(tmp_path / "out.csv")
    assert list(out.columns) == ["row", "close", "trend", "cycle", "model"]
    assert out["row"].tolist() == list(range(1, 301))
    _assert_values(out, _expected(reference, prices, np.float32(9)))


def test_table_of_the_last_rows():
    result = run(SAMPLE, "--column", "DAX", "--rows", 3)
    assert result.status == 0
    lines = result.out.splitlines()
    assert lines[0].split() == ["time", "DAX", "trend", "cycle", "model"]
    assert lines[1].split() == ["1998.6385", "5386.94", "5485.4707", "-192.80588", "5292.6646"]
    assert len(lines) == 4 and len({len(line) for line in lines}) == 1  # aligned


def test_table_shows_empty_bars_as_dashes():
    data = b"price\n" + b"\n".join(b"%d" % value for value in range(1, 6)) + b"\n"
    result = run("-", "--period", 4, "--rows", 5, stdin=data)
    assert [line.split() for line in result.out.splitlines()][1:4] == [
        ["1", "1", "-", "-", "-"], ["2", "2", "-", "-", "-"], ["3", "3", "-", "-", "-"]]


def test_python_m_tessaryn(reference, tmp_path):
    """The module runs as a program in a fresh interpreter, as the README shows."""
    done = subprocess.run([sys.executable, "-m", "tessaryn", str(SAMPLE), "--column", "DAX"],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    _assert_values(read_output(done.stdout),
                   _expected(reference, sample_column("DAX"), np.float32(20)))


def test_readme_first_line_runs_the_main_job():
    """The README's first command, past installing and building: the command on the sample,
    the table and the chart, from the release build (the only one its path names)."""
    first = (ROOT / "README.md").read_text().split("```sh\n", 1)[1].splitlines()[0]
    build = "bash tools/install-deps && cmake --preset release && cmake --build build/release && "
    assert first.startswith(build)
    command = first[len(build):].split("#")[0].strip()
    package = os.path.dirname(os.path.dirname(os.path.abspath(tessaryn.__file__)))
    if os.path.realpath(package) != os.path.realpath(ROOT / "build" / "release" / "python"):
        pytest.skip("runs the release build's package only")
    environment = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    done = subprocess.run(["bash", "-c", command], cwd=ROOT, env=environment,
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].split() == ["time", "DAX", "trend", "cycle", "model"]
    assert lines[-1] == "chart written to build/dax-chart.svg" and len(lines) == 12
    assert (ROOT / "build" / "dax-chart.svg").read_bytes().startswith(b"<?xml")
