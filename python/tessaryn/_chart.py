"""The chart of one series: the price with trend and model above, the cycle below with its
zero line, dates along the time axis. Drawn with matplotlib's Agg backend (no display),
SVG, PNG or PDF by the file's extension.

The figure is 1,100 pixels wide, about 1,000 of them the plot: more than _READABLE_BARS
bars (two a pixel) merge into one band, so a longer series is charted over its newest
_READABLE_BARS bars unless --last or --from/--to choose the window, and the title says so.
Intraday series are drawn on a bar axis labelled with dates, so that the hours a market
is closed take no room."""

from __future__ import annotations

import numpy as np

#: File extensions and the formats they are written in.
FORMATS = {".svg": "svg", ".png": "png", ".pdf": "pdf"}
_READABLE_BARS = 2000

_PRICE, _TREND, _MODEL, _CYCLE = "#7f7f7f", "#1f77b4", "#d62728", "#2ca02c"
# Decimal years (1991.4962) are taken for dates when every time lies in this range.
_YEARS = (1000.0, 3000.0)


def chart_times(keys: np.ndarray | None, dates: np.ndarray | None):
    """What goes along the time axis, and its label: dates, decimal years as dates, other
    numbers as they are, or bar numbers from 1 when there is no time."""
    if dates is not None:
        return dates, None
    if keys is None:
        return None, "bar"
    keys = np.asarray(keys, dtype=np.float64)
    if keys.size and _YEARS[0] <= keys.min() and keys.max() < _YEARS[1]:
        return _decimal_years(keys), None
    return keys, "time"


def window(count: int, dates: np.ndarray | None, *, last: int | None, start: str | None,
           stop: str | None) -> tuple[np.ndarray, str]:
    """The bars charted out of `count` (oldest first, dates beside them where there are
    any), and what the title adds to say which they are."""
    from ._input_error import InputError

    bars = np.arange(count)
    if start is not None or stop is not None:
        if dates is None:
            raise InputError("--from and --to choose bars by their dates: the input has no "
                             "time column of dates (use --last)")
        keep = np.ones(count, dtype=bool)
        for option, text, after in (("--from", start, True), ("--to", stop, False)):
            if text is None:
                continue
            moment = _moment(option, text)
            keep &= (dates >= moment) if after else (dates <= _end_of(text, moment))
        chosen = bars[keep]
        if chosen.size < 2:
            raise InputError(f"--from/--to leave {chosen.size} bars of {count} to chart: "
                             f"the series runs from {_day(dates[0])} to {_day(dates[-1])}")
        return chosen, f", {_day(dates[chosen[0]])} to {_day(dates[chosen[-1]])}"
    if last is not None:
        return bars[-last:], (f", the newest {min(last, count):,} bars" if last < count else "")
    if count > _READABLE_BARS:
        return bars[-_READABLE_BARS:], (f", the newest {_READABLE_BARS:,} of {count:,} bars "
                                        "(--last, --from, --to choose others)")
    return bars, ""


def _moment(option: str, text: str) -> np.datetime64:
    import pandas as pd

    from ._input_error import InputError

    try:
        moment = pd.Timestamp(text)
    except (ValueError, TypeError):
        raise InputError(f"{option} {text}: not a date (write it as 2023-01-31 or "
                         "2023-01-31 09:30)") from None
    if moment.tzinfo is not None:
        moment = moment.tz_convert(None)
    return np.datetime64(moment.to_datetime64(), "ns")


def _end_of(text: str, moment: np.datetime64) -> np.datetime64:
    """--to 2023-01-31 takes the whole of that day."""
    if len(text.strip()) <= 10:
        return moment + np.timedelta64(1, "D") - np.timedelta64(1, "ns")
    return moment


def _day(date) -> str:
    import pandas as pd

    return str(pd.Timestamp(date)).removesuffix(" 00:00:00")


def _intraday_with_closed_hours(times) -> bool:
    """Dates less than a day apart with pauses (nights, weekends) much longer than a bar."""
    if times is None or not np.issubdtype(np.asarray(times).dtype, np.datetime64) \
            or len(times) < 3:
        return False
    steps = np.diff(np.asarray(times, dtype="datetime64[ns]").view(np.int64))
    typical = np.median(steps)
    day = 86_400 * 10**9
    return 0 < typical < day and steps.max() > 10 * typical


def draw_chart(file, file_format: str, *, times, time_label: str | None, prices: np.ndarray,
               trend: np.ndarray, cycle: np.ndarray, model: np.ndarray, title: str,
               price_label: str) -> None:
    """Writes the chart to `file` (a path or binary file). `times` is None for bar numbers;
    indicator values are NaN where a bar is not computed (gaps in the lines)."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    dates_on_bars = None
    if _intraday_with_closed_hours(times):
        dates_on_bars, times = np.asarray(times), np.arange(len(prices))
    if times is None:
        times = np.arange(1, len(prices) + 1)
    figure = Figure(figsize=(11, 6.5), dpi=100, layout="constrained")
    FigureCanvasAgg(figure)
    upper, lower = figure.subplots(2, 1, sharex=True, height_ratios=[2.2, 1])
    # The trend drawn last, over the model that swings around it.
    price_line = upper.plot(times, prices, color=_PRICE, linewidth=0.8, label=price_label)
    model_line = upper.plot(times, model, color=_MODEL, linewidth=0.8,
                            label="model (trend + cycle)")
    trend_line = upper.plot(times, trend, color=_TREND, linewidth=1.5, label="trend")
    upper.set_ylabel("price")
    upper.set_title(title)
    upper.legend(handles=price_line + trend_line + model_line, loc="upper left", frameon=True,
                 framealpha=0.9, edgecolor="#bfbfbf")
    upper.grid(True, color="#e5e5e5", linewidth=0.6)
    lower.axhline(0.0, color="black", linewidth=0.7)
    lower.plot(times, cycle, color=_CYCLE, linewidth=0.9, label="cycle")
    lower.set_ylabel("cycle")
    lower.legend(loc="upper left", frameon=True, framealpha=0.9, edgecolor="#bfbfbf")
    lower.grid(True, color="#e5e5e5", linewidth=0.6)
    if dates_on_bars is not None:
        _label_bars_with_dates(lower, dates_on_bars)
        _mark_sessions([upper, lower], dates_on_bars)
    elif np.issubdtype(np.asarray(times).dtype, np.datetime64):
        import matplotlib.dates as dates

        locator = dates.AutoDateLocator()
        lower.xaxis.set_major_locator(locator)
        lower.xaxis.set_major_formatter(dates.ConciseDateFormatter(locator))
    elif time_label:
        lower.set_xlabel(time_label)
    lower.set_xlim(times[0], times[-1])
    # No date or random ids in the SVG: the same input gives the same file.
    metadata = {"svg": {"Date": None}, "png": {"Software": None},
                "pdf": {"CreationDate": None}}[file_format]
    with _svg_ids_fixed():
        figure.savefig(file, format=file_format, metadata=metadata)


def _label_bars_with_dates(axis, dates: np.ndarray) -> None:
    """Bar numbers along the axis, labelled with their bars' dates and times."""
    import pandas as pd
    from matplotlib.ticker import FuncFormatter, MaxNLocator

    stamps = pd.DatetimeIndex(dates)
    days = stamps.normalize()
    several_days = days[0] != days[-1]

    def label(position, _):
        bar = int(round(position))
        if not 0 <= bar < len(stamps):
            return ""
        stamp = stamps[bar]
        return stamp.strftime("%b %d\n%H:%M" if several_days else "%H:%M")

    axis.xaxis.set_major_locator(MaxNLocator(nbins=8, integer=True))
    axis.xaxis.set_major_formatter(FuncFormatter(label))
    axis.set_xlabel("bars (closed hours take no room)")


def _mark_sessions(axes, dates: np.ndarray) -> None:
    """A faint line where each day's bars begin, up to 60 days (more would be a hatch)."""
    days = np.asarray(dates, dtype="datetime64[D]")
    starts = np.flatnonzero(days[1:] != days[:-1]) + 1
    if len(starts) > 60:
        return
    for axis in axes:
        for start in starts.tolist():
            axis.axvline(start - 0.5, color="#c8c8c8", linewidth=0.6, zorder=0)


def _decimal_years(years: np.ndarray) -> np.ndarray:
    """1991.5 -> the moment half way through 1991 (datetime64[s])."""
    whole = np.floor(years)
    start = (whole - 1970).astype(np.int64).astype("datetime64[Y]").astype("datetime64[s]")
    end = (whole - 1969).astype(np.int64).astype("datetime64[Y]").astype("datetime64[s]")
    length = (end - start).astype(np.float64)
    return start + np.rint((years - whole) * length).astype("timedelta64[s]")


class _svg_ids_fixed:
    """matplotlib's SVG ids come from a hash salted at random unless svg.hashsalt is set."""

    def __enter__(self):
        import matplotlib

        self._saved = matplotlib.rcParams["svg.hashsalt"]
        matplotlib.rcParams["svg.hashsalt"] = "tessaryn"

    def __exit__(self, *_):
        import matplotlib

        matplotlib.rcParams["svg.hashsalt"] = self._saved
