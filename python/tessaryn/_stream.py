"""Streams: the three indicators of one live series, bar by bar, with the batch functions' bits."""

from __future__ import annotations

from typing import TYPE_CHECKING, Generic, Literal, NamedTuple, TypeVar, Union, overload

import numpy as np

from . import _core, _gaps
from ._arguments import pandas_module, period_value, series_values

if TYPE_CHECKING:
    import pandas
    from numpy.typing import ArrayLike, NDArray

    Period = Union[float, ArrayLike, pandas.Series]
    Empty = Literal["nan", "marker"]
    Gaps = Literal["skip", "propagate"]
    _Value = TypeVar("_Value")

    class BarValues(NamedTuple, Generic[_Value]):
        """trend (itrend), cycle (cyclical_component), model (tessaryn)."""

        trend: _Value
        cycle: _Value
        model: _Value

else:
    # Made by _core, which builds every result of a stream from it.
    BarValues = _core.BarValues

_ndarray = np.ndarray
_DIRECT_PERIODS = frozenset({float, int, np.ndarray})


class Stream(_core.Stream):
    """A live series: the three indicators bar by bar, as the bars come.

        stream = tessaryn.Stream(longest_period=200)
        history = stream.push_many(closes, 14)       # the past, at the batch functions' speed
        bar = stream.push(price, 14)                 # a new bar: BarValues(trend, cycle, model)
        bar = stream.revise(last_tick, 14)           # the newest bar again, while it forms

    Bars come oldest first. push appends a bar, revise replaces the newest one (its price
    and its period may both change, any number of times), push_many appends a whole
    history at once. Every value is, bit for bit, what tessaryn.itrend, cyclical_component
    and tessaryn give at that bar on the series so far, with the newest bar as last
    revised. Prices and periods are rounded to float32, as the C library takes them.

    push and revise return BarValues(trend, cycle, model) of Python floats: each holds the
    library's float32 value exactly (numpy.float32(value) gives back its bits), and costs
    less to make than a numpy scalar. push_many returns BarValues of three float32 arrays,
    or for a pandas.Series of prices a DataFrame with columns trend, cycle, model and the
    Series' index.

    longest_period  0 (default): every price is kept (up to 2^31 - 1 bars). B > 0: only
                    the prices periods up to B need are kept, and the stream's memory stays
                    flat however many bars it sees; a bar whose period rounds above B,
                    where it would be computed, is refused with ValueError.
    empty           "nan" (default): bars that are not computed hold NaN; "marker": they
                    hold tessaryn.EMPTY, 3.4E+38 as float32 (bits 0x7F7FC99E). In "nan"
                    mode a value equal to the marker reads as empty, as in the batch
                    functions.
    gaps            "skip" (default): a missing price (NaN or None) is a bar without a
                    price: it is not pushed, its values are empty, and the bars after it
                    are those of the series without it, as the batch functions give them.
                    A revise may give the skipped bar its price (it is pushed then), but
                    not take a pushed bar's price away (ValueError). len() counts the bars
                    pushed. "propagate": NaN is data, as in the C stream.

    len(stream) is the number of bars seen since it was made or reset (so an empty stream
    is false); reset() forgets them all. Errors change nothing: a refused push, revise or
    push_many leaves the stream exactly as it was. ValueError: a period above
    longest_period (the C stream's message), a negative longest_period, prices and
    periods of different lengths; IndexError: revise on a stream without bars, as
    assigning to the last item of an empty list; TypeError: arguments of the wrong kind.

    A stream is not thread-safe: use one from one thread at a time (distinct streams may
    run on distinct threads). push_many releases the GIL while it computes; a call on the
    same stream from another thread meanwhile raises RuntimeError instead of racing it.
    Streams cannot be copied or pickled.
    """

    __slots__ = ()
    __module__ = "tessaryn"

    def __new__(cls, longest_period: int = 0, *, empty: Empty = "nan",
                gaps: Gaps = "skip") -> Stream:
        """A stream without bars (see the class's docstring). Raises ValueError for a
        negative longest_period or one above 2^31 - 1, or an unknown empty= or gaps=;
        TypeError for a longest_period that is not a whole number."""
        if _gaps.skips(gaps) and cls is Stream:
            stream = super().__new__(_SkippingStream, longest_period, empty=empty)
            stream._newest_missing = False
            return stream
        return super().__new__(cls, longest_period, empty=empty)

    @property
    def gaps(self) -> Gaps:
        """"skip" or "propagate": what a missing price is."""
        return "propagate"

    if TYPE_CHECKING:
        # Defined by _core.Stream, with their docstrings; declared here for type checkers.
        def push(self, price: float, period: float) -> BarValues[float]: ...
        def revise(self, price: float, period: float) -> BarValues[float]: ...
        def reset(self) -> None: ...
        def __len__(self) -> int: ...
        @property
        def longest_period(self) -> int: ...
        @property
        def empty(self) -> Empty: ...

    @overload
    def push_many(self, prices: pandas.Series, periods: Period) -> pandas.DataFrame: ...
    @overload
    def push_many(self, prices: ArrayLike, periods: Period) -> BarValues[NDArray[np.float32]]: ...
    def push_many(self, prices: ArrayLike | pandas.Series, periods: Period
                  ) -> BarValues[NDArray[np.float32]] | pandas.DataFrame:
        """Appends bars, oldest first, as push would one by one (and revise then replaces
        the last of them), at the speed of the batch functions.

        prices   a 1-D array-like of real numbers (any numeric dtype, a list, a
                 pandas.Series), rounded to float32 once.
        periods  one period for every bar, or one per bar (an array-like or Series of as
                 many bars, taken by position), rounded to float32.

        Returns BarValues(trend, cycle, model) of new float32 arrays, one value per bar
        pushed, NaN (or tessaryn.EMPTY) on bars not computed; for a Series of prices, a
        DataFrame with columns trend, cycle, model and the Series' index. The GIL is
        released while the library computes. Raises ValueError or TypeError, naming the
        argument, for input that does not fit, and ValueError when a bar's period is above
        longest_period; then no bar is appended.
        """
        if type(prices) is _ndarray and type(periods) in _DIRECT_PERIODS:
            return self._push_arrays(prices, periods)
        values = self._push_arrays(series_values(prices, "prices"),
                                   period_value(periods, "periods"))
        pd = pandas_module()
        if pd is not None and isinstance(prices, pd.Series):
            return pd.DataFrame(values._asdict(), index=prices.index)
        return values


_push = _core.Stream.push
_revise = _core.Stream.revise
_reset = _core.Stream.reset
# The types a missing price comes in: NaN as a Python or numpy float, and None.
_FLOATS = frozenset({float, np.float64, np.float32, np.float16})


class _SkippingStream(Stream):
    """A Stream with gaps="skip": a missing price is not pushed. _newest_missing says
    whether the newest bar given was a missing one (so revise pushes it when it gets a
    price)."""

    __slots__ = ("_newest_missing",)
    __module__ = "tessaryn"
    __qualname__ = "Stream"

    @property
    def gaps(self) -> Gaps:
        return "skip"

    def _nothing(self) -> BarValues:
        value = float(_gaps.fill_value(self.empty))
        return BarValues(value, value, value)

    def push(self, price, period):
        if not (price is None or (type(price) in _FLOATS and price != price)):
            self._newest_missing = False
            return _push(self, price, period)
        period_value(period, "period")  # refused as the C stream would refuse it
        self._newest_missing = True
        return self._nothing()

    def revise(self, price, period):
        missing = price is None or (type(price) in _FLOATS and price != price)
        if self._newest_missing:
            if missing:
                return self._nothing()
            values = _push(self, price, period)
            self._newest_missing = False
            return values
        if missing and len(self):
            raise ValueError("revise: a missing price cannot replace the newest bar's, which "
                             "was pushed (gaps='skip'); revise it with a price")
        return _revise(self, price, period)

    def reset(self) -> None:
        _reset(self)
        self._newest_missing = False

    def _push_arrays(self, prices, periods):
        missing = _gaps.missing_bars(prices) if isinstance(prices, np.ndarray) else None
        if missing is None:
            values = super()._push_arrays(prices, periods)
            if len(prices):
                self._newest_missing = False
            return values
        compute = lambda p, q: list(super(_SkippingStream, self)._push_arrays(p, q))  # noqa
        values = BarValues(*_gaps.series(compute, prices, periods, self.empty))
        self._newest_missing = bool(missing[-1])
        return values
