"""Bad input, options and output paths: one line on standard error naming what is wrong,
exit status 2, and no file written or changed, not even partly."""

import os

import pytest

from cli_support import need, run

need("pandas", "python3-pandas")

GOOD = b"date,close,p,symbol\n2020-01-01,10,3,A\n2020-01-02,11,3,A\n2020-01-03,12,3,B\n"

# (case, input files, arguments, what the line must say). Arguments name files in a fresh
# folder holding the input files and an old out.csv and chart.svg.
CASES = [
    ("missing file", {}, ["nowhere.csv"], "cannot read nowhere.csv: No such file or directory"),
    ("folder as input", {}, ["."], "cannot read .: Is a directory"),
    ("empty file", {"in.csv": b""}, ["in.csv"], "in.csv is empty"),
    ("header only", {"in.csv": b"date,close\n"}, ["in.csv"], "in.csv has no rows below its header"),
    ("not text", {"in.csv": b"price\n\x81\x82\x00\x00\x91\n"}, ["in.csv"],
     "in.csv: line 2 holds a NUL byte, which no CSV cell holds (if the file is UTF-16 or "
     "UTF-32 text, pass --encoding)"),
    ("a UTF-16 mark on what is not", {"in.csv": b"\xff\xfe\x00price\n\x81\x82\n\x00"},
     ["in.csv"], "in.csv starts with a UTF-16 byte order mark but is not UTF-16 text: pass "
     "--encoding"),
    ("row longer than the header", {"in.csv": b"a,b\n1,2,3\n4,5\n"}, ["in.csv", "--column", "b"],
     "in.csv has rows with more cells than its header (read as comma-separated: pass --sep "
     "if the file uses another separator)"),
    ("rows of different lengths", {"in.csv": b"a,b\n1,2\n4,5,6\n"}, ["in.csv", "--column", "b"],
     "in.csv is not a CSV table: Expected 2 fields in line 3, saw 3 (read as comma-separated: "
     "pass --sep if the file uses another separator)"),
    ("unknown price column", {"in.csv": GOOD}, ["in.csv", "--column", "Close"],
     "in.csv has no column 'Close' (--column); its columns are date, close, p, symbol"),
    ("unknown period column", {"in.csv": GOOD}, ["in.csv", "--period-column", "period"],
     "in.csv has no column 'period' (--period-column); its columns are date, close, p, symbol"),
    ("unknown time column", {"in.csv": GOOD}, ["in.csv", "--time-column", "t"],
     "in.csv has no column 't' (--time-column); its columns are date, close, p, symbol"),
    ("unknown symbol column", {"in.csv": GOOD}, ["in.csv", "--by", "ticker"],
     "in.csv has no column 'ticker' (--by); its columns are date, close, p, symbol"),
    ("several numeric columns, none named like a price",
     {"in.csv": b"date,open,p\n2020-01-01,10,3\n2020-01-02,11,3\n"}, ["in.csv"],
     "in.csv has several numeric columns (open, p): name the price column with --column"),
    ("no numeric column", {"in.csv": b"date,name,note\n2020-01-01,a,b\n"}, ["in.csv"],
     "in.csv has no numeric column to take as the price: name it with --column; its columns "
     "are date, name, note"),
    ("text in the price column", {"in.csv": b"date,close\n2020-01-01,10\n2020-01-02,1O.5\n"},
     ["in.csv"], "price column 'close': row 2 holds '1O.5', not a number"),
    ("text in the period column", {"in.csv": b"close,p\n10,3\n11,3\n12,three\n"},
     ["in.csv", "--column", "close", "--period-column", "p"],
     "period column 'p': row 3 holds 'three', not a number"),
    ("a time that is not one", {"in.csv": b"date,close\n2020-01-01,10\nyesterday,11\n"},
     ["in.csv"], "time column 'date': row 2 holds 'yesterday', neither a number nor a date"),
    ("a row without time", {"in.csv": b"time,close\n1,10\n,11\n3,12\n"}, ["in.csv"],
     "time column 'time': row 2 is empty"),
    ("a row without symbol", {"in.csv": b"symbol,close\nA,10\nA,11\n,12\n"},
     ["in.csv", "--by", "symbol"], "symbol column 'symbol': row 3 is empty"),
    ("input holds an indicator's name", {"in.csv": b"close,trend\n1,2\n"},
     ["in.csv", "--column", "close", "--by", "trend"],
     "in.csv already has a column 'trend', a name the output gives an indicator"),
    ("one column in two roles", {"in.csv": GOOD}, ["in.csv", "--column", "close", "--by", "close"],
     "column 'close' is both --column and --by"),
    ("output folder missing", {"in.csv": GOOD}, ["in.csv", "--column", "close", "--output",
                                                  "no/such/folder/out.csv"],
     "cannot write no/such/folder/out.csv: No such file or directory"),
    ("output is a folder", {"in.csv": GOOD}, ["in.csv", "--column", "close", "--output", "."],
     "cannot write .: it is a folder"),
    ("chart folder missing: the CSV is not written either", {"in.csv": GOOD},
     ["in.csv", "--column", "close", "--output", "out.csv", "--chart", "no/chart.svg"],
     "cannot write no/chart.svg: No such file or directory"),
    ("bad input with outputs asked for", {"in.csv": b"close\n1\nx\n"},
     ["in.csv", "--output", "out.csv", "--chart", "chart.svg"],
     "price column 'close': row 2 holds 'x', not a number"),
    ("chart format", {"in.csv": GOOD}, ["in.csv", "--column", "close", "--chart", "chart.gif"],
     "--chart chart.gif: the file must end in .svg, .png or .pdf"),
    ("one file for both outputs", {"in.csv": GOOD},
     ["in.csv", "--column", "close", "--output", "x.svg", "--chart", "x.svg"],
     "--output and --chart name the same file"),
    ("dask without symbols", {"in.csv": GOOD}, ["in.csv", "--column", "close", "--dask", "x:1"],
     "--dask computes long-format input: it needs --by"),
    ("period not a number", {"in.csv": GOOD}, ["in.csv", "--period", "twenty"],
     "argument --period: not a number: 'twenty' (see tessaryn --help)"),
    ("two periods", {"in.csv": GOOD}, ["in.csv", "--period", "3", "--period-column", "p"],
     "argument --period-column: not allowed with argument --period (see tessaryn --help)"),
    ("negative rows", {"in.csv": GOOD}, ["in.csv", "--rows", "-2"],
     "argument --rows: expected a whole number of rows, 0 or more: '-2' (see tessaryn --help)"),
    ("unknown option", {"in.csv": GOOD}, ["in.csv", "--colum", "close"],
     "unrecognized arguments: --colum close (see tessaryn --help)"),
    ("no input", {}, [], "the following arguments are required: INPUT (see tessaryn --help)"),
]

OLD = {"out.csv": b"old output\n", "chart.svg": b"<svg>old chart</svg>\n"}


def _folder(path):
    return {name: (path / name).read_bytes() for name in sorted(os.listdir(path))
            if (path / name).is_file()}


@pytest.mark.parametrize("case, files, arguments, message", CASES, ids=[c[0] for c in CASES])
def test_bad_input(tmp_path, monkeypatch, case, files, arguments, message):
    for name, data in {**OLD, **files}.items():
        (tmp_path / name).write_bytes(data)
    before = _folder(tmp_path)
    monkeypatch.chdir(tmp_path)
    result = run(*arguments)
    assert result.status == 2
    assert result.err == f"tessaryn: {message}\n"
    assert result.out == ""
    assert _folder(tmp_path) == before  # nothing new, nothing changed


def test_bad_input_on_standard_input(tmp_path):
    result = run("-", "--output", tmp_path / "out.csv", stdin=b"")
    assert (result.status, result.err) == (2, "tessaryn: standard input is empty\n")
    assert os.listdir(tmp_path) == []


def test_interrupted_write_leaves_the_old_file(tmp_path, monkeypatch):
    """A run stopped half way through writing leaves the old output and no other file."""
    import tessaryn._csv_output as csv_output

    real = csv_output.write_csv

    def write_then_stop(handle, columns, rows, **dialect):
        real(handle, columns, rows // 2, **dialect)
        handle.flush()
        raise KeyboardInterrupt

    monkeypatch.setattr(csv_output, "write_csv", write_then_stop)
    (tmp_path / "in.csv").write_bytes(b"close\n" + b"1\n" * 1000)
    (tmp_path / "out.csv").write_bytes(OLD["out.csv"])
    result = run(tmp_path / "in.csv", "--output", tmp_path / "out.csv")
    assert (result.status, result.out) == (130, "")  # Ctrl-C: 128 + SIGINT, one line
    assert result.err == "tessaryn: stopped by SIGINT; no output file was changed\n"
    assert sorted(os.listdir(tmp_path)) == ["in.csv", "out.csv"]  # no partial file left
    assert (tmp_path / "out.csv").read_bytes() == OLD["out.csv"]


def test_replaced_output_gets_the_permissions_of_a_new_file(tmp_path):
    (tmp_path / "in.csv").write_bytes(b"close\n1\n2\n")
    umask = os.umask(0o022)
    try:
        assert run(tmp_path / "in.csv", "--output", tmp_path / "out.csv").status == 0
    finally:
        os.umask(umask)
    assert (tmp_path / "out.csv").stat().st_mode & 0o777 == 0o644
