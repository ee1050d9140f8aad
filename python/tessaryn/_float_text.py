"""Numbers as CSV text that reads back as the same bits.

float32 values get the fewest significant digits that read back as the same float32 when
parsed as a double and rounded to float32, as numpy, pandas and most CSV readers do. The
digits are found for whole arrays at once (6 to 9 digits, where powers of ten are exact);
the few values outside that range (below about 1e-13 or above about 1e+22) take numpy's
shortest text, or their exact double's where even that would not read back. Whole numbers
print without ".0".
"""

from __future__ import annotations

import numpy as np

# 10**k is exact in a double up to k = 22: the scalings below divide or multiply by exact
# powers only, so each candidate is the double nearest its decimal, as a reader parses it.
_LARGEST_EXACT_POWER = 22
_POWERS = 10.0 ** np.arange(_LARGEST_EXACT_POWER + 1)
# Below 2**53 every whole double prints exactly as an integer.
_WHOLE_LIMIT = 2.0**53


def float32_texts(values: np.ndarray) -> list[str]:
    """The text of each float32 in `values`: "NaN" ("-NaN" with the sign bit set), "inf",
    "-inf" for those, "-0.0" for negative zero, otherwise the shortest decimal that reads
    back as the same float32."""
    values = np.asarray(values, dtype=np.float32)
    return double_texts(_shortest_doubles(values))


def double_texts(values: np.ndarray) -> list[str]:
    """The text of each double in `values`: Python's repr (the shortest that reads back as
    the same double), whole numbers without ".0", "NaN" or "-NaN" for NaN."""
    values = np.asarray(values, dtype=np.float64)
    texts = list(map(repr, values.tolist()))
    whole = np.flatnonzero((np.abs(values) < _WHOLE_LIMIT) & (values == np.trunc(values))
                           & ~((values == 0) & np.signbit(values)))
    if whole.size:
        for index, number in zip(whole.tolist(), values[whole].astype(np.int64).tolist()):
            texts[index] = str(number)
    # NaN's sign is kept for readers that parse "-NaN" with it (Python's float does).
    for index in np.flatnonzero(np.isnan(values)).tolist():
        texts[index] = "-NaN" if np.signbit(values[index]) else "NaN"
    return texts


def _shortest_doubles(values: np.ndarray) -> np.ndarray:
    """For each float32, a double whose repr is its shortest decimal that reads back as the
    same float32 (or the float32's exact double where none does)."""
    with np.errstate(invalid="ignore"):  # signalling NaNs become quiet ones: still NaN
        exact = values.astype(np.float64)
    chosen = exact.copy()
    pending = np.flatnonzero(np.isfinite(exact) & (exact != 0))
    if pending.size == 0:
        return chosen
    magnitude = np.floor(np.log10(np.abs(exact[pending]))).astype(np.int64)
    # Only where every digit count's power of ten is exact: elsewhere a longer count would
    # fit where a shorter did not, and numpy's text below is shorter.
    fits = (magnitude >= 9 - 1 - _LARGEST_EXACT_POWER) & (magnitude <= 6 - 1 + _LARGEST_EXACT_POWER)
    elsewhere = pending[~fits]
    pending, magnitude = pending[fits], magnitude[fits]
    for digits in range(6, 10):
        scale = digits - 1 - magnitude  # decimal = round(x * 10**scale) / 10**scale
        up, down = scale >= 0, scale < 0
        candidate = np.empty(pending.size)
        power = _POWERS[np.abs(scale[up])]
        candidate[up] = np.rint(exact[pending[up]] * power) / power
        power = _POWERS[np.abs(scale[down])]
        candidate[down] = np.rint(exact[pending[down]] / power) * power
        with np.errstate(over="ignore", invalid="ignore"):
            reads_back = candidate.astype(np.float32) == values[pending]
        chosen[pending[reads_back]] = candidate[reads_back]
        pending, magnitude = pending[~reads_back], magnitude[~reads_back]
        if pending.size == 0:
            break
    for index in np.concatenate([elsewhere, pending]).tolist():
        candidate = float(str(values[index]))
        if np.float32(candidate) == values[index]:
            chosen[index] = candidate
    return chosen
