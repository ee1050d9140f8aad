// The page in Debian's headless Chromium, served over HTTP from 127.0.0.1: its self-test, the
// sample charted in time, a period change redrawn in time, a CSV dropped on it, a bad file
// told on the page with the chart kept, the live replay matching the routines; a screenshot
// of each step in TESSARYN_SCREENSHOTS.
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync } from "node:fs";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import path from "node:path";
import { after, before, it } from "node:test";

import { seededSeries } from "./support.mjs";

const web = process.env.TESSARYN_WEB;
const shots = process.env.TESSARYN_SCREENSHOTS;
const chromium = process.env.TESSARYN_CHROMIUM ?? "/usr/bin/chromium";
if (!existsSync(chromium)) {
  if (process.env.TESSARYN_REQUIRE_PLATFORM_TESTS) {
    throw new Error(`${chromium} is missing (apt-get install chromium); TESSARYN_REQUIRE_PLATFORM_TESTS is set`);
  }
  console.log(`SKIPPED: the page test needs ${chromium} (apt-get install chromium)`);
  process.exit(0);
}
const { chromium: driver } = createRequire(path.join(process.env.TESSARYN_NODE_MODULES, "/"))("playwright-core");

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm", ".csv": "text/csv", ".cases": "text/plain", ".json": "application/json" };

let server;
let browser;
let page;
let origin;
const pageErrors = [];

before(async () => {
  server = createServer((request, response) => {
    const file = path.join(web, decodeURIComponent(new URL(request.url, "http://x").pathname));
    if (!file.startsWith(web) || !existsSync(file) || !path.extname(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "content-type": TYPES[path.extname(file)] ?? "application/octet-stream" });
    response.end(readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await driver.launch({
    executablePath: chromium,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  page = await browser.newPage({ viewport: { width: 1200, height: 800 } });
  page.on("pageerror", (error) => pageErrors.push(error.message));
  mkdirSync(shots, { recursive: true });
});

after(async () => {
  await browser?.close();
  server?.close();
});

async function shot(name) {
  return page.screenshot({ path: path.join(shots, `${name}.png`) });
}

async function drop(name, text) {
  await page.evaluate(
    ([fileName, content]) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([content], fileName, { type: "text/csv" }));
      document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
    },
    [name, text],
  );
}

it("opens with the sample charted in under a second and passes its self-test", async (t) => {
  await page.goto(`${origin}/index.html?selftest`);
  await page.waitForSelector("body[data-ready=yes]", { timeout: 10000 });
  const timings = await page.evaluate(() => window.tessarynPage.timings);
  t.diagnostic(`sample charted ${timings.firstChart.toFixed(0)} ms after the page was asked for`);
  assert.ok(timings.firstChart < 1000, `charted after ${timings.firstChart} ms`);
  assert.equal(await page.locator(".uplot").count(), 2);
  await page.waitForSelector("#selftest:not([hidden])", { timeout: 20000 });
  const result = await page.textContent("#selftest");
  const [, passed, failed] = /^selftest: (\d+) passed, (\d+) failed$/.exec(result) ?? [];
  assert.equal(failed, "0", `${result}: ${await page.getAttribute("#selftest", "title")}`);
  assert.ok(Number(passed) >= 60, result);
  await shot("sample");
});

it("redraws a period change in under 100 ms", async (t) => {
  const before = await shot("period-20");
  await page.evaluate(() => {
    const slider = document.getElementById("period");
    slider.value = "60";
    slider.dispatchEvent(new Event("input"));
  });
  await page.waitForFunction(() => /period 60 \(/.test(document.getElementById("message").textContent));
  const redraw = await page.evaluate(() => window.tessarynPage.timings.redraw);
  t.diagnostic(`period 20 to 60 redrawn in ${redraw.toFixed(1)} ms`);
  assert.ok(redraw < 100, `redrawn in ${redraw} ms`);
  assert.notDeepEqual(await shot("period-60"), before);
});

it("charts a dropped CSV, and keeps the chart with a message for a bad one", async () => {
  const { prices } = seededSeries(5, 400, 250, 1);
  const rows = Array.from(prices, (p, i) => `${2000 + i},${p.toFixed(3)},${(p * 2).toFixed(3)}`);
  await drop("seeded.csv", ["date,close,double", ...rows].join("\n"));
  await page.waitForFunction(() => document.getElementById("message").textContent.startsWith("seeded.csv: close, 400 bars"));
  assert.deepEqual(await page.$$eval("#column option", (o) => o.map((x) => x.value)), ["date", "close", "double"]);
  await shot("dropped");
  for (const [name, content, reason] of [
    ["empty.csv", "", /the file is empty/],
    ["words.csv", "a,b\nx,y\nz,w\n", /no column holds numbers/],
    ["ragged.csv", "t,p\n1,2\n3\n", /line 3 has 1 cells/],
    ["binary.csv", "\u0000\u0001\u0002PNG", /not a text file/],
  ]) {
    await drop(name, content);
    await page.waitForSelector("#message.error");
    const said = await page.textContent("#message");
    assert.match(said, reason, name);
    assert.match(said, /still shows seeded\.csv/, name);
    assert.equal(await page.locator(".uplot").count(), 2);
  }
  await shot("bad-file");
});

it("replays the last bars tick by tick through a stream, with the routines' values", async () => {
  await page.click("#sample");
  await page.waitForFunction(() => document.getElementById("message").textContent.startsWith("eu-stock-markets.csv"));
  await page.click("#live");
  await page.waitForFunction(() => window.tessarynPage.live?.done === true, null, { timeout: 30000 });
  const live = await page.evaluate(() => window.tessarynPage.live);
  assert.equal(live.same, true);
  assert.equal(live.ticks, 40 * 5);
  await shot("live");
  assert.deepEqual(pageErrors, []);
});
