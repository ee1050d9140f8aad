// CSV text to columns of numbers, for the page: a header row, then one row per bar, oldest
// first. A cell left empty is a bar without a value in that column; any other cell that is
// not a number makes the column unusable, with a message saying where. Comma, semicolon or
// tab separated (whichever the header has most of).
export class CsvError extends Error {}

function separatorOf(header) {
  const counts = [",", ";", "\t"].map((s) => [s, header.split(s).length]);
  counts.sort((a, b) => b[1] - a[1]);
  return counts[0][0];
}

function unquote(cell) {
  const trimmed = cell.trim();
  return trimmed.length >= 2 && trimmed.startsWith('"') && trimmed.endsWith('"')
    ? trimmed.slice(1, -1).trim()
    : trimmed;
}

// { names, columns: { name: { values: Float64Array, bad: string | null } }, rows }
export function parseCsv(text) {
  if (typeof text !== "string" || text.length === 0) {
    throw new CsvError("the file is empty");
  }
  if (text.includes("\u0000")) {
    throw new CsvError("this is not a text file (it holds NUL bytes)");
  }
  const lines = text.replace(/^\uFEFF/, "").split(/\r\n|\n|\r/).filter((line) => line.trim() !== "");
  if (lines.length < 3) {
    throw new CsvError(`a header and at least two rows are needed; the file has ${lines.length} line(s)`);
  }
  const separator = separatorOf(lines[0]);
  const names = lines[0].split(separator).map(unquote);
  if (names.length < 1 || names.some((name) => name === "")) {
    throw new CsvError("the header row has an unnamed column");
  }
  const rows = lines.length - 1;
  const columns = Object.fromEntries(names.map((name) => [name, { values: new Float64Array(rows), bad: null }]));
  for (let r = 0; r < rows; ++r) {
    const cells = lines[r + 1].split(separator);
    if (cells.length !== names.length) {
      throw new CsvError(`line ${r + 2} has ${cells.length} cells where the header has ${names.length}`);
    }
    names.forEach((name, c) => {
      const column = columns[name];
      const cell = unquote(cells[c]);
      const number = cell === "" ? NaN : Number(cell);
      if (cell !== "" && !Number.isFinite(number) && column.bad === null) {
        column.bad = `line ${r + 2}: "${cell.slice(0, 20)}" is not a number`;
      }
      column.values[r] = number;
    });
  }
  const numeric = names.filter((name) => columns[name].bad === null);
  if (numeric.length === 0) {
    throw new CsvError(`no column holds numbers (${columns[names[0]].bad})`);
  }
  return { names, numeric, columns, rows };
}

// The bars of one column: its values where the cell has one, with their x (the first column
// where it holds increasing numbers, else the row number).
export function barsOf(table, name) {
  const column = table.columns[name];
  if (column === undefined) throw new CsvError(`no column "${name}"`);
  if (column.bad !== null) throw new CsvError(`column "${name}": ${column.bad}`);
  const first = table.columns[table.names[0]];
  const timeColumn = table.names[0] !== name && first.bad === null && first.values.every((v, i, a) => i === 0 || v > a[i - 1]);
  const x = [];
  const prices = [];
  column.values.forEach((value, r) => {
    if (!Number.isNaN(value)) {
      x.push(timeColumn ? first.values[r] : r);
      prices.push(value);
    }
  });
  if (prices.length < 2) throw new CsvError(`column "${name}" has fewer than two prices`);
  return { x: Float64Array.from(x), prices: Float32Array.from(prices), xName: timeColumn ? table.names[0] : "row" };
}
