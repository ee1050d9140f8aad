"""The chart of one series: the price with trend and model above, the cycle below with its
zero line, dates along the time axis. Drawn with matplotlib's Agg backend (no display),
SVG or PNG by the file's extension."""

from __future__ import annotations

import numpy as np

#: File extensions and the formats they are written in.
FORMATS = {".svg": "svg", ".png": "png"}

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


def draw_chart(file, file_format: str, *, times, time_label: str | None, prices: np.ndarray,
               trend: np.ndarray, cycle: np.ndarray, model: np.ndarray, title: str,
               price_label: str) -> None:
    """Writes the chart to `file` (a path or binary file). `times` is None for bar numbers;
    indicator values are NaN where a bar is not computed (gaps in the lines)."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

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
    upper.legend(handles=price_line + trend_line + model_line, loc="upper left", frameon=False)
    upper.grid(True, color="#e5e5e5", linewidth=0.6)
    lower.axhline(0.0, color="black", linewidth=0.7)
    lower.plot(times, cycle, color=_CYCLE, linewidth=0.9, label="cycle")
    lower.set_ylabel("cycle")
    lower.legend(loc="upper left", frameon=False)
    lower.grid(True, color="#e5e5e5", linewidth=0.6)
    if np.issubdtype(np.asarray(times).dtype, np.datetime64):
        import matplotlib.dates as dates

        locator = dates.AutoDateLocator()
        lower.xaxis.set_major_locator(locator)
        lower.xaxis.set_major_formatter(dates.ConciseDateFormatter(locator))
    elif time_label:
        lower.set_xlabel(time_label)
    lower.set_xlim(times[0], times[-1])
    # No date or random ids in the SVG: the same input gives the same file.
    metadata = {"Date": None} if file_format == "svg" else {"Software": None}
    with _svg_ids_fixed():
        figure.savefig(file, format=file_format, metadata=metadata)


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
