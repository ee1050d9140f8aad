// Bad arguments throw a TypeError or a RangeError that names the argument; good ones of every
// accepted kind give the same values. Streams: bound, reset, size, free.
import assert from "node:assert/strict";
import { describe, it } from "node:test";

import { assertSameBits, seededSeries, tessaryn } from "./support.mjs";

const library = await tessaryn.load();
const { itrend, indicators, Stream } = library;
const prices = new Float32Array([1, 2, 3, 4, 5, 6]);

describe("routine arguments", () => {
  const bad = [
    ["prices as a string", () => itrend("1,2,3", 2), TypeError, /^prices must be/],
    ["prices missing", () => itrend(undefined, 2), TypeError, /^prices must be/],
    ["a price that is no number", () => itrend([1, "2", 3], 2), TypeError, /^prices\[1\] must be a number/],
    ["BigInt prices", () => itrend(new BigInt64Array(3), 2), TypeError, /^prices must be/],
    ["period as a string", () => itrend(prices, "20"), TypeError, /^period must be/],
    ["period missing", () => itrend(prices), TypeError, /^period must be/],
    ["a period that is no number", () => itrend(prices, [1, 2, 3, 4, 5, null]), TypeError, /^period\[5\] must be a number/],
    ["too few periods", () => itrend(prices, [2, 2]), RangeError, /^period has 2 values for 6 bars/],
    ["too many periods", () => itrend(prices, new Float32Array(7)), RangeError, /^period has 7 values for 6 bars/],
    ["options not an object", () => itrend(prices, 2, "nan"), TypeError, /^options must be/],
    ["an unknown option", () => itrend(prices, 2, { emtpy: "nan" }), TypeError, /^options\.emtpy is not an option/],
    ["empty neither nan nor marker", () => itrend(prices, 2, { empty: "zero" }), RangeError, /^options\.empty must be/],
    ["indicators' prices", () => indicators({}, 2), TypeError, /^prices must be/],
  ];
  for (const [what, call, type, message] of bad) {
    it(`throws for ${what}`, () => {
      assert.throws(call, (error) => error instanceof type && message.test(error.message));
    });
  }

  it("takes every kind of series with the same result", () => {
    const { prices: p, periods } = seededSeries(7, 500, 100, 30);
    const want = itrend(p, periods, { empty: "marker" });
    for (const [what, asPrices, asPeriods] of [
      ["arrays", Array.from(p), Array.from(periods)],
      ["Float64Arrays", Float64Array.from(p), Float64Array.from(periods)],
      ["subarrays", new Float32Array([0, ...p]).subarray(1), new Float32Array([0, ...periods]).subarray(1)],
    ]) {
      assertSameBits(itrend(asPrices, asPeriods, { empty: "marker" }), want, what);
    }
  });

  it("computes nothing for no bars and treats out-of-contract periods as the C library does", () => {
    assert.equal(itrend([], 3).length, 0);
    const out = itrend(prices, [0, -1, NaN, Infinity, 2.5, 3.5], { empty: "marker" });
    assert.deepEqual(Array.from(out.slice(0, 4)), [tessaryn.EMPTY, tessaryn.EMPTY, tessaryn.EMPTY, tessaryn.EMPTY]);
    assert.ok(Number.isFinite(out[4]) && out[4] < 1e38); // 2.5 acts as 2: bar 4 is computed
  });

  it("leaves the caller's arrays as they were", () => {
    const p = Float32Array.from(prices);
    const periods = [2, 2, 2, 2, 2, 2];
    indicators(p, periods);
    assert.deepEqual(Array.from(p), Array.from(prices));
    assert.deepEqual(periods, [2, 2, 2, 2, 2, 2]);
  });

  it("stays right when the module's memory grows under a call, and keeps no large region", () => {
    const stream = new Stream(10, { empty: "marker" });
    const before = stream.push(100, 2);
    const bars = (1 << 22) + 3; // 16 MB a series: the memory must grow
    for (const period of [20, 20, 21]) {
      const flat = itrend(new Float32Array(bars).fill(5), period, { empty: "marker" });
      assert.equal(flat.length, bars);
      assert.equal(flat[period - 1], tessaryn.EMPTY);
      assert.ok(flat.subarray(period).every((v) => v === 5), `period ${period}`);
    }
    assert.deepEqual(stream.push(101, 2), stream.revise(101, 2));
    assert.equal(stream.size, 2);
    assert.equal(before.trend, tessaryn.EMPTY);
    stream.free();
  });

  it("exports the marker with its bits", () => {
    assert.equal(new Uint32Array(new Float32Array([tessaryn.EMPTY]).buffer)[0], 0x7f7fc99e);
    assert.equal(library.EMPTY, tessaryn.EMPTY);
  });
});

describe("Stream", () => {
  const bad = [
    ["a bound as a string", () => new Stream("20"), TypeError, /^longestPeriod must be a number/],
    ["a negative bound", () => new Stream(-1), RangeError, /^longestPeriod must be/],
    ["a fractional bound", () => new Stream(2.5), RangeError, /^longestPeriod must be/],
    ["a bound past 2^31 - 1", () => new Stream(2 ** 31), RangeError, /^longestPeriod must be/],
    ["bad options", () => new Stream(5, { empty: 0 }), RangeError, /^options\.empty must be/],
    ["a price that is no number", () => new Stream(5).push("1", 2), TypeError, /^price must be a number/],
    ["a period that is no number", () => new Stream(5).push(1, [2]), TypeError, /^period must be a number/],
    ["a period above the bound", () => withBars(new Stream(5), 9).push(1, 6), RangeError, /^period 6/],
    ["pushMany's periods", () => new Stream(5).pushMany([1, 2], [2]), RangeError, /^period has 1 values for 2 bars/],
    ["revise before any bar", () => new Stream(5).revise(1, 2), Error, /./],
  ];
  function withBars(stream, bars) {
    for (let i = 0; i < bars; ++i) stream.push(i, 2);
    return stream;
  }
  for (const [what, call, type, message] of bad) {
    it(`throws for ${what}`, () => {
      assert.throws(call, (error) => error instanceof type && message.test(error.message));
    });
  }

  it("changes nothing on a refused bar", () => {
    const stream = withBars(new Stream(5), 9);
    const before = stream.push(10, 3);
    assert.throws(() => stream.revise(10, 7), RangeError);
    assert.equal(stream.size, 10);
    assert.deepEqual(stream.revise(10, 3), before);
  });

  it("counts its bars, forgets them on reset, and refuses every call once freed", () => {
    const stream = new Stream(0);
    assert.equal(stream.size, 0);
    stream.pushMany(seededSeries(3, 1000, 50, 20).prices, 20);
    assert.equal(stream.size, 1000);
    stream.reset();
    assert.equal(stream.size, 0);
    assert.ok(Number.isNaN(stream.push(1, 2).trend));
    stream.free();
    stream.free();
    for (const call of [() => stream.push(1, 2), () => stream.reset(), () => stream.size, () => stream.pushMany([1], 1)]) {
      assert.throws(call, /freed/);
    }
  });

  it("gives the routine's values with a bound, over a long series", () => {
    const stream = new Stream(50, { empty: "marker" });
    const { prices: p, periods } = seededSeries(11, 200000, 1000, 50);
    stream.pushMany(p.subarray(0, 100000), periods.subarray(0, 100000));
    const last = stream.pushMany(p.subarray(100000), periods.subarray(100000));
    const want = indicators(p, periods, { empty: "marker" });
    for (const output of ["trend", "cycle", "model"]) {
      assertSameBits(last[output], want[output].subarray(100000), `bounded stream ${output}`);
    }
    stream.free();
  });
});
