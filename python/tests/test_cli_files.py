"""Files as brokers and data vendors export them: each gives the series the user means.
Every case writes the same bars in another dialect (separator, decimal mark, thousands,
encoding, lines above the header, time columns, order) and must give the library's bits
for the bars ordered by time, in the file's own row order."""

import numpy as np
import pytest

from cli_support import need, run
from conftest import assert_same_bits, walk

pd = need("pandas", "python3-pandas")

BARS = 300
RNG = np.random.default_rng(2023)
CLOSES = np.round(walk(RNG, BARS, 1500.0).astype(np.float64), 2)
DAYS = pd.bdate_range("2022-11-01", periods=BARS)
# Intraday: 60 five-minute bars a day over 5 days.
MINUTES = pd.DatetimeIndex([day + pd.Timedelta(hours=9, minutes=5 * bar)
                            for day in pd.bdate_range("2023-03-06", periods=5)
                            for bar in range(60)])


def _number(value, decimal=".", thousands=""):
    whole, fraction = f"{value:.2f}".split(".")
    sign = "-" if whole.startswith("-") else ""
    whole = whole.lstrip("-")
    if thousands:
        groups = []
        while len(whole) > 3:
            groups.insert(0, whole[-3:])
            whole = whole[:-3]
        whole = thousands.join([whole] + groups)
    return f"{sign}{whole}{decimal}{fraction}"


def _file(*, header, cells, sep=",", newest_first=False, preamble=(), encoding="utf-8",
          bom=b"", line_end="\n"):
    """The bytes of a file: `cells(bar)` gives bar's cells; `header` the names."""
    order = range(BARS - 1, -1, -1) if newest_first else range(BARS)
    lines = list(preamble) + [sep.join(header)] + [sep.join(cells(bar)) for bar in order]
    return bom + (line_end.join(lines) + line_end).encode(encoding), list(order)


def _ohlcv(bar, decimal=".", thousands=""):
    close = CLOSES[bar]
    return [_number(close + 3, decimal, thousands), _number(close + 9, decimal, thousands),
            _number(close - 7, decimal, thousands), _number(close, decimal, thousands),
            str(1000 + bar)]


CASES = {
    "Yahoo-style OHLCV, Close by default": lambda: _file(
        header=["Date", "Open", "High", "Low", "Close", "Adj Close", "Volume"],
        cells=lambda b: [DAYS[b].strftime("%Y-%m-%d")] + _ohlcv(b)[:4]
        + [_number(CLOSES[b] * 0.98)] + [str(b)]),
    "German export: semicolons, decimal commas, thousands points, day first, newest first, "
    "Latin-1": lambda: _file(
        header=["Datum", "Eröffnung", "Hoch", "Tief", "Close", "Volumen"], sep=";",
        cells=lambda b: [DAYS[b].strftime("%d.%m.%Y")] + _ohlcv(b, ",", "."),
        newest_first=True, encoding="latin-1"),
    "French export: semicolons, decimal commas, no-break-space thousands, day-first "
    "slashes": lambda: _file(
        header=["Date", "Ouverture", "Haut", "Bas", "Clôture", "Volume"], sep=";",
        cells=lambda b: [DAYS[b].strftime("%d/%m/%Y")] + _ohlcv(b, ",", "\u00a0")),
    "Spanish names, ISO dates newest first": lambda: _file(
        header=["Fecha", "Cierre"], newest_first=True,
        cells=lambda b: [DAYS[b].strftime("%Y-%m-%d"), _number(CLOSES[b])]),
    "tabs, UTF-16 with its mark, Windows line ends": lambda: _file(
        header=["date", "close", "volume"], sep="\t", encoding="utf-16-le", bom=b"\xff\xfe",
        line_end="\r\n", cells=lambda b: [DAYS[b].strftime("%Y-%m-%d"), _number(CLOSES[b]),
                                          str(b)]),
    "pipes and thousands commas": lambda: _file(
        header=["day", "price"], sep="|",
        cells=lambda b: [DAYS[b].strftime("%m/%d/%Y"), _number(CLOSES[b], ".", ",")]),
    "comment lines and a title above the header, UTF-8 with a mark": lambda: _file(
        header=["time", "close"], bom=b"\xef\xbb\xbf",
        preamble=["# exported 2023-05-02 by the desk", "# prices in EUR", "Quotes of ACME"],
        cells=lambda b: [DAYS[b].strftime("%Y-%m-%d"), _number(CLOSES[b])]),
    "epoch milliseconds": lambda: _file(
        header=["timestamp", "open", "high", "low", "close", "volume"],
        cells=lambda b: [str(int(DAYS[b].timestamp() * 1000))] + _ohlcv(b)),
}


@pytest.mark.parametrize("case", CASES)
def test_exported_files_give_the_series_meant(reference, tmp_path, case):
    data, order = CASES[case]()
    (tmp_path / "in.csv").write_bytes(data)
    result = run(tmp_path / "in.csv", "--period", 14, "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    text = (tmp_path / "out.csv").read_text(encoding="utf-8")
    sep = ";" if "semicolons" in case else "\t" if "tabs" in case else "|" \
        if "pipes" in case else ","
    decimal = "," if "decimal commas" in case else "."
    out = pd.read_csv(tmp_path / "out.csv", sep=sep, decimal=decimal)
    assert list(out.columns)[-3:] == ["trend", "cycle", "model"]
    assert len(out) == BARS and "NaN" not in text
    expected = reference("ITrend", CLOSES.astype(np.float32), 14)
    assert_same_bits(out["trend"].to_numpy(np.float32), expected[order])


def _intraday(header, cells):
    lines = [",".join(header)] + [",".join(cells(stamp, CLOSES[bar]))
                                   for bar, stamp in enumerate(MINUTES)]
    return ("\n".join(lines) + "\n").encode()


TIME_CASES = {
    "Date and Time columns": (["Date", "Time", "Close"],
                              lambda s, c: [s.strftime("%Y-%m-%d"), s.strftime("%H:%M"), f"{c}"],
                              ["Date", "Time", "Close"]),
    "day-first date and a time with seconds": (
        ["Datum", "Zeit", "Kurs"],
        lambda s, c: [s.strftime("%d.%m.%Y"), s.strftime("%H:%M:%S"), f"{c}"],
        ["Datum", "Zeit", "Kurs"]),
    "one timestamp column": (["when", "close"],
                             lambda s, c: [s.strftime("%Y-%m-%d %H:%M:%S"), f"{c}"],
                             ["when", "close"]),
    "epoch seconds": (["time", "close"], lambda s, c: [str(int(s.timestamp())), f"{c}"],
                      ["time", "close"]),
}


@pytest.mark.parametrize("case", TIME_CASES)
@pytest.mark.parametrize("shuffled", [False, True])
def test_time_columns_order_the_bars(reference, tmp_path, case, shuffled):
    header, cells, columns = TIME_CASES[case]
    lines = _intraday(header, cells).decode().splitlines()
    order = np.arange(len(MINUTES))
    if shuffled:
        order = np.random.default_rng(5).permutation(order)
    (tmp_path / "in.csv").write_text("\n".join([lines[0]] + [lines[1 + i] for i in order])
                                     + "\n")
    result = run(tmp_path / "in.csv", "--period", 10, "--output", tmp_path / "out.csv")
    assert result.status == 0, result.err
    out = pd.read_csv(tmp_path / "out.csv", dtype={columns[0]: str})
    assert list(out.columns) == columns + ["trend", "cycle", "model"]
    expected = reference("CyclicalComponent", CLOSES[:len(MINUTES)].astype(np.float32), 10)
    assert_same_bits(out["cycle"].to_numpy(np.float32), expected[order])


def test_day_first_is_found_from_a_day_above_12_and_can_be_said(reference, tmp_path):
    """Month first fits the first rows (days 1 to 12); day 13 says they are day first."""
    days = pd.date_range("2023-01-01", periods=40)
    text = "date,close\n" + "".join(f"{d.strftime('%d/%m/%Y')},{c}\n"
                                    for d, c in zip(days, CLOSES))
    (tmp_path / "in.csv").write_text(text)
    expected = reference("ITrend", CLOSES[:40].astype(np.float32), 5)
    for arguments in ([], ["--dayfirst"]):
        result = run(tmp_path / "in.csv", "--period", 5, "--output", tmp_path / "o.csv",
                     *arguments)
        assert result.status == 0, result.err
        assert_same_bits(pd.read_csv(tmp_path / "o.csv")["trend"].to_numpy(np.float32),
                         expected)
    # No day above 12: month first by the slashes, unless --dayfirst says otherwise.
    (tmp_path / "in.csv").write_text("date,close\n02/03/2023,1\n03/02/2023,2\n")
    for arguments, oldest in (([], "02/03/2023"), (["--dayfirst"], "03/02/2023")):
        result = run(tmp_path / "in.csv", "--period", 1, "--rows", 2, *arguments)
        assert result.status == 0, result.err
        assert result.out.splitlines()[1].split()[0] == oldest


DIALECT_OPTIONS = [
    ("semicolons said", b"d;p\n1;10,5\n2;11,5\n3;12,5\n", ["--sep", "semicolon"], "12,5"),
    ("decimal comma said", b"d;p\n1;10\n2;11\n3;12,5\n", ["--decimal", ","], "12,5"),
    ("thousands said", b"d|p\n1|1.000\n2|1.100\n3|1.250\n", ["--decimal", ",", "--thousands",
                                                            "."], "1250"),
    ("thousands commas said", b"d|p\n1|1,000\n2|1,100\n3|1,250\n", ["--thousands", ","],
     "1250"),
    ("decimal commas found where thousands could be", b"d|p\n1|1,000\n2|1,100\n3|1,250\n",
     [], "1,25"),
    ("no thousands said", b"d;p\n1;1.500\n2;1.250\n3;1.125\n", ["--thousands", "none"],
     "1.125"),
    ("Latin-1 said", "d,prix\n1,10\n2,11\n3,12\n".encode("latin-1"), ["--encoding", "latin-1"],
     "12"),
    ("output in another dialect", b"d;p\n1;10,5\n2;11,5\n3;12,5\n",
     ["--output-sep", "comma", "--output-decimal", "."], "12.5"),
]


@pytest.mark.parametrize("case, data, options, last_price", DIALECT_OPTIONS,
                         ids=[c[0] for c in DIALECT_OPTIONS])
def test_dialect_options(tmp_path, case, data, options, last_price):
    (tmp_path / "in.csv").write_bytes(data)
    result = run(tmp_path / "in.csv", "--column", data.decode("latin-1").split("\n")[0][2:],
                 "--period", 2, "--output", "-", *options)
    assert result.status == 0, result.err
    last = result.out.splitlines()[-1]
    assert last.replace(";", ",").replace("|", ",").split(",")[1:2] == [last_price] or \
        last_price in last


def test_newest_first_file_shows_its_newest_bars(tmp_path):
    text = "Date,Close\n" + "".join(f"{DAYS[b].date()},{CLOSES[b]}\n"
                                    for b in range(BARS - 1, -1, -1))
    (tmp_path / "in.csv").write_text(text)
    result = run(tmp_path / "in.csv", "--rows", 4)
    assert result.status == 0, result.err
    shown = [line.split()[0] for line in result.out.splitlines()[1:]]
    assert shown == [str(DAYS[b].date()) for b in range(BARS - 4, BARS)]
    assert "-" not in result.out.splitlines()[-1].split()


def test_rows_0_prints_nothing():
    data = b"close\n" + b"".join(b"%d\n" % v for v in range(30))
    result = run("-", "--rows", 0, stdin=data)
    assert (result.status, result.out, result.err) == (0, "", "")


def test_empty_cells_are_missing_bars_and_stay_empty(reference, tmp_path):
    """One empty cell and one NaN: the series runs on without them (no NaN after)."""
    closes = CLOSES[:120].copy()
    cells = [f"{c}" for c in closes]
    cells[30], cells[71] = "", "NaN"
    text = "date,close\n" + "".join(f"{DAYS[b].date()},{cells[b]}\n" for b in range(120))
    (tmp_path / "in.csv").write_text(text)
    result = run(tmp_path / "in.csv", "--period", 8, "--output", tmp_path / "o.csv")
    assert result.status == 0, result.err
    written = (tmp_path / "o.csv").read_text().splitlines()
    assert written[31].endswith(",,,,") and written[72].endswith(",,,,")
    assert "NaN" not in "\n".join(written)
    present = np.ones(120, bool)
    present[[30, 71]] = False
    expected = np.full(120, np.nan, np.float32)
    expected[present] = reference("Tessaryn", closes[present].astype(np.float32), 8)
    out = pd.read_csv(tmp_path / "o.csv")
    assert_same_bits(out["model"].to_numpy(np.float32), expected)
    result = run(tmp_path / "in.csv", "--period", 8, "--gaps", "propagate", "--output", "-")
    propagated = pd.read_csv(__import__("io").StringIO(result.out))
    assert propagated["cycle"].isna().sum() > 60  # the C library's arithmetic: NaN runs on


LONG = "".join(f"{DAYS[b].date()},{s},{CLOSES[b] * k:.2f}\n" for b in range(50)
               for s, k in (("AAA", 1), ("BBB", 0.03), ("CCC", 2)))


REFUSALS = [
    ("long format without --by", "date,ticker,close\n" + LONG, [],
     "in.csv: rows 1 and 2 have the same time (2022-11-01, column date), so they are not one "
     "series: if each row belongs to the series of its 'ticker', pass --by ticker"),
    ("repeated rows", "date,close\n2020-01-01,1\n2020-01-02,2\n2020-01-02,2\n", [],
     "in.csv: rows 2 and 3 have the same time (2020-01-02, column date), so they are not one "
     "series: remove the repeated rows, or pass --by with the column that tells the series "
     "apart"),
    ("two columns of one name", "date,close,close\n2020-01-01,1,2\n", [],
     "in.csv has two columns named 'close' (columns 2 and 3): rename one, so that each "
     "keeps its name in the output"),
    ("NUL in a symbol", "date,symbol,close\n2020-01-01,A\0X,1\n2020-01-01,A\0Y,2\n",
     ["--by", "symbol"], "in.csv: line 2 holds a NUL byte, which no CSV cell holds (if the "
     "file is UTF-16 or UTF-32 text, pass --encoding)"),
    ("NUL in a number", "close\n12\0 34\n", [], "in.csv: line 2 holds a NUL byte, which no "
     "CSV cell holds (if the file is UTF-16 or UTF-32 text, pass --encoding)"),
    ("NUL in the header", "clo\0se\n1\n", [], "in.csv: line 1 holds a NUL byte, which no CSV "
     "cell holds (if the file is UTF-16 or UTF-32 text, pass --encoding)"),
    ("a price beyond float32", "close\n1\n1e400\n", [],
     "price column 'close': row 2 holds '1e400', beyond the range of prices (float32, up to "
     "3.4E+38)"),
    ("a negative price beyond float32", "close\n1\n-1e400\n", [],
     "price column 'close': row 2 holds '-inf', beyond the range of prices (float32, up to "
     "3.4E+38)"),
    ("a price beyond float32, not infinite", "close\n1\n1e39\n", [],
     "price column 'close': row 2 holds '1e+39', beyond the range of prices (float32, up to "
     "3.4E+38)"),
    ("both decimal marks", "a;b\n1,5;2.5\n", [],
     "in.csv writes numbers both with a decimal comma (1,5) and a decimal point (1.5): pass "
     "--decimal , or --decimal . (and --thousands if one of them separates thousands)"),
    ("not day first after all", "date,close\n13/01/2023,1\n01/14/2023,2\n", [],
     "time column 'date': row 2 holds '01/14/2023', neither a number nor a date"),
    ("month first said wrongly", "date,close\n01/02/2023,1\n01/13/2023,2\n", ["--dayfirst"],
     "time column 'date': row 2 holds '01/13/2023', neither a number nor a date"),
    ("unknown encoding", "close\n1\n", ["--encoding", "klingon"],
     "--encoding klingon: not an encoding Python knows (utf-8, utf-16, cp1252, latin-1, ...)"),
    ("UTF-16 without its mark", "close\n1\n".encode("utf-16-le").decode("latin-1"), [],
     "in.csv looks like UTF-16 text without a byte order mark: pass --encoding utf-16-le (or "
     "utf-16-be)"),
] + [(f"--period {text}", "close\n1\n2\n", ["--period", text], message) for text, message in [
    ("0", "argument --period: a period is 1 bar or more, but 0 rounds to 0"),
    ("-3", "argument --period: a period is 1 bar or more, but -3 rounds to -3"),
    ("0.5", "argument --period: a period is 1 bar or more, but 0.5 rounds to 0"),
    ("nan", "argument --period: a period is a number of bars, not 'nan'"),
    ("inf", "argument --period: a period is a number of bars, not 'inf'"),
    ("1e39", "argument --period: '1e39' is beyond every period's range"),
]] + [
    ("--output ''", "close\n1\n", ["--output", ""],
     "--output needs a file name (--output - writes to standard output)"),
    ("--symbol without --by", "close\n1\n", ["--symbol", "A", "--chart", "c.svg"],
     "--symbol chooses a symbol of long-format input: it needs --by"),
    ("--last without a chart", "close\n1\n", ["--last", "5"],
     "--last chooses what the chart shows: it needs --chart"),
    ("a table and the CSV on standard output", "close\n1\n", ["--output", "-", "--rows", "3"],
     "--rows prints a table on standard output, where --output - writes the CSV: pass one of "
     "them"),
]


@pytest.mark.parametrize("case, text, options, message", REFUSALS, ids=[c[0] for c in REFUSALS])
def test_refusals_name_the_cause_and_the_fix(tmp_path, monkeypatch, case, text, options,
                                            message):
    (tmp_path / "in.csv").write_bytes(text.encode("latin-1"))
    monkeypatch.chdir(tmp_path)
    if "--period" in options:
        message += " (see tessaryn --help)"
    result = run("in.csv", *options)
    assert (result.status, result.out) == (2, "")
    assert result.err == f"tessaryn: {message}\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["in.csv"]


def test_a_period_longer_than_the_series_warns(tmp_path):
    (tmp_path / "in.csv").write_text("close\n1\n2\n3\n")
    result = run(tmp_path / "in.csv", "--period", "1e9", "--output", "-")
    assert result.status == 0
    assert result.err == ("tessaryn: warning: --period 1e+09 is longer than the series (3 bars "
                          "with a price): every bar is empty\n")


def test_the_column_named_row_keeps_its_name(tmp_path):
    (tmp_path / "in.csv").write_text("row\n5\n6\n7\n")
    result = run(tmp_path / "in.csv", "--period", 2, "--output", "-")
    assert result.status == 0, result.err
    assert result.out.splitlines()[0] == "row,trend,cycle,model"


def test_integers_above_2_to_53_are_rounded_once(tmp_path):
    import tessaryn

    big = [2**60 + 2**36 + 1, 2**60 + 3 * 2**36 + 1, 2**60 + 5 * 2**36 + 1]
    (tmp_path / "in.csv").write_text("close\n" + "".join(f"{v}\n" for v in big))
    result = run(tmp_path / "in.csv", "--period", 1, "--output", "-")
    out = pd.read_csv(__import__("io").StringIO(result.out))
    expected = tessaryn.itrend(np.array(big, np.int64), 1)
    assert_same_bits(out["trend"].to_numpy(np.float64).astype(np.float32), expected)


def test_standard_output_holds_the_csv_alone(tmp_path):
    (tmp_path / "in.csv").write_text("close\n" + "".join(f"{v}\n" for v in range(40)))
    result = run(tmp_path / "in.csv", "--output", "-", "--chart", tmp_path / "c.svg")
    assert result.status == 0, result.err
    lines = result.out.splitlines()
    assert lines[0] == "row,close,trend,cycle,model" and len(lines) == 41
    assert (tmp_path / "c.svg").exists()
