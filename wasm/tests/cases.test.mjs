// Every case, every routine, every way in: the package's values against the C library's bits.
import assert from "node:assert/strict";
import { describe, it } from "node:test";

import { ROUTINES, assertSameBits, caseFiles, everyModule, tessaryn } from "./support.mjs";

const modules = await everyModule();
const files = caseFiles();

// The routines a case gives bars for (a case file may give some only).
const listed = (c) => ROUTINES.filter(({ name }) => c.expected[name] !== undefined);

for (const { name: moduleName, library } of modules) {
  for (const { file, cases } of files) {
    describe(`${moduleName}: ${file}`, () => {
      it("has cases, each with a routine's bars", () => {
        assert.ok(cases.length >= 10);
        for (const c of cases) assert.ok(listed(c).length > 0, c.name);
      });

      it("gives each routine's bits on every bar, the marker asked for", () => {
        for (const c of cases) {
          for (const { name, call } of listed(c)) {
            const out = library[call](c.prices, c.periods, { empty: "marker" });
            assert.ok(out instanceof Float32Array);
            assertSameBits(out, c.expected[name], `${c.name} / ${name}`);
          }
        }
      });

      it("gives NaN for the marker by default and the same bits elsewhere", () => {
        for (const c of cases) {
          for (const { name, call } of listed(c)) {
            const want = c.expected[name].map((v) => (v === tessaryn.EMPTY ? NaN : v));
            assertSameBits(library[call](c.prices, c.periods), want, `${c.name} / ${name}`);
          }
        }
      });

      it("takes plain numbers and one period for every bar as the arrays", () => {
        for (const c of cases) {
          const uniform = c.periods.every((p) => Object.is(p, c.periods[0]));
          const period = uniform ? c.periods[0] : Array.from(c.periods);
          for (const { name, call } of listed(c)) {
            const out = library[call](Array.from(c.prices), period, { empty: "marker" });
            assertSameBits(out, c.expected[name], `${c.name} / ${name} from numbers`);
          }
        }
      });

      it("gives all three at once from indicators()", () => {
        for (const c of cases) {
          const all = library.indicators(c.prices, c.periods, { empty: "marker" });
          for (const { name, output } of listed(c)) {
            assertSameBits(all[output], c.expected[name], `${c.name} / indicators().${output}`);
          }
        }
      });

      it("streams the same bits: pushMany, push bar by bar, revise from a wrong price", () => {
        for (const c of cases) {
          const bars = c.prices.length;
          const many = new library.Stream(0, { empty: "marker" });
          const atOnce = many.pushMany(c.prices, c.periods);
          const oneByOne = new library.Stream(0, { empty: "marker" });
          const revised = new library.Stream(0, { empty: "marker" });
          const got = { trend: new Float32Array(bars), cycle: new Float32Array(bars), model: new Float32Array(bars) };
          for (let i = 0; i < bars; ++i) {
            const pushed = oneByOne.push(c.prices[i], c.periods[i]);
            revised.push(c.prices[i] + 1000, c.periods[i] + 3);
            const values = revised.revise(c.prices[i], c.periods[i]);
            for (const { output } of ROUTINES) {
              got[output][i] = pushed[output];
              assert.ok(Object.is(values[output], pushed[output]) || (Number.isNaN(values[output]) && Number.isNaN(pushed[output])),
                `${c.name}: revised bar ${i} ${output}`);
            }
          }
          assert.equal(oneByOne.size, bars);
          for (const { name, output } of listed(c)) {
            assertSameBits(atOnce[output], c.expected[name], `${c.name} / pushMany ${output}`);
            assertSameBits(got[output], c.expected[name], `${c.name} / push ${output}`);
          }
          for (const stream of [many, oneByOne, revised]) stream.free();
        }
      });
    });
  }
}
