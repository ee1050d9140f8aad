"""Shared by the package's tests: the C library through ctypes, the reference every value is
held to, and seeded series of the kinds the library's own tests use."""

import ctypes
import os
import resource

import numpy as np
import pytest

import tessaryn
from tessaryn import _core

EMPTY_BITS = _core.EMPTY_BITS
NAN_BITS = 0x7FC00000

# The package's functions beside the C routines they call, from the library's table.
ROUTINES = [(routine, getattr(tessaryn, function)) for function, _, routine in _core.INDICATORS]
INDICATOR_ROUTINES = {output: routine for _, output, routine in _core.INDICATORS}


# The 2^31-bar cases have no memory behind them: should a change ever copy one, the test
# fails with a MemoryError instead of filling a machine others share.
_ADDRESS_SPACE = 6 << 30
_soft, _hard = resource.getrlimit(resource.RLIMIT_AS)
if _soft == resource.RLIM_INFINITY or _soft > _ADDRESS_SPACE:
    resource.setrlimit(resource.RLIMIT_AS, (_ADDRESS_SPACE, _hard))


@pytest.fixture(scope="session")
def library():
    path = os.environ.get("TESSARYN_LIBRARY")
    if not path:
        pytest.skip("TESSARYN_LIBRARY (the path of libtessaryn.so) is not set")
    return ctypes.CDLL(path)


@pytest.fixture(scope="session")
def reference(library):
    """reference(name, prices, periods, empty="nan"): the C routine's output on the float32
    rounding of the arguments, with NaN over the marker unless empty="marker"."""
    pointer = ctypes.c_void_p

    def run(name, prices, periods, empty="nan"):
        routine = getattr(library, name)
        routine.argtypes = [pointer, pointer, ctypes.c_int32, pointer]
        routine.restype = None
        prices = np.ascontiguousarray(prices, dtype=np.float32)
        periods = np.ascontiguousarray(np.broadcast_to(periods, prices.shape), dtype=np.float32)
        out = np.empty_like(prices)
        routine(prices.ctypes.data, periods.ctypes.data, len(prices), out.ctypes.data)
        if empty == "nan":
            out[bits(out) == EMPTY_BITS] = np.nan
        return out

    return run


def bits(values):
    """The float32 bit patterns of `values` (an array, Series or DataFrame)."""
    return np.asarray(values, dtype=np.float32).view(np.uint32)


def assert_same_bits(actual, expected):
    actual_bits, expected_bits = bits(actual), bits(expected)
    assert actual_bits.shape == expected_bits.shape
    differ = np.flatnonzero(actual_bits.ravel() != expected_bits.ravel())
    assert differ.size == 0, (
        f"{differ.size} values differ, first at flat index {differ[0]}: "
        f"{actual_bits.ravel()[differ[0]]:#010x} instead of {expected_bits.ravel()[differ[0]]:#010x}")


def walk(rng, count, level=100.0, step=0.01):
    return (level + np.cumsum(rng.normal(0.0, level * step, count))).astype(np.float32)


def drifting_periods(rng, count, longest=60):
    """Periods from 0.5 to `longest` in halves, drawn afresh on every bar."""
    return (rng.integers(1, 2 * longest + 1, count) / 2).astype(np.float32)


def series_kinds():
    """(name, prices, periods) of every kind the values are checked on, seeded."""
    rng = np.random.default_rng(20240611)
    n = 3000
    kinds = [
        ("walk, period 14", walk(rng, n), np.float32(14)),
        ("walk, drifting periods", walk(rng, n), drifting_periods(rng, n)),
        ("level 1e6, small steps", walk(rng, n, 1e6, 1e-5), drifting_periods(rng, n, 200)),
        ("tiny prices", walk(rng, n, 1e-30, 0.05), drifting_periods(rng, n)),
        ("short", walk(rng, 5), np.float32(3)),
        ("one bar", walk(rng, 1), np.float32(1)),
        ("no bars", np.empty(0, np.float32), np.float32(14)),
    ]
    special = walk(rng, n)
    special[rng.integers(0, n, 40)] = np.nan
    special[rng.integers(0, n, 10)] = np.inf
    special[rng.integers(0, n, 10)] = -np.inf
    special[rng.integers(0, n, 10)] = np.uint32(EMPTY_BITS).view(np.float32)
    kinds.append(("NaN, infinities and the marker among prices", special,
                  drifting_periods(rng, n)))
    near_marker = np.full(n, 3.39e38, np.float32) + rng.normal(0, 2e35, n).astype(np.float32)
    kinds.append(("prices near 3.4E+38", near_marker, np.float32(4)))
    odd_periods = rng.choice(np.array([0, -3, 0.5, 1.5, 2.5, 3.5, 1e9, 2.0**31, 2.0**31 - 128,
                                       np.nan, np.inf, -np.inf, 7, 20], np.float32), n)
    kinds.append(("periods out of contract, halves", walk(rng, n), odd_periods))
    return kinds
