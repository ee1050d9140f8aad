"""Tessaryn: exact trend, cycle and trend-plus-cycle indicators over price series.

    import tessaryn
    trend = tessaryn.itrend(closes, 20)            # numpy array, Series or DataFrame in
    parts = tessaryn.indicators(closes, periods)   # trend, cycle and model at once
    frame.tessaryn.indicators(20)                  # the same, as a pandas accessor
    rows = tessaryn.by_symbol(frame, price="close", period=20, by="symbol", time="date")

Series run oldest bar first. Prices and periods are rounded to float32, as the C library
takes them, and the results are its float32 bits: the package calls the same code. Bars
that are not computed (the warm-up of a constant period P is the first P bars) hold NaN,
or with empty="marker" the library's marker tessaryn.EMPTY, 3.4E+38 as float32 (bits
0x7F7FC99E). A missing price (NaN, None, pandas NA, a masked value) is a bar without a
price: it is left out of the series and its results are empty (gaps="propagate" hands
NaN to the library as data instead). A DataFrame's columns are computed on every core (threads=), with the same
bits as on one. tessaryn.Stream gives the same values bar by bar, for live series.
"""

import numpy as _np

from . import _accessor
from ._batch import cyclical_component, indicators, itrend, tessaryn
from ._by_symbol import by_symbol
from ._core import EMPTY_BITS as _EMPTY_BITS
from ._core import __version__
from ._stream import BarValues, Stream

#: The marker on bars that are not computed, with empty="marker": 3.4E+38 as float32.
EMPTY: _np.float32 = _np.array(_EMPTY_BITS, dtype=_np.uint32).view(_np.float32)[()]

__all__ = ["EMPTY", "BarValues", "Stream", "by_symbol", "cyclical_component", "indicators",
           "itrend", "tessaryn", "__version__"]

_accessor.install()
