// The README's JavaScript example, as written, against the built package imported by name.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { it } from "node:test";

import { packageDir } from "./support.mjs";

const readme = path.join(path.dirname(new URL(import.meta.url).pathname), "../../README.md");

it("runs the README's example and prints what its comments say", () => {
  const text = readFileSync(readme, "utf8");
  const section = text.slice(text.indexOf("## JavaScript"));
  const [, example] = /```js\n([\s\S]*?)```/.exec(section) ?? [];
  assert.ok(example, "no js block in the README's JavaScript section");
  const work = mkdtempSync(path.join(tmpdir(), "tessaryn-readme-"));
  try {
    mkdirSync(path.join(work, "node_modules"));
    symlinkSync(path.resolve(packageDir), path.join(work, "node_modules/tessaryn"), "dir");
    writeFileSync(path.join(work, "example.mjs"), example);
    const printed = execFileSync(process.execPath, ["example.mjs"], { cwd: work, encoding: "utf8" });
    const all = printed.trim().split("\n");
    const lines = all.splice(-2); // before them the array, on one line or several
    const array = all.join(" ");
    assert.match(array.replace(/\s+/g, " "), /^Float32Array\(8\) \[ NaN, NaN, NaN, 1\.25, 2\.75, 4, 3\.75, 3\.25 \]$/);
    assert.deepEqual(lines, ["true -0.028857 3.221143", "true"]);
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
});
