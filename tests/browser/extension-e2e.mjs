// SPDX-License-Identifier: GPL-3.0-or-later
// The extension in a real browser: Chromium headless, driven by puppeteer-core, with the
// unpacked extension loaded and the host installed into a private home. A page from a local
// server is added through the extension's service worker; the bookmark must then be in the
// document and the badge's lookup must say it is saved.
//
//   extension-e2e.mjs BRINDLE_CLI EXTENSION_DIR WORK_DIR
//
// Exits 77 (a skip for ctest) when the browser or puppeteer-core is missing.
import { execFileSync } from "node:child_process";
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import { join, resolve } from "node:path";

const [cli, extension, work] = process.argv.slice(2).map((p) => resolve(p));
const SKIP = 77;
const CHROMIUM_ID = "iaiocfjfkhebgabgpnfamnmmahhjgaeb";

function skip(reason) {
  console.log(`SKIPPED: ${reason}`);
  process.exit(SKIP);
}

const browserPath = ["/usr/bin/chromium", "/usr/bin/chromium-browser"].find(existsSync);
if (!browserPath) skip("no chromium installed");
let puppeteer;
try {
  const require = createRequire(join(process.cwd(), "package.json"));
  puppeteer = (await import(require.resolve("puppeteer-core"))).default;
} catch {
  skip("puppeteer-core is not installed (npm ci in the repository)");
}

// A private home: the settings name the document as the last one opened, no window runs.
rmSync(work, { recursive: true, force: true });
const home = join(work, "home");
const config = join(home, ".config");
const runtime = join(work, "run");
for (const folder of [config, runtime, join(config, "Brindle")]) mkdirSync(folder, { recursive: true, mode: 0o700 });
const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: config, XDG_RUNTIME_DIR: runtime };
const documentPath = join(work, "bookmarks.brx");
execFileSync(cli, ["new", documentPath], { env });
writeFileSync(join(config, "Brindle", "Brindle.conf"), `[Recent File List]\nFile1=${documentPath}\n`);
// The user data folder is Chromium's default one in this home, so that --user installs the
// host manifest where this browser reads it (<user-data-dir>/NativeMessagingHosts).
const userData = join(config, "chromium");
execFileSync(cli, ["install-browser-host", "--user"], { env });
const manifest = JSON.parse(readFileSync(join(userData, "NativeMessagingHosts", "org.example.brindle.json"), "utf8"));
if (!manifest.allowed_origins.includes(`chrome-extension://${CHROMIUM_ID}/`)) throw new Error("manifest without the extension's id");

const server = createServer((request, response) => {
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.end(`<!doctype html><html><head><title>Brindle test page</title>
    <meta name="description" content="A page for the extension test"></head>
    <body><p>Hello</p></body></html>`);
});
await new Promise((done) => server.listen(0, "127.0.0.1", done));
const pageUrl = `http://127.0.0.1:${server.address().port}/page.html`;

const failures = [];
function check(condition, what) {
  console.log(`${condition ? "ok" : "FAILED"}: ${what}`);
  if (!condition) failures.push(what);
}

process.env.HOME = home;
process.env.XDG_CONFIG_HOME = config;
process.env.XDG_RUNTIME_DIR = runtime;
const browser = await puppeteer.launch({
  executablePath: browserPath,
  headless: true,
  userDataDir: userData,
  ignoreDefaultArgs: ["--disable-extensions"],
  args: [`--disable-extensions-except=${extension}`, `--load-extension=${extension}`, "--no-sandbox", "--no-first-run"],
  env,
});
try {
  const workerTarget = await browser.waitForTarget(
    (target) => target.type() === "service_worker" && target.url().startsWith("chrome-extension://"),
    { timeout: 20000 },
  );
  check(workerTarget.url().startsWith(`chrome-extension://${CHROMIUM_ID}/`), `fixed extension id (${workerTarget.url()})`);
  const worker = await workerTarget.worker();

  const page = await browser.newPage();
  await page.goto(pageUrl, { waitUntil: "load" });

  const ping = await worker.evaluate(() => globalThis.brindle.ask({ type: "ping" }));
  check(ping.type === "pong" && ping.document === documentPath, `ping names the document (${JSON.stringify(ping)})`);

  const before = await worker.evaluate((url) => globalThis.brindle.ask({ type: "lookup", url }), pageUrl);
  check(before.saved === false, "lookup before: not saved");

  const added = await worker.evaluate(async (url) => {
    const [tab] = await chrome.tabs.query({ url });
    return globalThis.brindle.addPage(tab);
  }, pageUrl);
  check(added?.result === "added", `add without a window adds directly (${JSON.stringify(added)})`);

  const listing = execFileSync(cli, ["list", documentPath], { env, encoding: "utf8" });
  check(listing.includes(`Brindle test page\t${pageUrl}`), `bookmark in the document:\n${listing}`);

  const badge = await worker.evaluate(async (url) => {
    const [tab] = await chrome.tabs.query({ url });
    const saved = await globalThis.brindle.showSaved(tab.id, url);
    return { saved, text: await chrome.action.getBadgeText({ tabId: tab.id }) };
  }, pageUrl);
  check(badge.saved === true && badge.text !== "", `badge lookup says saved (${JSON.stringify(badge)})`);

  const tabs = await worker.evaluate(() => globalThis.brindle.addAllTabs());
  check(tabs.type === "add-tabs" && tabs.added === 0 && tabs.existing === 1, `add all tabs (${JSON.stringify(tabs)})`);
} finally {
  await browser.close();
  server.close();
}
if (failures.length) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log("all checks passed");
