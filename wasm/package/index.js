// tessaryn: the C library's three indicators and its streams, compiled to WebAssembly. The
// module is the library itself, so every value has the bits the C functions give; this file
// only moves arrays in and out of its memory and checks the arguments on the way.

const EMPTY_BITS = 0x7f7fc99e;

/** The marker on bars that are not computed, with { empty: "marker" }: 3.4E+38 as float32. */
export const EMPTY = new Float32Array(new Uint32Array([EMPTY_BITS]).buffer)[0];

// (module (func (result v128) i32.const 0 i8x16.splat)): valid only where SIMD128 is.
const SIMD_PROBE = new Uint8Array([
  0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 8, 1, 6, 0, 65, 0, 253, 15,
  11,
]);

const MAX_BARS = 2147483647;
const STREAM_PERIOD_ABOVE_BOUND = 3;
// A constant period is kept filled in the module's memory for series up to this long; longer
// ones fill it afresh for the call, so that no large region stays taken.
const KEPT_PERIOD_BARS = 1 << 20;

/** Whether this runtime runs WebAssembly's SIMD128 (then two bars go through at a time). */
export function hasSimd() {
  return WebAssembly.validate(SIMD_PROBE);
}

async function moduleBytes(file) {
  const url = new URL(file, import.meta.url);
  if (url.protocol === "file:" && typeof process === "object" && process.versions?.node) {
    const { readFile } = await import("node:fs/promises");
    return readFile(url);
  }
  const response = await fetch(url);
  if (!response.ok) {
    throw new Error(`tessaryn: ${url} answered ${response.status} ${response.statusText}`);
  }
  return response.arrayBuffer();
}

// What the module imports: its memory's growth notice (nothing to do: views are made afresh
// after every allocation) and the system calls of an abort, which the library never makes.
function importsOf(module) {
  const imports = {};
  for (const { module: from, name, kind } of WebAssembly.Module.imports(module)) {
    if (kind !== "function") {
      throw new Error(`tessaryn: the module imports a ${kind} (${from}.${name})`);
    }
    imports[from] ??= {};
    imports[from][name] =
      name === "emscripten_notify_memory_growth"
        ? () => {}
        : () => {
            throw new Error(`tessaryn: the library called ${from}.${name}`);
          };
  }
  return imports;
}

function describe(value) {
  if (value === null) return "null";
  if (Array.isArray(value)) return "an array";
  if (ArrayBuffer.isView(value)) return `a ${value.constructor.name}`;
  if (typeof value === "string") return `the string ${JSON.stringify(value)}`;
  return typeof value === "object" || typeof value === "function" ? `a ${typeof value}` : String(value);
}

function isNumberView(value) {
  return (
    ArrayBuffer.isView(value) &&
    !(value instanceof DataView) &&
    !(value instanceof BigInt64Array) &&
    !(value instanceof BigUint64Array)
  );
}

// A series argument: a Float32Array as it is, numbers as float32 (rounded to nearest, as
// the C library's callers convert them).
function checkSeries(values, name) {
  if (isNumberView(values)) {
    return values;
  }
  if (!Array.isArray(values)) {
    throw new TypeError(`${name} must be a Float32Array or an array of numbers, got ${describe(values)}`);
  }
  for (let i = 0; i < values.length; ++i) {
    if (typeof values[i] !== "number") {
      throw new TypeError(`${name}[${i}] must be a number, got ${describe(values[i])}`);
    }
  }
  return values;
}

function checkBars(prices) {
  const series = checkSeries(prices, "prices");
  if (series.length > MAX_BARS) {
    throw new RangeError(`prices has ${series.length} bars, more than the library's 2^31 - 1`);
  }
  return series;
}

// A period: one number for every bar, or one per bar. Any number goes, as in C: a period
// that does not round to 1 .. 2^31 - 1 (0, negative, NaN, infinite) leaves its bar empty.
function checkPeriod(period, bars) {
  if (typeof period === "number") {
    return period;
  }
  if (!isNumberView(period) && !Array.isArray(period)) {
    throw new TypeError(
      `period must be a number or one number per bar (Float32Array or array), got ${describe(period)}`,
    );
  }
  const series = checkSeries(period, "period");
  if (series.length !== bars) {
    throw new RangeError(`period has ${series.length} values for ${bars} bars: give one number, or one per bar`);
  }
  return series;
}

function checkOptions(options) {
  if (options === undefined || options === null) {
    return "nan";
  }
  if (typeof options !== "object" || Array.isArray(options)) {
    throw new TypeError(`options must be an object such as { empty: "nan" }, got ${describe(options)}`);
  }
  for (const key of Object.keys(options)) {
    if (key !== "empty") {
      throw new TypeError(`options.${key} is not an option (there is one: empty)`);
    }
  }
  const empty = options.empty ?? "nan";
  if (empty !== "nan" && empty !== "marker") {
    throw new RangeError(`options.empty must be "nan" or "marker", got ${describe(empty)}`);
  }
  return empty;
}

class Library {
  constructor(instance, simd) {
    this.exports = instance.exports;
    this.simd = simd;
    this.exports._initialize?.();
  }

  floats() {
    return new Float32Array(this.exports.memory.buffer);
  }

  // `bytes` of the module's memory, or a RangeError naming what did not fit.
  // Addresses come back from the module as signed 32-bit numbers: >>> 0 makes those past 2 GB
  // positive, as views need them.
  allocate(bytes, name) {
    const at = bytes > 0xffffffff ? 0 : this.exports.malloc(bytes) >>> 0;
    if (at === 0) {
      throw new RangeError(`${name} does not fit in WebAssembly's memory (${bytes} bytes)`);
    }
    return at;
  }

  // One period for n bars: a region of the module's memory that holds it n times, kept from
  // call to call (the usual caller asks for the same period again and again).
  constantPeriods(period, n) {
    const kept = this.kept;
    if (kept !== undefined && kept.bars >= n && Object.is(kept.period, period)) {
      return kept.at;
    }
    const bars = Math.max(n, kept?.bars ?? 0);
    if (kept !== undefined) {
      this.exports.free(kept.at);
      this.kept = undefined;
    }
    const at = this.allocate(Math.max(1, bars) * 4, "period");
    this.floats().fill(period, at >>> 2, (at >>> 2) + bars);
    this.kept = { at, bars, period };
    return at;
  }

  // Prices (and periods, one per bar) into the module's memory, then room for `outputs`
  // arrays of n floats. Returns { at (to free), prices, periods, out: [addresses] }.
  stage(prices, period, outputs, name) {
    const n = prices.length;
    const kept = typeof period === "number" && n <= KEPT_PERIOD_BARS;
    const periods = kept ? this.constantPeriods(period, n) : 0;
    const at = this.allocate(Math.max(1, (1 + (kept ? 0 : 1) + outputs) * n) * 4, name);
    // After the allocations: the memory may have grown, and views of the old one are empty.
    const heap = this.floats();
    heap.set(prices, at >>> 2);
    let next = at + 4 * n;
    const staged = { at, prices: at, periods, out: [] };
    if (!kept) {
      if (typeof period === "number") {
        heap.fill(period, next >>> 2, (next >>> 2) + n);
      } else {
        heap.set(period, next >>> 2);
      }
      staged.periods = next;
      next += 4 * n;
    }
    for (let k = 0; k < outputs; ++k, next += 4 * n) {
      staged.out.push(next);
    }
    return staged;
  }

  // n floats from `at` as a new array, the marker made NaN unless it is asked for.
  take(at, n, empty) {
    if (empty === "nan") {
      this.exports.TessarynWasmEmptyToNaN(at, n);
    }
    const values = new Float32Array(n);
    values.set(this.floats().subarray(at >>> 2, (at >>> 2) + n));
    return values;
  }

  message(code) {
    const at = this.exports.TessarynStreamMessage(code) >>> 0;
    const bytes = new Uint8Array(this.exports.memory.buffer, at);
    return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
  }
}

const ROUTINES = ["ITrend", "CyclicalComponent", "Tessaryn"];

// The routines `names` over one series, each into a new array.
function runRoutines(library, names, prices, period, options) {
  const series = checkBars(prices);
  const periods = checkPeriod(period, series.length);
  const empty = checkOptions(options);
  const n = series.length;
  const staged = library.stage(series, periods, names.length, "prices");
  try {
    names.forEach((name, k) => library.exports[name](staged.prices, staged.periods, n, staged.out[k]));
    return staged.out.map((at) => library.take(at, n, empty));
  } finally {
    library.exports.free(staged.at);
  }
}

function routine(library, name) {
  return (prices, period, options) => runRoutines(library, [name], prices, period, options)[0];
}

function indicators(library) {
  return (prices, period, options) => {
    const [trend, cycle, model] = runRoutines(library, ROUTINES, prices, period, options);
    return { trend, cycle, model };
  };
}

function streamClass(library) {
  const lib = library.exports;
  const freed = new FinalizationRegistry(({ handle, out }) => {
    lib.TessarynStreamDestroy(handle);
    lib.free(out);
  });

  function checkNumber(value, name) {
    if (typeof value !== "number") {
      throw new TypeError(`${name} must be a number, got ${describe(value)}`);
    }
  }

  /** The three indicators of one live series, bar by bar (tessaryn_stream.h). */
  class Stream {
    #handle = 0;
    #out = 0;
    #empty;
    #longest;

    constructor(longestPeriod = 0, options = undefined) {
      if (typeof longestPeriod !== "number") {
        throw new TypeError(`longestPeriod must be a number, got ${describe(longestPeriod)}`);
      }
      if (!Number.isInteger(longestPeriod) || longestPeriod < 0 || longestPeriod > MAX_BARS) {
        throw new RangeError(
          `longestPeriod must be a whole number from 0 (no bound) to 2^31 - 1, got ${longestPeriod}`,
        );
      }
      this.#empty = checkOptions(options);
      this.#longest = longestPeriod;
      const out = library.allocate(12, "a stream");
      const handle = lib.TessarynStreamCreate(longestPeriod);
      if (handle === 0) {
        lib.free(out);
        throw new RangeError("longestPeriod: no memory for a stream of that bound");
      }
      this.#handle = handle;
      this.#out = out;
      freed.register(this, { handle, out }, this);
    }

    get longestPeriod() {
      return this.#longest;
    }

    get empty() {
      return this.#empty;
    }

    /** Bars seen since the stream was made or reset. */
    get size() {
      return Number(lib.TessarynStreamSize(this.#live()));
    }

    #live() {
      if (this.#handle === 0) {
        throw new Error("this Stream was freed");
      }
      return this.#handle;
    }

    #fail(code, period) {
      if (code === STREAM_PERIOD_ABOVE_BOUND) {
        return new RangeError(`period ${period}: ${library.message(code)} (longestPeriod ${this.#longest})`);
      }
      return new Error(library.message(code));
    }

    #bar(call, price, period) {
      checkNumber(price, "price");
      checkNumber(period, "period");
      const code = call(this.#live(), price, period, this.#out);
      if (code !== 0) {
        throw this.#fail(code, period);
      }
      if (this.#empty === "nan") {
        lib.TessarynWasmEmptyToNaN(this.#out, 3);
      }
      const values = new Float32Array(lib.memory.buffer, this.#out, 3);
      return { trend: values[0], cycle: values[1], model: values[2] };
    }

    /** Appends a bar; gives its trend, cycle and model. */
    push(price, period) {
      return this.#bar(lib.TessarynStreamPush, price, period);
    }

    /** Replaces the newest bar (still forming) and gives its new values. */
    revise(price, period) {
      return this.#bar(lib.TessarynStreamRevise, price, period);
    }

    /** Appends a whole history; gives each indicator's values over it. */
    pushMany(prices, period) {
      const handle = this.#live();
      const series = checkBars(prices);
      const periods = checkPeriod(period, series.length);
      const n = series.length;
      const staged = library.stage(series, periods, 3, "prices");
      try {
        const code = lib.TessarynStreamPushMany(handle, staged.prices, staged.periods, n, ...staged.out);
        if (code !== 0) {
          throw this.#fail(code, "of a bar");
        }
        const [trend, cycle, model] = staged.out.map((at) => library.take(at, n, this.#empty));
        return { trend, cycle, model };
      } finally {
        lib.free(staged.at);
      }
    }

    /** Forgets every bar; the bound stays. */
    reset() {
      lib.TessarynStreamReset(this.#live());
    }

    /** Gives the stream's memory back at once (otherwise it goes when the Stream is collected). */
    free() {
      if (this.#handle !== 0) {
        freed.unregister(this);
        lib.TessarynStreamDestroy(this.#handle);
        lib.free(this.#out);
        this.#handle = 0;
        this.#out = 0;
      }
    }
  }
  return Stream;
}

function api(library) {
  return Object.freeze({
    itrend: routine(library, "ITrend"),
    cyclicalComponent: routine(library, "CyclicalComponent"),
    tessaryn: routine(library, "Tessaryn"),
    indicators: indicators(library),
    Stream: streamClass(library),
    EMPTY,
    simd: library.simd,
  });
}

let shared = null;

/**
 * The library, ready. With no options, one instance shared by every caller; with options,
 * a new one: { simd: false } takes the one-bar module even where SIMD128 runs, { wasm }
 * hands it the module's bytes (an ArrayBuffer or typed array) instead of reading its file.
 */
export function load(options = undefined) {
  if (options === undefined) {
    shared ??= instantiate({});
    return shared;
  }
  if (options === null || typeof options !== "object") {
    return Promise.reject(new TypeError(`options must be an object, got ${describe(options)}`));
  }
  return instantiate(options);
}

async function instantiate({ simd = hasSimd(), wasm = undefined }) {
  if (typeof simd !== "boolean") {
    throw new TypeError(`options.simd must be true or false, got ${describe(simd)}`);
  }
  if (simd && !hasSimd()) {
    throw new RangeError("options.simd: this runtime has no WebAssembly SIMD128");
  }
  const bytes = wasm ?? (await moduleBytes(simd ? "./tessaryn-simd.wasm" : "./tessaryn.wasm"));
  const module = await WebAssembly.compile(bytes);
  const instance = await WebAssembly.instantiate(module, importsOf(module));
  return api(new Library(instance, simd));
}
