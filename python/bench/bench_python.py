"""Timings of the Python package against the C library, in one run (not a test).

1. Call overhead: a package call on 1,000 float32 bars against the C routine's own time on
   the same arrays. The C time is a ctypes call on 1,000 bars less one on 0 bars, which
   removes ctypes' own cost. Target: the package costs at most 2 us more than the C call.
2. A DataFrame of 500 columns x 10^5 bars on every core against one thread (float32 and
   float64 columns). Target on 2 cores: at least 1.7x the speed of one thread.
3. Streams: Stream.push and revise per bar, and push_many of 1,000 bars, against the C
   stream's own time, which is a ctypes call on a stream less the same call on NULL (it
   returns at once). No target; the cost a Python loop pays per bar.

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


def _declare_stream(library):
    pointer, number = ctypes.c_void_p, ctypes.c_float
    library.TessarynStreamCreate.argtypes = [ctypes.c_int32]
    library.TessarynStreamCreate.restype = pointer
    library.TessarynStreamDestroy.argtypes = [pointer]
    for name in ("TessarynStreamPush", "TessarynStreamRevise"):
        getattr(library, name).argtypes = [pointer, number, number, pointer]
    library.TessarynStreamPushMany.argtypes = [pointer] * 3 + [ctypes.c_int32] + [pointer] * 3


def stream_costs(library, bars=1000, longest_period=100):
    """Per bar for push and revise (a Python loop over `bars` prices), per call for
    push_many of `bars` bars; bounded streams, so that memory stays flat however long."""
    _declare_stream(library)
    rng = np.random.default_rng(13)
    prices = random_walk(rng, bars)
    periods = np.full(bars, 14.0, dtype=np.float32)
    outputs = np.empty((3, bars), dtype=np.float32)
    price_list = prices.tolist()
    c_stream = library.TessarynStreamCreate(longest_period)
    stream = tessaryn.Stream(longest_period)
    out = (ctypes.c_float * 3)()
    stream.push_many(prices, periods)
    library.TessarynStreamPushMany(c_stream, prices.ctypes.data, periods.ctypes.data, bars,
                                   *(row.ctypes.data for row in outputs))

    def c_loop(call, target):
        def run():
            for price in price_list:
                call(target, price, 14.0, out)
        return run

    def python_loop(call):
        def run():
            for price in price_list:
                call(price, 14.0)
        return run

    def c_many(target):
        return lambda: library.TessarynStreamPushMany(
            target, prices.ctypes.data, periods.ctypes.data, bars,
            *(row.ctypes.data for row in outputs))

    print(f"streams, longest_period {longest_period}, period 14 (best of alternating runs, ns "
          f"per bar; push_many: us per call of {bars} bars):")
    print(f"{'call':<26} {'C':>8} {'Python':>8} {'overhead':>9}")
    rows = [
        ("push", c_loop(library.TessarynStreamPush, c_stream),
         c_loop(library.TessarynStreamPush, None), python_loop(stream.push), bars, 1e9),
        ("revise", c_loop(library.TessarynStreamRevise, c_stream),
         c_loop(library.TessarynStreamRevise, None), python_loop(stream.revise), bars, 1e9),
        ("push_many, periods array", c_many(c_stream), c_many(None),
         lambda: stream.push_many(prices, periods), 1, 1e6),
        ("push_many, one period", c_many(c_stream), c_many(None),
         lambda: stream.push_many(prices, 14), 1, 1e6),
    ]
    for name, c_call, c_null, python_call, per, unit in rows:
        c_full, c_none, python = best_per_call([c_call, c_null, python_call], repeats=100,
                                               number=3)
        c_time = (c_full - c_none) / per
        python /= per
        print(f"{name:<26} {c_time * unit:8.2f} {python * unit:8.2f} "
              f"{(python - c_time) * unit:9.2f}")
    library.TessarynStreamDestroy(c_stream)
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("library", help="path of libtessaryn.so")
    parser.add_argument("--skip-frame", action="store_true",
                        help="only the call overhead and the streams")
    arguments = parser.parse_args()
    library = ctypes.CDLL(arguments.library)
    call_overhead(library)
    stream_costs(library)
    if not arguments.skip_frame:
        frame_speedup()


if __name__ == "__main__":
    sys.exit(main())
