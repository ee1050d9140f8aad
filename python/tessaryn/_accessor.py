"""The pandas accessor: `frame.tessaryn.indicators(20)`, `series.tessaryn.itrend(20)`.

Registered when pandas is loaded, whichever of pandas and tessaryn is imported first, so
that importing tessaryn never imports pandas itself."""

from __future__ import annotations

import importlib.abc
import importlib.util
import sys

from . import _batch
from ._routines import FUNCTION_NAMES

NAME = "tessaryn"


class TessarynAccessor:
    """The indicators of a Series or DataFrame: each method is the tessaryn function of the
    same name with the object as its prices (see those functions' docstrings)."""

    def __init__(self, prices):
        self._prices = prices

    def indicators(self, period, **options):
        """tessaryn.indicators(prices, period, **options): trend, cycle and model."""
        return _batch.indicators(self._prices, period, **options)

    def by_symbol(self, *, price: str, period, by: str | None, time: str | None = None,
                  **options):
        """tessaryn.by_symbol(frame, ...): long-format rows with trend, cycle, model."""
        from ._by_symbol import by_symbol

        return by_symbol(self._prices, price=price, period=period, by=by, time=time,
                         **options)


def _method(function_name: str):
    function = getattr(_batch, function_name)

    def method(self, period, **options):
        return function(self._prices, period, **options)

    method.__name__ = function_name
    method.__doc__ = f"tessaryn.{function_name}(prices, period, **options)."
    return method


for _name in FUNCTION_NAMES:
    setattr(TessarynAccessor, _name, _method(_name))


def register(pandas) -> None:
    """Adds `.tessaryn` to pandas' Series and DataFrame."""
    if "tessaryn" not in getattr(pandas.DataFrame, "_accessors", ()):
        pandas.api.extensions.register_dataframe_accessor(NAME)(TessarynAccessor)
    if "tessaryn" not in getattr(pandas.Series, "_accessors", ()):
        pandas.api.extensions.register_series_accessor(NAME)(TessarynAccessor)


class _WhenPandasLoads(importlib.abc.MetaPathFinder):
    """Finds nothing itself: when pandas is first imported, has its loader register the
    accessor once pandas is whole."""

    def find_spec(self, name, path, target=None):
        if name != "pandas":
            return None
        sys.meta_path.remove(self)
        found = importlib.util.find_spec(name)
        if found is None or found.loader is None or not hasattr(found.loader, "exec_module"):
            return found
        load = found.loader.exec_module

        def exec_module(module):
            load(module)
            register(module)

        found.loader.exec_module = exec_module
        return found


def install() -> None:
    pandas = sys.modules.get("pandas")
    if pandas is not None and hasattr(pandas, "api"):
        register(pandas)
    elif not any(isinstance(finder, _WhenPandasLoads) for finder in sys.meta_path):
        sys.meta_path.insert(0, _WhenPandasLoads())
