"""Times `tessaryn --by symbol` over long-format CSV: how much of a run the indicators take
beside reading and writing the CSV, how many cores they keep busy, and the same run on a
2-worker Dask LocalCluster.

    PYTHONPATH=build/release/python /usr/bin/python3 python/bench/bench_cli.py \\
        [--symbols 2000] [--bars 5000] [--order shuffled|by-time|by-symbol]
        [--folder /tmp/tessaryn-bench] [--no-dask]

It writes a seeded CSV (symbol,time,price; 2,000 x 5,000 rows by default, about 190 MB)
into the folder, its rows shuffled (the most work for the ordering), date after date
(symbols interleaved, as daily files are) or symbol after symbol, then:
  1. runs the command's steps in this process, timing each: reading the CSV, turning its
     columns into arrays, the indicators (ordering each symbol's bars by time, computing
     them on every core, putting the values back in the input's row order) and writing
     the output CSV; and the CPU time the indicators used over their wall time;
  2. runs the whole command (`python3 -m tessaryn ... --output`) once as it is used;
  3. unless --no-dask, the same command with --dask on a LocalCluster of 2 worker
     processes (1 thread each) on 127.0.0.1, and checks its output equals step 2's.
Target: the indicators at most 10 % of the run; the Dask run within 3x of step 2.
"""

import argparse
import os
import subprocess
import sys
import time

import numpy as np
import pandas as pd


def write_input(path, symbols, bars, row_order, seed=20240611):
    """symbol,time,price rows of `symbols` random walks of `bars` bars, in `row_order`."""
    rng = np.random.default_rng(seed)
    names = np.array([f"S{number:05d}" for number in range(symbols)], dtype=object)
    count = symbols * bars
    order = {"shuffled": rng.permutation(count),
             "by-time": np.arange(count).reshape(symbols, bars).T.ravel(),
             "by-symbol": np.arange(count)}[row_order]
    symbol = np.repeat(np.arange(symbols), bars)[order]
    bar = np.tile(np.arange(bars), symbols)[order]
    levels = rng.uniform(10, 1000, symbols)
    walks = levels[:, None] * np.exp(np.cumsum(rng.normal(0, 0.01, (symbols, bars)), axis=1))
    prices = np.round(walks.ravel()[order], 2)
    frame = pd.DataFrame({"symbol": names[symbol], "time": bar, "price": prices})
    from tessaryn._csv_output import input_column, write_csv

    with open(path, "wb") as handle:
        write_csv(handle, [input_column(name, frame[name]) for name in frame.columns], count)


def timed(label, results, function, *arguments, **keywords):
    wall, cpu = time.perf_counter(), time.process_time()
    value = function(*arguments, **keywords)
    results[label] = (time.perf_counter() - wall, time.process_time() - cpu)
    return value


def steps_in_process(path, output):
    """The command's steps one by one (as tessaryn._command runs them)."""
    from tessaryn._by_symbol import indicators_by_series
    from tessaryn._columns import prices as price_column
    from tessaryn._columns import symbol_codes, time_axis
    from tessaryn._csv_input import read_table
    from tessaryn._csv_output import indicator_column, input_column, write_csv

    results = {}
    frame, _, dialect = timed("read CSV", results, read_table, path, "symbol")

    def columns():
        return (price_column(frame["price"], "price"), symbol_codes(frame["symbol"], "symbol"),
                time_axis(frame["time"], "time").keys)

    prices, symbols, times = timed("columns to arrays", results, columns)
    values = timed("indicators", results, indicators_by_series, prices, 20.0,
                   symbols=symbols, times=times, empty="marker")

    def write():
        shown = [input_column(name, frame[name]) for name in frame.columns]
        shown += [indicator_column(name, values[row])
                  for row, name in enumerate(("trend", "cycle", "model"))]
        with open(output, "wb") as handle:
            write_csv(handle, shown, len(frame), sep=dialect.sep, decimal=dialect.decimal)

    timed("write CSV", results, write)
    return results


def run_command(arguments, environment):
    start = time.perf_counter()
    subprocess.run([sys.executable, "-m", "tessaryn", *arguments], check=True,
                   env=environment, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--symbols", type=int, default=2000)
    parser.add_argument("--bars", type=int, default=5000)
    parser.add_argument("--order", choices=("shuffled", "by-time", "by-symbol"),
                        default="shuffled")
    parser.add_argument("--folder", default="/tmp/tessaryn-bench")
    parser.add_argument("--no-dask", action="store_true")
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    source = os.path.join(options.folder, "long.csv")
    rows = options.symbols * options.bars
    print(f"{options.symbols} symbols x {options.bars} bars = {rows:,} rows ({options.order}), "
          f"{len(os.sched_getaffinity(0))} cores")
    start = time.perf_counter()
    write_input(source, options.symbols, options.bars, options.order)
    print(f"input written in {time.perf_counter() - start:.1f} s "
          f"({os.path.getsize(source) / 1e6:.0f} MB)")

    results = steps_in_process(source, os.path.join(options.folder, "steps.csv"))
    total = sum(wall for wall, _ in results.values())
    print("\nsteps in one process:")
    for label, (wall, cpu) in results.items():
        print(f"  {label:<18} {wall:7.2f} s  {100 * wall / total:5.1f} %  "
              f"(CPU {cpu:6.2f} s: {cpu / wall:.2f} cores)")
    print(f"  {'total':<18} {total:7.2f} s")

    environment = dict(os.environ)
    output = os.path.join(options.folder, "single.csv")
    single = run_command([source, "--by", "symbol", "--output", output], environment)
    print(f"\ntessaryn --by symbol (whole command): {single:.1f} s")

    if not options.no_dask:
        from distributed import LocalCluster

        cluster = LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                               dashboard_address=None, host="127.0.0.1")
        try:
            dask_output = os.path.join(options.folder, "dask.csv")
            on_cluster = run_command([source, "--by", "symbol", "--dask",
                                      cluster.scheduler_address, "--output", dask_output],
                                     environment)
        finally:
            cluster.close()
        same = subprocess.run(["cmp", "-s", output, dask_output]).returncode == 0
        print(f"tessaryn --by symbol --dask (2-worker LocalCluster): {on_cluster:.1f} s, "
              f"{on_cluster / single:.2f}x the single-process run; output "
              f"{'identical' if same else 'DIFFERS'}")


if __name__ == "__main__":
    main()
