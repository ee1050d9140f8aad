"""The `tessaryn` command: a CSV of prices in, the three indicators out as CSV, a table and
a chart. `tessaryn --help` describes it. Bad input, options or output paths print one line
on standard error and end with status 2; a machine that fails the run (a full disk, a
closed stream, an unreadable file) one line and status 1; a signal one line and 128 plus
its number. Every output file is left as it was unless the run succeeds."""

from __future__ import annotations

import argparse
import math
import os
import signal
import sys

import numpy as np

from ._input_error import EnvironmentFailure, InputError, os_reason

_USAGE_STATUS = 2
_FAILURE_STATUS = 1

# Signals that would end the run: each is turned into an exception, so that the staged
# output files are removed on the way out. SIGPIPE is ignored: a reader that stops early
# (head) makes the next write fail, which ends the run as any broken stream does, with
# one line and status 1 and no temporary file left behind.
_STOPPING_SIGNALS = ("SIGHUP", "SIGINT", "SIGQUIT", "SIGTERM", "SIGUSR1", "SIGUSR2",
                     "SIGALRM", "SIGVTALRM", "SIGPROF", "SIGXCPU", "SIGXFSZ", "SIGPWR")

_DESCRIPTION = """\
Computes the trend, the cycle and the model (trend plus cycle) of a price column in a CSV
file, oldest bar first. Bars are ordered by the time column when there is one; bars that
are not computed (the first P at a constant period P) and bars without a price are empty
cells.

The file's separator, decimal mark, thousands separator, encoding, lines above its
header, time column (dates, a date and a time-of-day column, epoch numbers) and price
column (Close among several) are found from the file; options name any of them.

Output: a CSV with the time, the price (and the period column) and the columns trend,
cycle, model, to --output or, when neither --rows nor --chart is given, to standard
output; otherwise the newest --rows bars (default 10) as a table. With --by, long-format
input (symbol, time, price rows in any order): each symbol's bars are one series,
computed on every core, and the output keeps the input's rows and columns with the three
added."""

_EPILOG = """\
examples:
  tessaryn data/eu-stock-markets.csv --column DAX --period 20 --chart dax.svg
  tessaryn quotes.csv --last 250 --chart last-year.png
  tessaryn export.csv --sep ';' --decimal , --dayfirst --output indicators.csv
  tessaryn prices.csv --by symbol --period-column period --output indicators.csv
  tessaryn prices.csv --by symbol --dask tcp://scheduler:8786 --output indicators.csv"""


class _Parser(argparse.ArgumentParser):
    """argparse, but a usage error is one line (argparse prints the whole usage first)."""

    def error(self, message: str):
        raise InputError(f"{message} (see tessaryn --help)")


class _Stopped(BaseException):
    """A signal that ends the run (BaseException: no `except Exception` swallows it)."""

    def __init__(self, number: int):
        super().__init__(number)
        self.number = number


# The signal that arrived, for errors raised while it was handled inside a library (pandas'
# parser reports an interrupted read as a malformed file).
_received: list[int] = []


def _parser() -> argparse.ArgumentParser:
    from . import __version__
    from ._dialect import separator_option

    # No abbreviated options: --colum is a typo to report, not --column.
    parser = _Parser(prog="tessaryn", description=_DESCRIPTION, epilog=_EPILOG,
                     allow_abbrev=False, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("input", metavar="INPUT", help="CSV file, or - for standard input")
    parser.add_argument("--column", metavar="NAME",
                        help="price column (default: the only numeric column, else Close, "
                             "Adj Close, Last or Price in any case)")
    period = parser.add_mutually_exclusive_group()
    period.add_argument("--period", metavar="N", type=_period, default=20.0,
                        help="period in bars, for every bar: a number that rounds to 1 or "
                             "more (default: 20)")
    period.add_argument("--period-column", metavar="NAME",
                        help="column holding each bar's period (bars whose period is out of "
                             "range are empty, as in the library)")
    parser.add_argument("--time-column", metavar="NAME",
                        help="column of dates or numbers to order bars by (default: the "
                             "column whose cells are dates, joined with a column of times of "
                             "day; else one named time, date, timestamp...; else the rows' "
                             "order)")
    parser.add_argument("--dayfirst", action="store_true", default=None,
                        help="dates such as 03.04.2023 are day first (default: found from "
                             "days above 12, else day first with dots, month first with / -)")
    parser.add_argument("--by", metavar="NAME", help="symbol column of long-format input")
    parser.add_argument("--gaps", choices=("skip", "propagate"), default="skip",
                        help="skip (default): a bar without a price is left out of its "
                             "series and its cells are empty; propagate: NaN is data, as in "
                             "the C library")
    dialect = parser.add_argument_group("the file's dialect (default: found from the file)")
    dialect.add_argument("--sep", metavar="C", type=_option(separator_option),
                         help="separator: comma, semicolon, tab, pipe or one character")
    dialect.add_argument("--decimal", metavar="C", choices=(".", ","),
                         help="decimal mark: . or ,")
    dialect.add_argument("--thousands", metavar="C", type=_thousands,
                         help="thousands separator: , . ' space or none")
    dialect.add_argument("--encoding", metavar="NAME",
                         help="text encoding (default: UTF-8, UTF-16 by its byte order mark, "
                              "else Windows-1252)")
    dialect.add_argument("--output-sep", metavar="C", type=_option(separator_option),
                         help="separator of the output (default: the input's)")
    dialect.add_argument("--output-decimal", metavar="C", choices=(".", ","),
                         help="decimal mark of the output (default: the input's)")
    parser.add_argument("--output", metavar="FILE.csv",
                        help="write the CSV here (- for standard output)")
    parser.add_argument("--rows", metavar="N", type=_row_count,
                        help="print the newest N bars as a table (default without --output: "
                             "10)")
    chart = parser.add_argument_group("chart")
    chart.add_argument("--chart", metavar="FILE.svg|.png|.pdf",
                       help="draw the price, trend, model and cycle")
    chart.add_argument("--last", metavar="N", type=_bar_count,
                       help="chart the newest N bars (default: all, up to "
                            "the number the chart's width shows readably)")
    chart.add_argument("--from", dest="start", metavar="DATE",
                       help="chart the bars from this date or time on")
    chart.add_argument("--to", dest="stop", metavar="DATE",
                       help="chart the bars up to this date or time")
    chart.add_argument("--symbol", metavar="S",
                       help="with --by: the symbol to chart (default: the first)")
    parser.add_argument("--dask", metavar="ADDRESS",
                        help="with --by: compute on the Dask cluster whose scheduler is at "
                             "ADDRESS (tcp://host:8786)")
    parser.add_argument("--version", action="version", version=f"tessaryn {__version__}")
    return parser


def main(argv: list[str] | None = None) -> int:
    """Runs the command with `argv` (default: sys.argv[1:]); returns the exit status."""
    _received.clear()
    try:
        try:
            return _run(_parser().parse_args(argv))
        except _Stopped:
            raise
        except BaseException:
            if _received:  # an error a signal caused inside a library
                raise _Stopped(_received[0]) from None
            raise
    except InputError as error:
        return _fail(str(error), _USAGE_STATUS)
    except EnvironmentFailure as error:
        return _fail(str(error), _FAILURE_STATUS)
    except _Stopped as stopped:
        name = signal.Signals(stopped.number).name
        return _fail(f"stopped by {name}; no output file was changed", 128 + stopped.number)
    except KeyboardInterrupt:
        return _fail("stopped by SIGINT; no output file was changed", 128 + signal.SIGINT)
    except ImportError as error:
        return _fail(f"{error.name or error} is not installed: {_package_hint(error.name)}",
                     _FAILURE_STATUS)
    except MemoryError:
        return _fail("not enough memory for this input", _FAILURE_STATUS)
    except OSError as error:
        return _fail(f"{os_reason(error)}", _FAILURE_STATUS)
    except Exception as error:  # noqa: BLE001 - a fault of this program: still one line
        where = error.__traceback__
        while where is not None and where.tb_next is not None:
            where = where.tb_next
        place = "" if where is None else \
            f" at {os.path.basename(where.tb_frame.f_code.co_filename)}:{where.tb_lineno}"
        return _fail(f"internal error{place}: {type(error).__name__}: "
                     f"{' '.join(str(error).split())} (please report it)", _FAILURE_STATUS)


def _fail(message: str, status: int) -> int:
    try:
        print(f"tessaryn: {message}", file=sys.stderr, flush=True)
    except (OSError, ValueError, AttributeError):
        pass  # standard error is gone too: the status says it
    return status


def run() -> None:
    """The console script: like main(), and ends cleanly (output files left as they were,
    one line on standard error) when its output breaks or it is stopped."""
    signal.signal(signal.SIGPIPE, signal.SIG_IGN)
    for name in _STOPPING_SIGNALS:
        number = getattr(signal, name, None)
        if number is not None:
            signal.signal(number, _stop)
    status = main()
    try:
        if sys.stdout is not None:
            sys.stdout.flush()
    except (OSError, ValueError) as error:
        if status == 0:  # else the failure was said already
            reason = os_reason(error) if isinstance(error, OSError) else "it is closed"
            _fail(f"cannot write standard output: {reason}", _FAILURE_STATUS)
            status = _FAILURE_STATUS
        # What stays in the stream's buffer cannot be written either: leave without the
        # interpreter's attempt at flushing it, which would print a traceback.
        sys.stderr.flush()
        os._exit(status)
    sys.exit(status)


def _stop(number: int, _frame) -> None:
    if not _received:
        _received.append(number)
    raise _Stopped(number)


def _standard_output():
    if sys.stdout is None:
        raise EnvironmentFailure("cannot write standard output: it is closed")
    return sys.stdout


def _say(text: str) -> None:
    """A line (or lines) on standard output; a failure of it is the run's failure."""
    out = _standard_output()
    try:
        out.write(text + "\n")
        out.flush()
    except (OSError, ValueError) as error:
        reason = os_reason(error) if isinstance(error, OSError) else "it is closed"
        raise EnvironmentFailure(f"cannot write standard output: {reason}") from None


def _run(args: argparse.Namespace) -> int:
    from ._staged_files import StagedFiles, write_failure

    _check_options(args)
    to_stdout = args.output == "-"
    csv_path = None if to_stdout else args.output
    if to_stdout or (args.output is None and args.rows is None and not args.chart):
        to_stdout = True
        _standard_output()  # closed: fail before reading anything
    with StagedFiles() as staged:
        # Output paths are claimed first: one that cannot be written fails before any work.
        csv_file = staged.stage(csv_path) if csv_path else None
        chart_file = staged.stage(args.chart) if args.chart else None
        job = _Job(args)
        if csv_file:
            try:
                with open(csv_file, "wb") as handle:
                    job.write_csv(handle)
            except OSError as error:
                raise write_failure(csv_path, error) from None
        if to_stdout:
            job.write_csv_to_stdout()
        if chart_file:
            try:
                job.draw_chart(chart_file, args.chart)
            except OSError as error:
                raise write_failure(args.chart, error) from None
        staged.commit()
    if args.rows is not None or not (args.output or to_stdout):
        rows = 10 if args.rows is None else args.rows
        if rows:
            _say(job.table(rows))
    # A device, FIFO or /dev/stdout was written through: it may be this very stream, where
    # the line would end up inside the CSV; and after a CSV on standard output nothing
    # more is written there.
    for what, path, file in (("CSV", csv_path, csv_file), ("chart", args.chart, chart_file)):
        if path and file != path and not to_stdout:
            _say(f"{what} written to {path}")
    return 0


def _check_options(args: argparse.Namespace) -> None:
    from ._chart import FORMATS

    for option, value in (("--output", args.output), ("--chart", args.chart)):
        if value is not None and not value.strip():
            raise InputError(f"{option} needs a file name (--output - writes to standard "
                             "output)")
    if args.chart:
        if args.chart == "-" or os.path.splitext(args.chart)[1].lower() not in FORMATS:
            raise InputError(f"--chart {args.chart}: the file must end in .svg, .png or .pdf")
    if args.output == "-" and args.rows is not None:
        raise InputError("--rows prints a table on standard output, where --output - writes "
                         "the CSV: pass one of them")
    if args.output and args.chart and os.path.abspath(args.output) == os.path.abspath(args.chart):
        raise InputError("--output and --chart name the same file")
    if args.dask and not args.by:
        raise InputError("--dask computes long-format input: it needs --by")
    if args.symbol is not None and not args.by:
        raise InputError("--symbol chooses a symbol of long-format input: it needs --by")
    if not args.chart:
        for option, value in (("--last", args.last), ("--from", args.start),
                              ("--to", args.stop), ("--symbol", args.symbol)):
            if value is not None:
                raise InputError(f"{option} chooses what the chart shows: it needs --chart")
    if args.last is not None and (args.start is not None or args.stop is not None):
        raise InputError("--last and --from/--to both choose the chart's bars: pass one")
    if args.thousands is not None and args.thousands in (args.sep, args.decimal):
        raise InputError(f"--thousands {args.thousands!r} is also the separator or the "
                         "decimal mark")


class _Job:
    """The input read and the indicators computed, ready to be written out."""

    def __init__(self, args: argparse.Namespace):
        from ._by_symbol import indicators_by_series
        from ._columns import numbers, prices, symbol_codes, time_axis
        from ._csv_input import choose_columns, read_table
        from ._routines import OUTPUT_NAMES

        self.args = args
        self.frame, source, self.dialect = read_table(
            args.input, args.by, encoding=args.encoding, sep=args.sep, decimal=args.decimal,
            thousands="" if args.thousands == "none" else args.thousands)
        self.source = source
        self.columns = choose_columns(self.frame, source, price=args.column,
                                      period=args.period_column, time=args.time_column,
                                      by=args.by)
        columns = self.columns
        kept = self.frame.columns if columns.by is not None else self._own_columns()
        clashes = [name for name in OUTPUT_NAMES if name in kept]
        if clashes:
            raise InputError(f"{source} already has a column {clashes[0]!r}, a name the "
                             "output gives an indicator")
        self.prices = prices(self.frame[columns.price], f"price column {columns.price!r}")
        self.period = args.period if columns.period is None else numbers(
            self.frame[columns.period], f"period column {columns.period!r}")
        self.symbols = None if columns.by is None else symbol_codes(
            self.frame[columns.by], f"symbol column {columns.by!r}")
        self.time = None if columns.time is None else time_axis(
            self.frame[columns.time], f"time column {columns.time!r}", dayfirst=args.dayfirst,
            time_of_day=None if columns.time_of_day is None
            else self.frame[columns.time_of_day])
        if self.time is not None and self.symbols is None:
            self._times_distinct()
        times = None if self.time is None else self.time.keys
        if columns.period is None:
            self._warn_if_period_too_long()
        if args.dask:
            from .dask import _compute_on_cluster

            self.values = _compute_on_cluster(args.dask, self.prices, self.period,
                                              self.symbols, times, gaps=args.gaps)
        else:
            self.values = indicators_by_series(self.prices, self.period, symbols=self.symbols,
                                               times=times, empty="marker", gaps=args.gaps)

    def _own_columns(self) -> list:
        columns = self.columns
        return [name for name in (columns.time, columns.time_of_day, columns.price,
                                  columns.period) if name is not None]

    def _times_distinct(self) -> None:
        """Without --by every bar has its own time: a repeated one is rows of several series
        (long format) or repeated rows, either way not one series."""
        from ._csv_input import symbol_like

        keys = self.time.keys
        order = np.argsort(keys, kind="stable")
        repeats = np.flatnonzero(keys[order][1:] == keys[order][:-1])
        if not repeats.size:
            return
        first, second = sorted((int(order[repeats[0]]), int(order[repeats[0] + 1])))
        columns = self.columns
        named = columns.time if columns.time_of_day is None \
            else f"{columns.time} and {columns.time_of_day}"
        symbol = symbol_like(self.frame, columns)
        fix = (f"if each row belongs to the series of its {symbol!r}, pass --by {symbol}"
               if symbol is not None else
               "remove the repeated rows, or pass --by with the column that tells the series "
               "apart")
        raise InputError(f"{self.source}: rows {first + 1} and {second + 1} have the same time "
                         f"({self.time.text(first)}, column {named}), so they are not one "
                         f"series: {fix}")

    def _warn_if_period_too_long(self) -> None:
        period = float(np.rint(np.float32(self.period)))
        if self.symbols is None:
            bars = int(np.count_nonzero(~np.isnan(self.prices))) if self.args.gaps == "skip" \
                else len(self.prices)
            if period > bars:
                _warn(f"--period {self.args.period:g} is longer than the series ({bars} bars "
                      "with a price): every bar is empty")
            return
        longest = int(np.bincount(self.symbols).max())
        if period > longest:
            _warn(f"--period {self.args.period:g} is longer than every symbol's series (the "
                  f"longest has {longest} bars): every bar is empty")

    def output_columns(self):
        from ._csv_output import indicator_column, input_column, numbered_column
        from ._routines import OUTPUT_NAMES

        frame, columns = self.frame, self.columns
        if columns.by is not None:
            shown = [input_column(name, frame[name]) for name in frame.columns]
        else:
            own = self._own_columns()
            # Without a time column the rows are numbered, unless a column of the output
            # is named so already (its name is the user's to keep).
            shown = [] if columns.time or "row" in own else [numbered_column("row")]
            shown += [input_column(name, frame[name]) for name in own]
        return shown + [indicator_column(name, values)
                        for name, values in zip(OUTPUT_NAMES, self.values)]

    def _output_format(self) -> tuple[str, str]:
        sep = self.args.output_sep or self.dialect.sep
        decimal = self.args.output_decimal or self.dialect.decimal
        if decimal == sep:
            # 1,5 in a comma-separated file would be two cells: the point then.
            decimal = "."
        return sep, decimal

    def write_csv(self, handle) -> None:
        from ._csv_output import write_csv

        sep, decimal = self._output_format()
        write_csv(handle, self.output_columns(), len(self.frame), sep=sep, decimal=decimal)

    def write_csv_to_stdout(self) -> None:
        out = _standard_output()
        try:
            out.flush()
            if hasattr(out, "buffer"):
                self.write_csv(out.buffer)
                out.buffer.flush()
            else:  # a text stream standing in for standard output
                self.write_csv(_TextSink(out))
        except (OSError, ValueError) as error:
            reason = os_reason(error) if isinstance(error, OSError) else "it is closed"
            raise EnvironmentFailure(f"cannot write standard output: {reason}") from None

    def _time_order(self) -> np.ndarray:
        """Every row, oldest bar first (the rows' order where there is no time)."""
        count = len(self.frame)
        if self.time is None:
            return np.arange(count)
        return np.argsort(self.time.keys, kind="stable")

    def table(self, rows: int) -> str:
        """The newest `rows` bars, oldest of them first, whatever the file's order."""
        from ._table_text import aligned_table

        shown = self._time_order()[-rows:]
        columns = [column.taken(shown) for column in self.output_columns()]
        return aligned_table(columns, len(shown), self._output_format()[1])

    def draw_chart(self, file: str, path: str) -> None:
        """Draws the chart into `file`, in the format `path`'s extension names."""
        from ._chart import FORMATS, chart_times, draw_chart, window

        bars = self._charted_bars()
        keys = None if self.time is None else self.time.keys[bars]
        dates = None if self.time is None or self.time.dates is None else self.time.dates[bars]
        chosen, note = window(len(bars), dates, last=self.args.last, start=self.args.start,
                              stop=self.args.stop)
        bars = bars[chosen]
        keys = None if keys is None else keys[chosen]
        dates = None if dates is None else dates[chosen]
        values = self.values[:, bars].copy()
        from . import _core

        values[values.view(np.uint32) == _core.EMPTY_BITS] = np.nan
        times, time_label = chart_times(keys, dates)
        if self.columns.time and time_label:
            time_label = str(self.columns.time)
        draw_chart(file, FORMATS[os.path.splitext(path)[1].lower()], times=times,
                   time_label=time_label, prices=self.prices[bars], trend=values[0],
                   cycle=values[1], model=values[2], title=self._title(note),
                   price_label=str(self.columns.price))

    def _charted_symbol(self) -> int:
        if self.args.symbol is None:
            return 0
        column = self.frame[self.columns.by]
        matches = np.flatnonzero(column.to_numpy(dtype=object) == self.args.symbol)
        if not matches.size:
            sample = ", ".join(map(str, _pandas().unique(column.to_numpy(dtype=object))[:5]))
            raise InputError(f"--symbol {self.args.symbol}: no row of {self.source} has it in "
                             f"column {self.columns.by!r} (its symbols include {sample})")
        return int(self.symbols[matches[0]])

    def _charted_bars(self) -> np.ndarray:
        """The rows of the series drawn (with --by one symbol's), oldest first."""
        if self.symbols is None:
            rows = np.arange(len(self.frame))
        else:
            rows = np.flatnonzero(self.symbols == self._charted_symbol())
        if self.time is not None:
            rows = rows[np.argsort(self.time.keys[rows], kind="stable")]
        return rows

    def _title(self, note: str = "") -> str:
        columns = self.columns
        if columns.period is None:
            period = f"period {self.period:g}"
        else:
            period = f"period from column {columns.period}"
        if columns.by is None:
            return f"{columns.price}, {period}{note}"
        code = self._charted_symbol()
        symbol = self.frame[columns.by].iloc[int(np.argmax(self.symbols == code))]
        count = int(self.symbols.max()) + 1
        of = f" (the first of {count} symbols)" if count > 1 and self.args.symbol is None \
            else (f" (one of {count} symbols)" if count > 1 else "")
        return f"{columns.price} of {symbol}{of}, {period}{note}"


class _TextSink:
    """Bytes written to a text stream, as UTF-8."""

    def __init__(self, stream):
        self.stream = stream

    def write(self, data: bytes) -> None:
        self.stream.write(data.decode("utf-8"))


def _pandas():
    import pandas

    return pandas


def _warn(text: str) -> None:
    try:
        print(f"tessaryn: warning: {text}", file=sys.stderr, flush=True)
    except (OSError, ValueError, AttributeError):
        pass


def _option(convert):
    def converted(text: str):
        try:
            return convert(text)
        except ValueError as error:
            raise argparse.ArgumentTypeError(str(error)) from None

    return converted


def _thousands(text: str) -> str:
    if text.lower() == "none":
        return "none"
    if text.lower() == "space":
        return " "
    if text not in (",", ".", "'", " ", "\u00a0", "\u202f"):
        raise argparse.ArgumentTypeError(f"expected , . ' space or none: {text!r}")
    return text


def _number(text: str) -> float:
    try:
        return float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None


def _period(text: str) -> float:
    """A period for every bar: finite, and 1 or more once rounded as the library rounds it
    (to float32, then to a whole number, halves to even)."""
    value = _number(text)
    if not math.isfinite(value):
        raise argparse.ArgumentTypeError(f"a period is a number of bars, not {text!r}")
    with np.errstate(over="ignore"):
        rounded = float(np.rint(np.float32(value)))
    if not math.isfinite(rounded):
        raise argparse.ArgumentTypeError(f"{text!r} is beyond every period's range")
    if rounded < 1:
        raise argparse.ArgumentTypeError(
            f"a period is 1 bar or more, but {text} rounds to {rounded:g}")
    return value


def _row_count(text: str) -> int:
    try:
        count = int(text)
    except ValueError:
        count = -1
    if count < 0:
        raise argparse.ArgumentTypeError(f"expected a whole number of rows, 0 or more: {text!r}")
    return count


def _bar_count(text: str) -> int:
    try:
        count = int(text)
    except ValueError:
        count = 0
    if count < 2:
        raise argparse.ArgumentTypeError(f"expected a whole number of bars, 2 or more: {text!r}")
    return count


def _package_hint(name: str | None) -> str:
    packages = {"pandas": "python3-pandas", "matplotlib": "python3-matplotlib",
                "dask": "python3-dask", "distributed": "python3-distributed"}
    package = packages.get((name or "").split(".")[0])
    return f"apt-get install {package}" if package else "see the README"
