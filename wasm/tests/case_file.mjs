// The case files from disk, in the format the page's self-test reads (web/cases.js).
import { readFileSync } from "node:fs";

import { parseCases } from "../web/cases.js";

export { bits, firstDifference, parseCases } from "../web/cases.js";

export function readCases(path) {
  return parseCases(readFileSync(path, "utf8"), path);
}
