// What the package's tests share: the package under test (TESSARYN_PACKAGE, the build's
// build/wasm/js), its modules, and the case files to hold it to.
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

import { firstDifference, readCases } from "./case_file.mjs";

const here = path.dirname(new URL(import.meta.url).pathname);
export const packageDir = process.env.TESSARYN_PACKAGE ?? path.join(here, "../../build/wasm/js");
export const tessaryn = await import(pathToFileURL(path.join(packageDir, "index.js")).href);

// The module with SIMD128 (two bars at a time) where this runtime has it, and the one
// without, which every runtime loads: both must give the same bits.
export async function everyModule() {
  const modules = [{ name: "one bar at a time", library: await tessaryn.load({ simd: false }) }];
  if (tessaryn.hasSimd()) {
    modules.unshift({ name: "two bars at a time (SIMD128)", library: await tessaryn.load({ simd: true }) });
  }
  return modules;
}

// The committed cases and, where a build of the C library wrote them, its reference cases.
export function caseFiles() {
  const files = [process.env.TESSARYN_CASES ?? path.join(here, "../../tests/cases/filters.cases")];
  const reference = process.env.TESSARYN_REFERENCE_CASES;
  if (reference) {
    assert.ok(existsSync(reference), `TESSARYN_REFERENCE_CASES: no file ${reference}`);
    files.push(reference);
  }
  return files.map((file) => ({ file, cases: readCases(file) }));
}

export const ROUTINES = [
  { name: "ITrend", call: "itrend", output: "trend" },
  { name: "CyclicalComponent", call: "cyclicalComponent", output: "cycle" },
  { name: "Tessaryn", call: "tessaryn", output: "model" },
];

export function assertSameBits(got, want, what) {
  const bar = firstDifference(got, want);
  assert.equal(bar, -1, `${what}: bar ${bar} is ${got[bar]}, the C library's is ${want[bar]}`);
}

// Seeded series (a small linear congruential generator), periods drawn per bar.
export function seededSeries(seed, bars, level, longest) {
  let state = seed >>> 0;
  const next = () => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return state / 4294967296;
  };
  const prices = new Float32Array(bars);
  const periods = new Float32Array(bars);
  let price = level;
  for (let i = 0; i < bars; ++i) {
    price += (next() - 0.5) * level * 0.02;
    prices[i] = price;
    periods[i] = Math.floor(next() * 2 * longest + 2) / 2;
  }
  return { prices, periods };
}
