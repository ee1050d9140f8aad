// The case files' format (tests/cases/filters.cases, and those the C library's
// write_reference_cases writes): per case its prices, periods and each routine's bars, "E"
// the marker. Read by the page's self-test and by the package's tests under Node.
const EMPTY_BITS = 0x7f7fc99e;
const EMPTY = new Float32Array(new Uint32Array([EMPTY_BITS]).buffer)[0];

function value(word, where) {
  if (word === "E") return EMPTY;
  if (word === "nan") return NaN;
  if (word === "inf") return Infinity;
  if (word === "-inf") return -Infinity;
  const number = Number(word);
  if (Number.isNaN(number)) {
    throw new Error(`${where}: "${word}" is not a number`);
  }
  return number;
}

export function parseCases(text, name = "cases") {
  const cases = [];
  text.split("\n").forEach((line, index) => {
    const where = `${name}:${index + 1}`;
    const trimmed = line.trim();
    if (trimmed === "" || trimmed.startsWith("#")) return;
    if (trimmed.startsWith("case ")) {
      cases.push({ name: trimmed.slice(5), expected: {} });
      return;
    }
    const [key, ...words] = trimmed.split(/\s+/);
    const current = cases.at(-1);
    if (current === undefined) throw new Error(`${where}: a row before any case`);
    const values = Float32Array.from(words, (word) => value(word, where));
    if (key === "prices" || key === "periods") current[key] = values;
    else current.expected[key] = values;
  });
  return cases;
}

export function bits(values) {
  return new Uint32Array(values.buffer, values.byteOffset, values.length);
}

// The first bar whose bits differ (any NaN matching any NaN, as the case files write them),
// or -1.
export function firstDifference(got, want) {
  if (got.length !== want.length) return Math.min(got.length, want.length);
  const a = bits(got);
  const b = bits(want);
  for (let i = 0; i < a.length; ++i) {
    if (a[i] !== b[i] && !(Number.isNaN(got[i]) && Number.isNaN(want[i]))) return i;
  }
  return -1;
}
