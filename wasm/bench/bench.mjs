// The package's speed under Node against the native library's on the same machine, in one run:
// each routine over the same seeded walk at period 20 (native.c builds the same one), best of
// 10 runs, for a chart's worth of bars (2^16) and for 2^20. Three figures per routine:
//   native   the C library on the caller's arrays (libtessaryn.a, its widest lanes);
//   module   the same C call inside the WebAssembly module, on arrays in its memory;
//   API      the package's function as a caller uses it: a Float32Array in, a new one out,
//            empty bars as NaN (the copies in and out, and the new array's first touch,
//            included).
// Usage: node wasm/bench/bench.mjs [build/wasm/js] [build/release/libtessaryn.a]
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), "../..");
const packageDir = path.resolve(process.argv[2] ?? path.join(root, "build/wasm/js"));
const nativeLibrary = path.resolve(process.argv[3] ?? path.join(root, "build/release/libtessaryn.a"));
const PERIOD = 20;
const RUNS = 10;
const ROUTINES = [
  ["ITrend", "itrend"],
  ["CyclicalComponent", "cyclicalComponent"],
  ["Tessaryn", "tessaryn"],
];

const { hasSimd, load } = await import(pathToFileURL(path.join(packageDir, "index.js")).href);

function walk(bars) {
  const prices = new Float32Array(bars);
  let state = 1;
  let price = 1000;
  for (let i = 0; i < bars; ++i) {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    price += (state / 4294967296 - 0.5) * 20;
    prices[i] = price;
  }
  return prices;
}

// About 2^22 bars a run, whatever the size of one call.
const callsFor = (bars) => Math.max(1, Math.floor(2 ** 22 / bars));

function best(bars, call) {
  const calls = callsFor(bars);
  let fastest = Infinity;
  for (let k = 0; k < RUNS; ++k) {
    const start = performance.now();
    for (let c = 0; c < calls; ++c) call();
    fastest = Math.min(fastest, (performance.now() - start) / calls);
  }
  return bars / fastest / 1e3; // M bars/s
}

// The module's own routine on arrays already in its memory: the call a C caller makes.
async function inModule(file, bars) {
  const module = await WebAssembly.compile(readFileSync(path.join(packageDir, file)));
  const imports = {};
  for (const { module: from, name } of WebAssembly.Module.imports(module)) {
    (imports[from] ??= {})[name] = () => 0;
  }
  const { exports } = await WebAssembly.instantiate(module, imports);
  exports._initialize?.();
  const at = exports.malloc(12 * bars);
  const heap = new Float32Array(exports.memory.buffer);
  heap.set(walk(bars), at >>> 2);
  heap.fill(PERIOD, (at >>> 2) + bars, (at >>> 2) + 2 * bars);
  return Object.fromEntries(
    ROUTINES.map(([name]) => [name, best(bars, () => exports[name](at, at + 4 * bars, bars, at + 8 * bars))]),
  );
}

const work = mkdtempSync(path.join(tmpdir(), "tessaryn-bench-"));
const program = path.join(work, "native");
execFileSync("cc", ["-O2", "-std=c11", "-Wall", `-I${path.join(root, "exports")}`, path.join(root, "wasm/bench/native.c"), nativeLibrary, "-o", program]);

console.log(`Node ${process.versions.node}, period ${PERIOD}, best of ${RUNS} runs (M bars/s; ratios to native)`);
console.log("| bars | module | routine | native | module | API | module / native | API / native |");
console.log("| --- | --- | --- | --- | --- | --- | --- | --- |");
const modules = [[false, "one bar", "tessaryn.wasm"]];
if (hasSimd()) modules.unshift([true, "two bars (SIMD128)", "tessaryn-simd.wasm"]);
for (const bars of [2 ** 16, 2 ** 20]) {
  const native = JSON.parse(
    execFileSync(program, [String(bars), String(PERIOD), String(RUNS), String(callsFor(bars))], { encoding: "utf8" }),
  );
  const prices = walk(bars);
  for (const [simd, name, file] of modules) {
    const library = await load({ simd });
    const raw = await inModule(file, bars);
    for (const [routine, call] of ROUTINES) {
      const api = best(bars, () => library[call](prices, PERIOD));
      const n = native[routine];
      console.log(
        `| 2^${Math.log2(bars)} | ${name} | \`${routine}\` | ${n.toFixed(0)} | ${raw[routine].toFixed(0)} | ${api.toFixed(0)} | ${(raw[routine] / n).toFixed(2)} | ${(api / n).toFixed(2)} |`,
      );
    }
  }
}
rmSync(work, { recursive: true, force: true });
