// index.html?selftest: the library over the cases shipped with the page (data/filters.cases,
// the C library's bits), with every module this browser runs, routines and streams; the
// page then reads "selftest: N passed, M failed".
import { firstDifference, parseCases } from "./cases.js";
import { hasSimd, load } from "./tessaryn/index.js";

const ROUTINES = [
  ["ITrend", "itrend", "trend"],
  ["CyclicalComponent", "cyclicalComponent", "cycle"],
  ["Tessaryn", "tessaryn", "model"],
];

export async function selfTest(url = "data/filters.cases") {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status}`);
  const cases = parseCases(await response.text(), url);
  const libraries = [await load({ simd: false })];
  if (hasSimd()) libraries.push(await load({ simd: true }));
  let passed = 0;
  const failures = [];
  const check = (what, got, want) => {
    const bar = firstDifference(got, want);
    if (bar === -1) ++passed;
    else failures.push(`${what}: bar ${bar} is ${got[bar]}, want ${want[bar]}`);
  };
  for (const library of libraries) {
    const width = library.simd ? "two bars" : "one bar";
    for (const c of cases) {
      const stream = new library.Stream(0, { empty: "marker" });
      const streamed = { trend: [], cycle: [], model: [] };
      for (let i = 0; i < c.prices.length; ++i) {
        const values = stream.push(c.prices[i], c.periods[i]);
        for (const output in streamed) streamed[output].push(values[output]);
      }
      stream.free();
      for (const [name, call, output] of ROUTINES) {
        if (c.expected[name] === undefined) continue; // a case file may give some routines only
        check(`${width} / ${c.name} / ${name}`, library[call](c.prices, c.periods, { empty: "marker" }), c.expected[name]);
        check(`${width} / ${c.name} / stream ${output}`, Float32Array.from(streamed[output]), c.expected[name]);
      }
    }
  }
  return { passed, failed: failures.length, failures };
}
