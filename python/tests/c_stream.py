"""The library's C stream (tessaryn_stream.h) through ctypes: the twin the package's streams
are held to, call for call."""

import ctypes

import numpy as np

from tessaryn._core import EMPTY_BITS

# Codes of tessaryn_stream.h.
EMPTY = 2
PERIOD_ABOVE_BOUND = 3
NEGATIVE_BOUND = 7


def declare(library):
    """Argument and result types of the stream functions, set once on `library`."""
    pointer, floats = ctypes.c_void_p, ctypes.POINTER(ctypes.c_float)
    library.TessarynStreamCreate.argtypes = [ctypes.c_int32]
    library.TessarynStreamCreate.restype = pointer
    library.TessarynStreamDestroy.argtypes = [pointer]
    library.TessarynStreamDestroy.restype = None
    for name in ("TessarynStreamPush", "TessarynStreamRevise"):
        getattr(library, name).argtypes = [pointer, ctypes.c_float, ctypes.c_float, floats]
        getattr(library, name).restype = ctypes.c_int32
    library.TessarynStreamPushMany.argtypes = [pointer, pointer, pointer, ctypes.c_int32,
                                               pointer, pointer, pointer]
    library.TessarynStreamPushMany.restype = ctypes.c_int32
    library.TessarynStreamSize.argtypes = [pointer]
    library.TessarynStreamSize.restype = ctypes.c_int64
    library.TessarynStreamMessage.argtypes = [ctypes.c_int32]
    library.TessarynStreamMessage.restype = ctypes.c_char_p
    return library


def message(library, code):
    return library.TessarynStreamMessage(code).decode()


class CStream:
    """One C stream. Values come back as float32 arrays, with NaN over the marker unless
    empty="marker", as the package gives them."""

    def __init__(self, library, longest_period=0, empty="nan"):
        self._library = library
        self._stream = library.TessarynStreamCreate(longest_period)
        assert self._stream, "TessarynStreamCreate failed"
        self._empty = empty

    def __del__(self):
        self._library.TessarynStreamDestroy(self._stream)

    def __len__(self):
        return self._library.TessarynStreamSize(self._stream)

    def push(self, price, period):
        return self._bar(self._library.TessarynStreamPush, price, period)

    def revise(self, price, period):
        return self._bar(self._library.TessarynStreamRevise, price, period)

    def push_many(self, prices, periods):
        prices = np.ascontiguousarray(prices, dtype=np.float32)
        periods = np.ascontiguousarray(np.broadcast_to(periods, prices.shape), dtype=np.float32)
        out = np.empty((3, len(prices)), np.float32)
        code = self._library.TessarynStreamPushMany(
            self._stream, prices.ctypes.data, periods.ctypes.data, len(prices),
            out[0].ctypes.data, out[1].ctypes.data, out[2].ctypes.data)
        assert code == 0, message(self._library, code)
        return self._marked(out)

    def _bar(self, call, price, period):
        out = (ctypes.c_float * 3)()
        code = call(self._stream, price, period, out)
        assert code == 0, message(self._library, code)
        return self._marked(np.frombuffer(out, np.float32).copy())

    def _marked(self, values):
        if self._empty == "nan":
            values[values.view(np.uint32) == EMPTY_BITS] = np.nan
        return values
