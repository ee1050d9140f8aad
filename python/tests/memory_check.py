"""Shared by the memory tests: a call repeated many times leaves Python's memory flat."""

import gc
import sys
import tracemalloc


def assert_calls_leave_memory_flat(name, argument, call, count):
    """After a warm-up, `count` calls of `call` grow traced memory by under 16 KiB and
    leave the references to `argument` as they were."""
    for _ in range(200):
        call()
    references = sys.getrefcount(argument)
    gc.collect()
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        for _ in range(count):
            call()
        gc.collect()
        grown = tracemalloc.get_traced_memory()[0] - before
    finally:
        tracemalloc.stop()
    assert grown < 16 << 10, f"{name}: {grown} bytes more after {count} calls"
    assert sys.getrefcount(argument) == references, f"{name}: references to the input leak"
