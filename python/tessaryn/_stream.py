"""Streams: the three indicators of one live series, bar by bar, with the batch functions' bits."""

from __future__ import annotations

from typing import TYPE_CHECKING, Generic, Literal, NamedTuple, TypeVar, Union, overload

import numpy as np

from . import _core
from ._arguments import pandas_module, period_value, series_values

if TYPE_CHECKING:
    import pandas
    from numpy.typing import ArrayLike, NDArray

    Period = Union[float, ArrayLike, pandas.Series]
    Empty = Literal["nan", "marker"]
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

    def __new__(cls, longest_period: int = 0, *, empty: Empty = "nan") -> Stream:
        """A stream without bars (see the class's docstring). Raises ValueError for a
        negative longest_period or one above 2^31 - 1, or an unknown empty=; TypeError for a
        longest_period that is not a whole number."""
        return super().__new__(cls, longest_period, empty=empty)

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
