"""The `tessaryn` command: a CSV of prices in, the three indicators out as CSV, a table and
a chart. `tessaryn --help` describes it. Bad input, options or output paths print one line
on standard error and end with status 2, leaving every output file as it was."""

from __future__ import annotations

import argparse
import os
import signal
import sys

import numpy as np

from ._input_error import InputError

_USAGE_STATUS = 2
_MISSING_PACKAGE_STATUS = 1

_DESCRIPTION = """\
Computes the trend, the cycle and the model (trend plus cycle) of a price column in a CSV
file, oldest bar first. Bars are ordered by the time column when there is one; bars that
are not computed (the first P at a constant period P) are empty cells.

Output: a CSV with the time, the price (and the period column) and the columns trend,
cycle, model, to --output or, when neither --rows nor --chart is given, to standard
output; otherwise the last --rows rows (default 10) as a table. With --by, long-format
input (symbol, time, price rows in any order): each symbol's bars are one series,
computed on every core, and the output keeps the input's rows and columns with the three
added."""

_EPILOG = """\
examples:
  tessaryn data/eu-stock-markets.csv --column DAX --period 20 --chart dax.svg
  tessaryn prices.csv --by symbol --period-column period --output indicators.csv
  tessaryn prices.csv --by symbol --dask tcp://scheduler:8786 --output indicators.csv"""


class _Parser(argparse.ArgumentParser):
    """argparse, but a usage error is one line (argparse prints the whole usage first)."""

    def error(self, message: str):
        raise InputError(f"{message} (see tessaryn --help)")


def _parser() -> argparse.ArgumentParser:
    from . import __version__

    # No abbreviated options: --colum is a typo to report, not --column.
    parser = _Parser(prog="tessaryn", description=_DESCRIPTION, epilog=_EPILOG,
                     allow_abbrev=False, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("input", metavar="INPUT", help="CSV file, or - for standard input")
    parser.add_argument("--column", metavar="NAME",
                        help="price column (default: the only numeric column)")
    period = parser.add_mutually_exclusive_group()
    period.add_argument("--period", metavar="N", type=_number, default=20.0,
                        help="period in bars, for every bar (default: 20)")
    period.add_argument("--period-column", metavar="NAME",
                        help="column holding each bar's period (bars whose period is out of "
                             "range are empty, as in the library)")
    parser.add_argument("--time-column", metavar="NAME",
                        help="column of dates or numbers to order bars by (default: a column "
                             "named time, date, timestamp..., else the rows' order)")
    parser.add_argument("--by", metavar="NAME", help="symbol column of long-format input")
    parser.add_argument("--output", metavar="FILE.csv", help="write the CSV here")
    parser.add_argument("--chart", metavar="FILE.svg|FILE.png",
                        help="draw the price, trend, model and cycle (with --by: the first "
                             "symbol)")
    parser.add_argument("--rows", metavar="N", type=_row_count,
                        help="print the last N rows as a table (default without --output: 10)")
    parser.add_argument("--dask", metavar="ADDRESS",
                        help="with --by: compute on the Dask cluster whose scheduler is at "
                             "ADDRESS (tcp://host:8786)")
    parser.add_argument("--version", action="version", version=f"tessaryn {__version__}")
    return parser


def main(argv: list[str] | None = None) -> int:
    """Runs the command with `argv` (default: sys.argv[1:]); returns the exit status."""
    try:
        return _run(_parser().parse_args(argv))
    except InputError as error:
        print(f"tessaryn: {error}", file=sys.stderr)
        return _USAGE_STATUS
    except ImportError as error:
        print(f"tessaryn: {error.name or error} is not installed: {_package_hint(error.name)}",
              file=sys.stderr)
        return _MISSING_PACKAGE_STATUS


def run() -> None:
    """The console script: like main(), and ends quietly when a reader of its output stops
    early (head), or cleanly (output files left as they were) when it is terminated."""
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    signal.signal(signal.SIGTERM, lambda number, _: sys.exit(128 + number))
    sys.exit(main())


def _run(args: argparse.Namespace) -> int:
    from ._staged_files import StagedFiles

    _check_options(args)
    with StagedFiles() as staged:
        # Output paths are claimed first: one that cannot be written fails before any work.
        csv_file = staged.stage(args.output) if args.output else None
        chart_file = staged.stage(args.chart) if args.chart else None
        job = _Job(args)
        if csv_file:
            with open(csv_file, "w", encoding="utf-8", newline="") as handle:
                job.write_csv(handle)
        elif args.rows is None and not args.chart:
            job.write_csv(sys.stdout)
            sys.stdout.flush()
            return 0
        if chart_file:
            job.draw_chart(chart_file, args.chart)
        staged.commit()
    if args.rows is not None or not args.output:
        print(job.table(10 if args.rows is None else args.rows))
    for what, path in (("CSV", args.output), ("chart", args.chart)):
        if path:
            print(f"{what} written to {path}")
    return 0


def _check_options(args: argparse.Namespace) -> None:
    if args.chart:
        from ._chart import FORMATS

        if os.path.splitext(args.chart)[1].lower() not in FORMATS:
            raise InputError(f"--chart {args.chart}: the file must end in .svg or .png")
    if args.output and args.chart and os.path.abspath(args.output) == os.path.abspath(args.chart):
        raise InputError("--output and --chart name the same file")
    if args.dask and not args.by:
        raise InputError("--dask computes long-format input: it needs --by")


class _Job:
    """The input read and the indicators computed, ready to be written out."""

    def __init__(self, args: argparse.Namespace):
        from ._by_symbol import INDICATOR_NAMES, indicators_by_series
        from ._columns import numbers, symbol_codes, time_axis
        from ._csv_input import choose_columns, read_table

        self.frame, source = read_table(args.input, args.by)
        self.columns = choose_columns(self.frame, source, price=args.column,
                                      period=args.period_column, time=args.time_column,
                                      by=args.by)
        columns = self.columns
        kept = self.frame.columns if columns.by is not None else [columns.time, columns.price,
                                                                   columns.period]
        clashes = [name for name in INDICATOR_NAMES if name in kept]
        if clashes:
            raise InputError(f"{source} already has a column {clashes[0]!r}, a name the "
                             "output gives an indicator")
        self.prices = numbers(self.frame[columns.price], f"price column {columns.price!r}")
        self.period = args.period if columns.period is None else numbers(
            self.frame[columns.period], f"period column {columns.period!r}")
        self.symbols = None if columns.by is None else symbol_codes(
            self.frame[columns.by], f"symbol column {columns.by!r}")
        self.time = None if columns.time is None else time_axis(
            self.frame[columns.time], f"time column {columns.time!r}")
        times = None if self.time is None else self.time.keys
        if args.dask:
            from .dask import _compute_on_cluster

            self.values = _compute_on_cluster(args.dask, self.prices, self.period,
                                              self.symbols, times)
        else:
            self.values = indicators_by_series(self.prices, self.period, symbols=self.symbols,
                                               times=times, empty="marker")

    def output_columns(self):
        from ._by_symbol import INDICATOR_NAMES
        from ._csv_output import indicator_column, input_column, numbered_column

        frame, columns = self.frame, self.columns
        if columns.by is not None:
            shown = [input_column(name, frame[name]) for name in frame.columns]
        else:
            shown = [input_column(columns.time, frame[columns.time]) if columns.time
                     else numbered_column("row")]
            shown += [input_column(name, frame[name])
                      for name in (columns.price, columns.period) if name is not None]
        return shown + [indicator_column(name, values)
                        for name, values in zip(INDICATOR_NAMES, self.values)]

    def write_csv(self, handle) -> None:
        from ._csv_output import write_csv

        write_csv(handle, self.output_columns(), len(self.frame))

    def table(self, rows: int) -> str:
        from ._table_text import aligned_table

        count = len(self.frame)
        return aligned_table(self.output_columns(), max(0, count - rows), count)

    def draw_chart(self, file: str, path: str) -> None:
        """Draws the chart into `file`, in the format `path`'s extension names."""
        from ._chart import FORMATS, chart_times, draw_chart

        bars = self._charted_bars()
        values = self.values[:, bars].copy()
        values[values.view(np.uint32) == 0x7F7FC99E] = np.nan
        keys = None if self.time is None else self.time.keys[bars]
        dates = None if self.time is None or self.time.dates is None else self.time.dates[bars]
        times, time_label = chart_times(keys, dates)
        if self.columns.time and time_label:
            time_label = str(self.columns.time)
        draw_chart(file, FORMATS[os.path.splitext(path)[1].lower()], times=times,
                   time_label=time_label, prices=self.prices[bars], trend=values[0],
                   cycle=values[1], model=values[2], title=self._title(),
                   price_label=str(self.columns.price))

    def _charted_bars(self) -> np.ndarray:
        """The rows of the series drawn (with --by the first symbol's), oldest first."""
        rows = np.arange(len(self.frame)) if self.symbols is None \
            else np.flatnonzero(self.symbols == 0)
        if self.time is not None:
            rows = rows[np.argsort(self.time.keys[rows], kind="stable")]
        return rows

    def _title(self) -> str:
        columns = self.columns
        if columns.period is None:
            period = f"period {self.period:g}"
        else:
            period = f"period from column {columns.period}"
        if columns.by is None:
            return f"{columns.price}, {period}"
        symbol = self.frame[columns.by].iloc[int(np.argmax(self.symbols == 0))]
        count = int(self.symbols.max()) + 1
        of = f" (the first of {count} symbols)" if count > 1 else ""
        return f"{columns.price} of {symbol}{of}, {period}"


def _number(text: str) -> float:
    try:
        return float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None


def _row_count(text: str) -> int:
    try:
        count = int(text)
    except ValueError:
        count = -1
    if count < 0:
        raise argparse.ArgumentTypeError(f"expected a whole number of rows, 0 or more: {text!r}")
    return count


def _package_hint(name: str | None) -> str:
    packages = {"pandas": "python3-pandas", "matplotlib": "python3-matplotlib",
                "dask": "python3-dask", "distributed": "python3-distributed"}
    package = packages.get((name or "").split(".")[0])
    return f"apt-get install {package}" if package else "see the README"
