// The tarball `npm pack` made installs offline into a fresh project, which imports it by name
// and gets the library's values.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, rmSync, writeFileSync } from "node:fs";
import path from "node:path";
import { it } from "node:test";

it("installs from its tarball and loads by name", () => {
  const work = process.env.TESSARYN_WORK_DIR;
  const tarball = process.env.TESSARYN_TARBALL;
  rmSync(work, { recursive: true, force: true });
  mkdirSync(work, { recursive: true });
  writeFileSync(path.join(work, "package.json"), JSON.stringify({ name: "consumer", private: true, type: "module" }));
  execFileSync("npm", ["install", "--offline", "--no-audit", "--no-fund", "--loglevel=error", tarball], { cwd: work });
  writeFileSync(
    path.join(work, "main.js"),
    `import { load } from "tessaryn";
const t = await load();
console.log(JSON.stringify(Array.from(t.itrend([0, 0, 0, 3, 3, 3, 3, 3], 3, { empty: "marker" }))));`,
  );
  const printed = execFileSync(process.execPath, ["main.js"], { cwd: work, encoding: "utf8" });
  const E = 3.3999999521443642e38;
  assert.deepEqual(JSON.parse(printed), [E, E, E, 1.25, 2.75, 4, 3.75, 3.25]);
});
