"""The GIL is released while the library computes: another thread keeps running Python
code through the whole call, instead of stopping for as long as the call takes."""

import threading
import time

import numpy as np
import pytest

import tessaryn


def _frame():
    pd = pytest.importorskip("pandas")
    return pd.DataFrame(np.ones((100_000, 200), np.float32, order="F"))


CALLS = [
    ("array", lambda: np.ones(20_000_000, np.float32), lambda p: tessaryn.tessaryn(p, 14)),
    ("DataFrame", _frame, lambda p: tessaryn.tessaryn(p, 14, threads=2)),
]


@pytest.mark.parametrize("case", CALLS, ids=[case[0] for case in CALLS])
def test_other_threads_run_python_during_a_call(case):
    _, make, call = case
    prices = make()
    alone = np.inf
    for _ in range(2):
        started = time.perf_counter()
        call(prices)
        alone = min(alone, time.perf_counter() - started)
    assert alone > 0.02, "the call is too short to tell"

    worker = threading.Thread(target=call, args=(prices,))
    ticks = [time.perf_counter()]
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
    worker.join()
    # Holding the GIL, the call would stop this thread for about `alone` at once.
    assert np.diff(ticks).max() < alone / 2
