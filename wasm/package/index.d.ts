/** Bars that are not computed: NaN (the default) or the library's marker 3.4E+38 (EMPTY). */
export type Empty = "nan" | "marker";

export interface Options {
  empty?: Empty;
}

/** Prices or periods, oldest bar first; numbers are rounded to float32 as C callers do. */
export type Series = Float32Array | Float64Array | ArrayLike<number>;

/** One period for every bar, or one per bar; rounded to whole bars, halves to even. */
export type Period = number | Series;

export interface BarValues {
  trend: number;
  cycle: number;
  model: number;
}

export interface SeriesValues {
  trend: Float32Array;
  cycle: Float32Array;
  model: Float32Array;
}

/** The three indicators of one live series, bar by bar: the routines' bits on every bar. */
export interface Stream {
  /** Appends a bar (closed or newly opened) and gives its values. */
  push(price: number, period: number): BarValues;
  /** Replaces the newest bar, still forming, and gives its new values. */
  revise(price: number, period: number): BarValues;
  /** Appends a whole history at the routines' speed. */
  pushMany(prices: Series, period: Period): SeriesValues;
  /** Forgets every bar; the bound stays. */
  reset(): void;
  /** Bars seen since the stream was made or reset. */
  readonly size: number;
  readonly longestPeriod: number;
  readonly empty: Empty;
  /** Gives its memory back now (otherwise when the stream is collected). */
  free(): void;
}

export interface StreamConstructor {
  /** longestPeriod 0 keeps every price; B > 0 keeps what periods up to B need. */
  new (longestPeriod?: number, options?: Options): Stream;
}

export interface Tessaryn {
  /** Lag-compensated trend line (ITrend). */
  itrend(prices: Series, period: Period, options?: Options): Float32Array;
  /** The cycle (CyclicalComponent). */
  cyclicalComponent(prices: Series, period: Period, options?: Options): Float32Array;
  /** Trend plus cycle, rounded once (Tessaryn). */
  tessaryn(prices: Series, period: Period, options?: Options): Float32Array;
  /** All three at once. */
  indicators(prices: Series, period: Period, options?: Options): SeriesValues;
  readonly Stream: StreamConstructor;
  /** 3.4E+38 as float32 (bits 0x7F7FC99E). */
  readonly EMPTY: number;
  /** Whether this instance runs two bars at a time (WebAssembly SIMD128). */
  readonly simd: boolean;
}

export interface LoadOptions {
  /** Take the module with SIMD128 (true) or without (false); by default what the runtime runs. */
  simd?: boolean;
  /** The module's bytes, where its file cannot be read or fetched beside this one. */
  wasm?: BufferSource;
}

/** The library, ready to call; without options one instance shared by all callers. */
export function load(options?: LoadOptions): Promise<Tessaryn>;
/** Whether this runtime runs WebAssembly SIMD128. */
export function hasSimd(): boolean;
export const EMPTY: number;
