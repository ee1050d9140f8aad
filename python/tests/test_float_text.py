"""The CSV text of float32 values: the fewest digits that read back as the same bits, as
pandas and numpy read them (a double, then float32), whole numbers without ".0"."""

import numpy as np
import pytest

from tessaryn._float_text import double_texts, float32_texts


@pytest.mark.parametrize("value, text", [
    (0.1, "0.1"),
    (1628.75, "1628.75"),
    (20.0, "20"),
    (-3.0, "-3"),
    (0.0, "0"),
    (-0.0, "-0.0"),          # the sign is a bit: it must survive
    (1e-30, "1e-30"),        # beyond the exact powers of ten: numpy's shortest
    (3.4e38, "3.4e+38"),
    (1e-45, "1e-45"),        # the smallest subnormal
    (16777216.0, "16777216"),
    (123456789.0, "123456790"),  # the float32 nearest 123456789
    (5960.5371, "5960.537"),
    (-123.013824, "-123.013824"),
    (np.inf, "inf"),
    (-np.inf, "-inf"),
    (np.nan, "NaN"),
    (-np.nan, "-NaN"),
])
def test_text(value, text):
    assert float32_texts(np.array([value], dtype=np.float32)) == [text]


def _read_back(texts):
    return np.array([float(text) for text in texts], dtype=np.float64).astype(np.float32)


@pytest.mark.parametrize("name, values", [
    ("every bit pattern's kind", np.random.default_rng(7).integers(
        0, 2**32, 300_000, dtype=np.uint64).astype(np.uint32).view(np.float32)),
    ("prices", (1000 + np.cumsum(np.random.default_rng(8).normal(size=100_000)))
     .astype(np.float32)),
    ("small and large", (10.0 ** np.random.default_rng(9).uniform(-20, 30, 100_000))
     .astype(np.float32)),
    ("subnormals", (np.random.default_rng(10).integers(1, 2**23, 20_000, dtype=np.uint32))
     .view(np.float32)),
])
def test_reads_back_as_the_same_bits(name, values):
    finite = values[np.isfinite(values)]
    back = _read_back(float32_texts(finite))
    differ = np.flatnonzero(back.view(np.uint32) != finite.view(np.uint32))
    assert differ.size == 0, (name, finite[differ[:5]], back[differ[:5]])


def test_no_longer_than_numpy_shortest():
    values = np.random.default_rng(11).integers(0, 2**32, 100_000, dtype=np.uint64) \
        .astype(np.uint32).view(np.float32)
    values = values[np.isfinite(values) & (values != 0)]

    def digits(text):
        return len(text.lstrip("-").split("e")[0].replace(".", "").strip("0"))

    ours = float32_texts(values)
    longer = [(text, str(value)) for text, value in zip(ours, values)
              if digits(text) > digits(str(value))]
    assert not longer, longer[:5]


@pytest.mark.parametrize("value, text", [
    (1991.4962, "1991.4962"), (1718.0, "1718"), (-0.0, "-0.0"), (2.0**53, "9007199254740992.0"),
    (1e300, "1e+300"), (np.nan, "NaN"), (np.inf, "inf"), (0.1 + 0.2, "0.30000000000000004"),
])
def test_double_text(value, text):
    assert double_texts(np.array([value])) == [text]
