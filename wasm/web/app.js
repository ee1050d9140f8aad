// The page: the bundled DAX sample or a dropped CSV, one column's three indicators charted at
// the period the slider gives, and a live mode that replays the last bars tick by tick
// through a Stream (the forming bar revised on every tick). Everything it computes is the
// package's; everything it shows stays on this machine.
import { Charts } from "./chart.js";
import { CsvError, barsOf, parseCsv } from "./csv.js";
import { selfTest } from "./selftest.js";
import { load } from "./tessaryn/index.js";

const $ = (id) => document.getElementById(id);
const LIVE_BARS = 40;
const TICKS_PER_BAR = 5;
const TICK_MS = 25;

// What the page test reads: when the sample was first charted, how long the last redraw took.
const page = { timings: {}, live: null };
window.tessarynPage = page;

let library = null;
let table = null;
let bars = null;
let live = null;
const charts = new Charts($("top"), $("bottom"));

function say(text, kind = "info") {
  const box = $("message");
  box.textContent = text;
  box.className = kind;
}

function period() {
  return Number($("period").value);
}

function values() {
  const { trend, cycle, model } = library.indicators(bars.prices, period());
  return { ...bars, trend, cycle, model };
}

// A new table from `text`: its columns offered, `preferred` (or the first usable one) drawn.
// A file that cannot be read leaves the chart as it was and says why.
function open(text, source, preferred) {
  let next;
  try {
    next = parseCsv(text);
  } catch (error) {
    if (!(error instanceof CsvError)) throw error;
    say(`${source}: ${error.message}; the chart still shows ${table ? table.source : "nothing"}`, "error");
    return false;
  }
  next.source = source;
  const column = next.numeric.includes(preferred) ? preferred : next.numeric.find((n) => n !== next.names[0]) ?? next.numeric[0];
  if (!show(next, column)) return false;
  table = next;
  const select = $("column");
  select.replaceChildren(...next.numeric.map((name) => new Option(name, name, false, name === column)));
  return true;
}

function show(from, column) {
  let next;
  try {
    next = { ...barsOf(from, column), name: column };
  } catch (error) {
    if (!(error instanceof CsvError)) throw error;
    say(`${from.source}: ${error.message}`, "error");
    return false;
  }
  stopLive();
  bars = next;
  charts.show(values());
  say(`${from.source}: ${column}, ${bars.prices.length} bars, period ${period()}`);
  return true;
}

function redraw() {
  const started = performance.now();
  stopLive();
  $("period-value").textContent = String(period());
  charts.update(values());
  requestAnimationFrame(() => {
    page.timings.redraw = performance.now() - started;
    say(`${table.source}: ${bars.name}, ${bars.prices.length} bars, period ${period()} (${page.timings.redraw.toFixed(1)} ms)`);
  });
}

async function openFile(file) {
  if (file.size > 64 * 1024 * 1024) {
    say(`${file.name}: ${file.size} bytes is more than this page reads (64 MB)`, "error");
    return;
  }
  let text;
  try {
    text = await file.text();
  } catch (error) {
    say(`${file.name}: could not be read (${error.message})`, "error");
    return;
  }
  open(text, file.name, $("column").value);
}

// Live: the bars before the last LIVE_BARS at once, then each of those bars as ticks that
// wander to its close, the first pushed and the rest revising it.
function startLive() {
  stopLive();
  const all = values();
  const n = bars.prices.length;
  const from = Math.max(1, n - LIVE_BARS);
  const stream = new library.Stream(Number($("period").max));
  const history = stream.pushMany(bars.prices.subarray(0, from), period());
  const shown = {
    ...bars,
    prices: new Float32Array(n).fill(NaN),
    trend: new Float32Array(n).fill(NaN),
    cycle: new Float32Array(n).fill(NaN),
    model: new Float32Array(n).fill(NaN),
  };
  shown.prices.set(bars.prices.subarray(0, from));
  for (const key of ["trend", "cycle", "model"]) shown[key].set(history[key]);
  let bar = from;
  let tick = 0;
  let seed = 12345;
  const noise = () => {
    seed = (Math.imul(seed, 1664525) + 1013904223) >>> 0;
    return seed / 4294967296 - 0.5;
  };
  const state = { stream, timer: 0, ticks: 0, same: true };
  live = state;
  page.live = { done: false, same: null, ticks: 0 };
  $("live").textContent = "Stop";
  const step = () => {
    const before = bars.prices[bar - 1];
    const close = bars.prices[bar];
    const last = tick === TICKS_PER_BAR - 1;
    const share = (tick + 1) / TICKS_PER_BAR;
    const price = last ? close : before + (close - before) * share + noise() * Math.abs(close - before + 1) * (1 - share);
    const v = tick === 0 ? stream.push(price, period()) : stream.revise(price, period());
    shown.prices[bar] = price;
    shown.trend[bar] = v.trend;
    shown.cycle[bar] = v.cycle;
    shown.model[bar] = v.model;
    state.ticks += 1;
    if (last) {
      for (const key of ["trend", "cycle", "model"]) {
        const a = shown[key][bar];
        const b = all[key][bar];
        state.same &&= Object.is(a, b) || (Number.isNaN(a) && Number.isNaN(b));
      }
      bar += 1;
      tick = 0;
    } else {
      tick += 1;
    }
    charts.update(shown);
    say(`live: bar ${Math.min(bar, n)} of ${n}, tick ${state.ticks}`);
    if (bar === n) {
      page.live = { done: true, same: state.same, ticks: state.ticks };
      say(`live: ${n - from} bars replayed in ${state.ticks} ticks; the stream's values ${state.same ? "equal" : "DIFFER FROM"} the routines'`, state.same ? "info" : "error");
      stopLive();
      return;
    }
    state.timer = setTimeout(step, TICK_MS);
  };
  step();
}

function stopLive() {
  if (live === null) return;
  clearTimeout(live.timer);
  live.stream.free();
  live = null;
  $("live").textContent = "Live";
}

async function main() {
  try {
    library = await load();
  } catch (error) {
    say(`the library could not be loaded: ${error.message}`, "error");
    return;
  }
  $("lanes").textContent = library.simd ? "two bars at a time (SIMD128)" : "one bar at a time";
  $("period").addEventListener("input", redraw);
  $("column").addEventListener("change", () => show(table, $("column").value));
  $("file").addEventListener("change", (event) => {
    if (event.target.files.length > 0) openFile(event.target.files[0]);
  });
  $("sample").addEventListener("click", () => openSample());
  $("live").addEventListener("click", () => (live === null ? startLive() : stopLive()));
  const drop = document.body;
  drop.addEventListener("dragover", (event) => {
    event.preventDefault();
    drop.classList.add("dragging");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("dragging"));
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("dragging");
    const file = event.dataTransfer?.files?.[0];
    if (file) openFile(file);
    else say("nothing to open: drop a CSV file", "error");
  });

  await openSample();
  await new Promise(requestAnimationFrame);
  page.timings.firstChart = performance.now();
  document.body.dataset.ready = "yes";

  if (new URLSearchParams(location.search).has("selftest")) {
    const out = $("selftest");
    try {
      const { passed, failed, failures } = await selfTest();
      out.textContent = `selftest: ${passed} passed, ${failed} failed`;
      if (failures.length > 0) out.title = failures.slice(0, 20).join("\n");
    } catch (error) {
      out.textContent = `selftest: 0 passed, 1 failed (${error.message})`;
    }
    out.hidden = false;
  }
}

async function openSample() {
  const response = await fetch("data/eu-stock-markets.csv");
  if (!response.ok) {
    say(`the sample could not be fetched (${response.status})`, "error");
    return;
  }
  open(await response.text(), "eu-stock-markets.csv (sample)", "DAX");
}

main();
