"""Streams refuse bad input and the bars the C stream refuses: an exception naming what is
wrong, carrying the C stream's message where the refusal is its own, and the stream exactly as
it was."""

import copy
import pickle

import numpy as np
import pytest

import tessaryn
from c_stream import EMPTY, NEGATIVE_BOUND, PERIOD_ABOVE_BOUND, declare, message
from conftest import assert_same_bits, walk

pd = pytest.importorskip("pandas")

HISTORY = walk(np.random.default_rng(12), 40)
FIVE = np.float32([10, 11, 12, 11, 10])
TOO_MANY_BARS = np.broadcast_to(np.float32(1), (2**31,))  # no memory behind it


@pytest.fixture(scope="module")
def c_library(library):
    return declare(library)


def made(kind):
    """A stream of each kind the cases start from: 'bounded' (longest_period 10) and
    'unbounded' hold 40 bars of period 8, the newest revised once; 'empty' holds none."""
    stream = tessaryn.Stream(0 if kind == "unbounded" else 10, gaps="propagate")
    if kind != "empty":
        stream.push_many(HISTORY[:-1], 8)
        stream.push(HISTORY[-1] + 1, 9)
        stream.revise(HISTORY[-1], 8)
    return stream


def probe(stream):
    """What the stream gives from here on: its length, its newest bar revised, more bars."""
    values = [len(stream)]
    if len(stream):
        values.append(stream.revise(HISTORY[-1] * 1.5, 7))
    values.append(stream.push(101.0, 9))
    values += list(stream.push_many(FIVE, [3, 10, 2, 9, 10]))
    return values


def assert_unchanged(stream, kind):
    got, expected = probe(stream), probe(made(kind))
    assert got[0] == expected[0], "the refused call changed the number of bars"
    for a, b in zip(got[1:], expected[1:]):
        assert_same_bits(np.asarray(a, np.float32), np.asarray(b, np.float32))


# (case, stream, call, exception, what the message holds: words, or codes whose C message
# it carries)
CASES = [
    # Refused by the C stream.
    ("pushed period above longest_period", "bounded", lambda s: s.push(1.0, 11), ValueError,
     ["period", "longest_period=10", PERIOD_ABOVE_BOUND]),
    ("period rounding above longest_period", "bounded", lambda s: s.push(1.0, 10.51),
     ValueError, ["period", PERIOD_ABOVE_BOUND]),
    ("revised period above longest_period", "bounded", lambda s: s.revise(1.0, 12),
     ValueError, ["period", PERIOD_ABOVE_BOUND]),
    ("one of push_many's periods above longest_period", "bounded",
     lambda s: s.push_many(FIVE, [3, 4, 11, 3, 3]), ValueError,
     ["periods", "longest_period=10", PERIOD_ABOVE_BOUND]),
    ("push_many's one period above longest_period", "bounded", lambda s: s.push_many(FIVE, 40),
     ValueError, ["periods", PERIOD_ABOVE_BOUND]),
    ("revise without a bar", "empty", lambda s: s.revise(1.0, 3), IndexError,
     ["revise", EMPTY]),
    ("revise with a bad period without a bar", "empty", lambda s: s.revise(1.0, 99),
     IndexError, [EMPTY]),
    # push and revise: one real number each, by position or by name.
    ("text price", "bounded", lambda s: s.push("1.5", 3), TypeError, ["price", "'1.5'"]),
    ("bool price", "bounded", lambda s: s.push(True, 3), TypeError, ["price", "True"]),
    ("complex price", "bounded", lambda s: s.push(1j, 3), TypeError, ["price", "1j"]),
    ("None as price", "bounded", lambda s: s.revise(None, 3), TypeError, ["price", "None"]),
    ("list as price", "bounded", lambda s: s.push([1.0], 3), TypeError, ["price", "list"]),
    ("array as price", "bounded", lambda s: s.push(np.ones(2), 3), TypeError,
     ["price", "(2,)"]),
    ("Series as price", "bounded", lambda s: s.push(pd.Series([1.0]), 3), TypeError,
     ["price", "Series", "(1,)"]),
    ("numpy bool price", "bounded", lambda s: s.push(np.bool_(True), 3), TypeError,
     ["price", "bool"]),
    ("object 0-D array price", "bounded", lambda s: s.push(np.array(1.0, object), 3),
     TypeError, ["price", "object"]),
    ("text period", "bounded", lambda s: s.revise(1.0, "3"), TypeError, ["period", "'3'"]),
    ("complex numpy period", "bounded", lambda s: s.push(1.0, np.complex64(3)), TypeError,
     ["period", "complex64"]),
    ("array of periods", "bounded", lambda s: s.push(1.0, np.ones(3, np.float32)), TypeError,
     ["period", "(3,)"]),
    ("a good price, a bad period", "bounded", lambda s: s.push(2.0, None), TypeError,
     ["period", "None"]),
    ("period missing", "bounded", lambda s: s.push(1.0), TypeError, ["push()", "'period'"]),
    ("three arguments", "bounded", lambda s: s.revise(1.0, 2, 3), TypeError,
     ["revise()", "2 positional", "3"]),
    ("unknown keyword", "bounded", lambda s: s.push(price=1.0, periods=3), TypeError,
     ["push()", "'periods'"]),
    ("price twice", "bounded", lambda s: s.push(1.0, 3, price=2.0), TypeError,
     ["push()", "'price'"]),
    # push_many: a series of real numbers and its periods.
    ("lengths differ", "bounded", lambda s: s.push_many(FIVE, [3, 3, 3, 3]), ValueError,
     ["periods", "5 bars", "4 bars"]),
    ("2-D prices", "bounded", lambda s: s.push_many(np.ones((5, 2)), 3), ValueError,
     ["prices", "2-D", "(5, 2)"]),
    ("0-D prices", "bounded", lambda s: s.push_many(np.float32(3), 3), ValueError,
     ["prices", "0-D"]),
    ("one number as prices", "bounded", lambda s: s.push_many(3.0, 3), ValueError,
     ["prices", "0-D"]),
    ("DataFrame prices", "bounded", lambda s: s.push_many(pd.DataFrame({"a": FIVE}), 3),
     ValueError, ["prices", "DataFrame"]),
    ("text prices", "bounded", lambda s: s.push_many(["1", "2"], 3), TypeError, ["prices"]),
    ("object prices", "bounded", lambda s: s.push_many(FIVE.astype(object), 3), TypeError,
     ["prices", "object"]),
    ("bool prices", "bounded", lambda s: s.push_many(FIVE > 10, 3), TypeError,
     ["prices", "bool"]),
    ("complex prices", "bounded", lambda s: s.push_many(FIVE.astype(complex), 3), TypeError,
     ["prices", "complex"]),
    ("object Series", "bounded", lambda s: s.push_many(pd.Series(["a"] * 5), 3), TypeError,
     ["prices", "object"]),
    ("None as prices", "bounded", lambda s: s.push_many(None, 3), TypeError, ["prices"]),
    ("dates as prices", "bounded",
     lambda s: s.push_many(np.arange(5).astype("datetime64[D]"), 3), TypeError,
     ["prices", "datetime64"]),
    ("2-D periods", "bounded", lambda s: s.push_many(FIVE, np.ones((5, 1))), ValueError,
     ["periods", "2-D"]),
    ("DataFrame periods", "bounded", lambda s: s.push_many(FIVE, pd.DataFrame({"a": FIVE})),
     ValueError, ["periods", "DataFrame"]),
    ("bool period", "bounded", lambda s: s.push_many(FIVE, True), TypeError,
     ["periods", "True"]),
    ("text period for push_many", "bounded", lambda s: s.push_many(FIVE, "3"), TypeError,
     ["periods"]),
    ("None as periods", "bounded", lambda s: s.push_many(FIVE, None), TypeError, ["periods"]),
    ("complex periods", "bounded", lambda s: s.push_many(FIVE, FIVE.astype(complex)),
     TypeError, ["periods", "complex"]),
    ("2^31 bars", "unbounded", lambda s: s.push_many(TOO_MANY_BARS, 3), ValueError,
     ["prices", "2147483648", "2^31 - 1"]),
    ("2^31 periods", "unbounded", lambda s: s.push_many(FIVE, TOO_MANY_BARS), ValueError,
     ["periods", "2147483648"]),
    ("prices missing", "empty", lambda s: s.push_many(periods=3), TypeError, ["prices"]),
]


@pytest.mark.parametrize("case", CASES, ids=[case[0] for case in CASES])
def test_refused_calls_say_why_and_change_nothing(c_library, case):
    _, kind, call, exception, words = case
    stream = made(kind)
    with pytest.raises(exception) as raised:
        call(stream)
    text = str(raised.value)
    for word in words:
        expected = message(c_library, word) if isinstance(word, int) else word
        assert expected in text, f"{expected!r} not in {text!r}"
    assert_unchanged(stream, kind)


# (arguments, keywords, exception, what the message holds)
CONSTRUCTIONS = [
    ((-1,), {}, ValueError, [NEGATIVE_BOUND, "-1"]),
    ((), {"longest_period": -(2**70)}, ValueError, [NEGATIVE_BOUND]),
    ((np.int64(-3),), {}, ValueError, [NEGATIVE_BOUND, "-3"]),
    ((2**31,), {}, ValueError, ["longest_period", "2147483648", "2147483647"]),
    ((2**80,), {}, ValueError, ["longest_period", str(2**80)]),
    ((20.0,), {}, TypeError, ["longest_period", "20.0"]),
    ((True,), {}, TypeError, ["longest_period", "True"]),
    (("20",), {}, TypeError, ["longest_period", "'20'"]),
    ((None,), {}, TypeError, ["longest_period", "None"]),
    ((), {"empty": "NaN"}, ValueError, ["empty", "'NaN'"]),
    ((), {"empty": None}, ValueError, ["empty", "None"]),
    ((0, "nan"), {}, TypeError, ["positional"]),
    ((), {"bound": 3}, TypeError, ["bound"]),
]


@pytest.mark.parametrize("case", CONSTRUCTIONS, ids=[repr(c[:2]) for c in CONSTRUCTIONS])
def test_bad_construction_is_refused_by_name(c_library, case):
    arguments, keywords, exception, words = case
    with pytest.raises(exception) as raised:
        tessaryn.Stream(*arguments, **keywords)
    text = str(raised.value)
    for word in words:
        expected = message(c_library, word) if isinstance(word, int) else word
        assert expected in text, f"{expected!r} not in {text!r}"


def test_streams_cannot_be_copied_or_pickled():
    """A copy would share the C stream with its original."""
    stream = made("bounded")
    for duplicate in (copy.copy, copy.deepcopy, pickle.dumps):
        with pytest.raises(TypeError):
            duplicate(stream)
    assert_unchanged(stream, "bounded")


def test_periods_above_the_bound_on_bars_not_computed_are_data(reference):
    """A period above longest_period is refused only where the bar would be computed; past
    the bar's index it leaves the bar empty, as in the routines. NaN and infinities are data."""
    stream = tessaryn.Stream(4)
    prices = np.float32([1, 2, np.nan, 4, np.inf, 6, 7, 8])
    periods = np.float32([30, 4, 3, 4, 1, np.nan, -np.inf, 2**31])
    out = stream.push_many(prices, periods)
    assert_same_bits(out.trend, reference("ITrend", prices, periods))
    assert np.isnan(stream.push(9.0, 1e9).model)
