"""Timings of the Python package against the C library, in one run (not a test).

1. Call overhead: a package call on 1,000 float32 bars against the C routine's own time on
   the same arrays. The C time is a ctypes call on 1,000 bars less one on 0 bars, which
   removes ctypes' own cost. Target: the package costs at most 2 us more than the C call.
2. A DataFrame of 500 columns x 10^5 bars on every core against one thread (float32 and
   float64 columns). Target on 2 cores: at least 1.7x the speed of one thread.

    PYTHONPATH=build/release/python /usr/bin/python3 python/bench/bench_python.py \
        build/release/libtessaryn.so

Measurements alternate between the things compared and keep each one's best, so that
load from other processes on a shared machine moves them alike.
"""

import argparse
import ctypes
import os
import sys
import time

import numpy as np

import tessaryn

ROUTINES = (
    ("ITrend", tessaryn.itrend),
    ("CyclicalComponent", tessaryn.cyclical_component),
    ("Tessaryn", tessaryn.tessaryn),
)


def random_walk(rng, shape):
    steps = rng.standard_normal(shape) * 0.5
    return (1000.0 + np.cumsum(steps, axis=0)).astype(np.float32)


def best_per_call(calls, repeats, number):
    """Best time per call (seconds) of each callable, alternating between them."""
    best = [float("inf")] * len(calls)
    for _ in range(repeats):
        for k, call in enumerate(calls):
            start = time.perf_counter()
            for _ in range(number):
                call()
            best[k] = min(best[k], (time.perf_counter() - start) / number)
    return best


def call_overhead(library, bars=1000):
    rng = np.random.default_rng(11)
    prices = random_walk(rng, bars)
    periods = np.full(bars, 14.0, dtype=np.float32)
    out = np.empty(bars, dtype=np.float32)
    pointer = ctypes.c_void_p
    addresses = (prices.ctypes.data, periods.ctypes.data, out.ctypes.data)
    print(f"call overhead, {bars} float32 bars, period 14 (best of alternating runs, us):")
    print(f"{'routine':<18} {'C':>7} {'periods array':>14} {'overhead':>9} "
          f"{'one period':>11} {'overhead':>9}")
    worst = 0.0
    for name, function in ROUTINES:
        routine = getattr(library, name)
        routine.argtypes = [pointer, pointer, ctypes.c_int32, pointer]
        routine.restype = None
        c_full, c_none, with_array, with_number = best_per_call(
            [lambda: routine(addresses[0], addresses[1], bars, addresses[2]),
             lambda: routine(addresses[0], addresses[1], 0, addresses[2]),
             lambda: function(prices, periods),
             lambda: function(prices, 14)],
            repeats=400, number=50)
        c_time = c_full - c_none
        worst = max(worst, with_array - c_time, with_number - c_time)
        print(f"{name:<18} {c_time * 1e6:7.2f} {with_array * 1e6:14.2f} "
              f"{(with_array - c_time) * 1e6:9.2f} {with_number * 1e6:11.2f} "
              f"{(with_number - c_time) * 1e6:9.2f}")
    print(f"largest overhead {worst * 1e6:.2f} us (target <= 2 us)\n")


def frame_speedup(columns=500, bars=100_000):
    import pandas as pd

    cores = len(os.sched_getaffinity(0))
    rng = np.random.default_rng(12)
    values = random_walk(rng, (bars, columns))
    print(f"DataFrame {columns} columns x {bars} bars, tessaryn(period 14), "
          f"{cores} threads against 1 (best of 3, ms):")
    for dtype in (np.float32, np.float64):
        frame = pd.DataFrame(values.astype(dtype))
        one, every = best_per_call(
            [lambda: tessaryn.tessaryn(frame, 14, threads=1),
             lambda: tessaryn.tessaryn(frame, 14)],
            repeats=3, number=1)
        print(f"{np.dtype(dtype).name:<8} 1 thread {one * 1e3:8.1f}   {cores} threads "
              f"{every * 1e3:8.1f}   speed-up {one / every:.2f}x (target >= 1.7x on 2 cores)")
        del frame


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("library", help="path of libtessaryn.so")
    parser.add_argument("--skip-frame", action="store_true", help="only the call overhead")
    arguments = parser.parse_args()
    call_overhead(ctypes.CDLL(arguments.library))
    if not arguments.skip_frame:
        frame_speedup()


if __name__ == "__main__":
    sys.exit(main())
