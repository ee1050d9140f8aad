"""Bad input: a ValueError or TypeError that names the argument, and nothing changed."""

import copy

import numpy as np
import pytest

import tessaryn

pd = pytest.importorskip("pandas")

FUNCTIONS = [tessaryn.itrend, tessaryn.cyclical_component, tessaryn.tessaryn,
             tessaryn.indicators]

PRICES = np.linspace(10, 20, 10, dtype=np.float32)
FRAME = pd.DataFrame({"a": np.linspace(1, 2, 10), "b": np.linspace(3, 4, 10)})
TOO_MANY_BARS = np.broadcast_to(np.float32(1), (2**31,))  # no memory behind it

# (case, prices, period, keywords, exception, words the message must hold)
CASES = [
    ("lengths differ", PRICES, np.ones(9), {}, ValueError, ["period", "10 bars", "9 bars"]),
    ("period list too long", PRICES, [3] * 11, {}, ValueError, ["period", "11"]),
    ("2-D prices", np.ones((10, 2)), 3, {}, ValueError, ["prices", "2-D", "(10, 2)"]),
    ("0-D prices", np.float32(3), 3, {}, ValueError, ["prices", "0-D"]),
    ("2-D period", PRICES, np.ones((10, 1)), {}, ValueError, ["period", "2-D"]),
    ("list of lists", [[1, 2], [3, 4]], 3, {}, ValueError, ["prices", "2-D"]),
    ("ragged list", [1, [2, 3]], 3, {}, ValueError, ["prices"]),
    ("complex prices", PRICES.astype(complex), 3, {}, TypeError, ["prices", "complex128"]),
    ("bool prices", PRICES > 15, 3, {}, TypeError, ["prices", "bool"]),
    ("object prices", PRICES.astype(object), 3, {}, TypeError, ["prices", "object"]),
    ("text prices", ["1", "2", "3"], 3, {}, TypeError, ["prices", "<U1"]),
    ("dates as prices", np.arange(10).astype("datetime64[D]"), 3, {}, TypeError,
     ["prices", "datetime64"]),
    ("None as prices", None, 3, {}, TypeError, ["prices"]),
    ("object Series", pd.Series(["a"] * 10), 3, {}, TypeError, ["prices", "object"]),
    ("bool Series", pd.Series([True] * 10), 3, {}, TypeError, ["prices", "bool"]),
    ("DataFrame with a text column", FRAME.assign(name="x"), 3, {"numeric_only": False},
     TypeError, ["prices", "'name'", "object", "numeric_only"]),
    ("DataFrame with a date column", FRAME.assign(day=pd.Timestamp("2020")), 3,
     {"numeric_only": False}, TypeError, ["prices", "'day'", "datetime64"]),
    ("numeric_only not a bool", FRAME, 3, {"numeric_only": 1}, TypeError, ["numeric_only"]),
    ("gaps unknown", PRICES, 3, {"gaps": "drop"}, ValueError, ["gaps", "'drop'", "'skip'"]),
    ("complex period", PRICES, PRICES.astype(complex), {}, TypeError, ["period", "complex"]),
    ("bool period", PRICES, True, {}, TypeError, ["period", "True"]),
    ("text period", PRICES, "14", {}, TypeError, ["period"]),
    ("None period", PRICES, None, {}, TypeError, ["period"]),
    ("DataFrame period of a Series", pd.Series(PRICES), FRAME, {}, ValueError,
     ["period", "DataFrame"]),
    ("frame period without a column of the prices", FRAME, FRAME[["a"]], {}, ValueError,
     ["period", "'b'", "matched by name"]),
    ("frame period of another shape", FRAME, np.ones((10, 1)), {}, ValueError,
     ["period", "10 bars x 2 columns", "10 bars x 1 columns"]),
    ("frame period of other row labels", FRAME, FRAME.set_axis(range(5, 15)), {}, ValueError,
     ["period", "index", "labels"]),
    ("Series period of other labels", pd.Series(PRICES), pd.Series(PRICES, index=range(1, 11)),
     {}, ValueError, ["period", "index", "labels"]),
    ("per-row period of another length", FRAME, np.ones(11), {}, ValueError,
     ["period", "10 bars", "11 bars"]),
    ("3-D period of a frame", FRAME, np.ones((10, 2, 1)), {}, ValueError, ["period", "3-D"]),
    ("empty='NaN'", PRICES, 3, {"empty": "NaN"}, ValueError, ["empty", "'NaN'"]),
    ("empty=None", PRICES, 3, {"empty": None}, ValueError, ["empty", "None"]),
    ("empty unhashable", FRAME, 3, {"empty": []}, ValueError, ["empty", "[]"]),
    ("threads=0", FRAME, 3, {"threads": 0}, ValueError, ["threads", "0"]),
    ("threads=1.5", PRICES, 3, {"threads": 1.5}, TypeError, ["threads", "1.5"]),
    ("threads=True", FRAME, 3, {"threads": True}, TypeError, ["threads"]),
    ("2^31 bars", TOO_MANY_BARS, 3, {}, ValueError, ["prices", "2147483648", "2^31 - 1"]),
    ("2^31 periods", PRICES, TOO_MANY_BARS, {}, ValueError, ["period", "2147483648"]),
]


@pytest.mark.parametrize("function", FUNCTIONS, ids=[f.__name__ for f in FUNCTIONS])
@pytest.mark.parametrize("case", CASES, ids=[case[0] for case in CASES])
def test_bad_input_is_refused_by_name_and_changes_nothing(case, function):
    _, prices, period, keywords, exception, words = case
    unbacked = prices is TOO_MANY_BARS or period is TOO_MANY_BARS
    before = None if unbacked else copy.deepcopy((prices, period))
    with pytest.raises(exception) as raised:
        function(prices, period, **keywords)
    message = str(raised.value)
    for word in words:
        assert word in message, f"{word!r} not in {message!r}"
    if before is not None:
        _assert_unchanged(before, (prices, period))


def _assert_unchanged(before, after):
    for old, new in zip(before, after):
        if isinstance(old, (pd.Series, pd.DataFrame)):
            assert old.equals(new)
        elif isinstance(old, np.ndarray):
            assert old.dtype == new.dtype and old.tobytes() == new.tobytes()
        else:
            assert old == new or old is new


def test_nan_and_infinite_input_is_data_not_an_error():
    prices = np.array([1, np.nan, 3, np.inf, 5, -np.inf, 7, 8], np.float32)
    periods = np.array([1, 2, np.nan, 2, np.inf, 3, -np.inf, 2], np.float32)
    for function in FUNCTIONS[:3]:
        assert function(prices, periods).shape == (8,)
