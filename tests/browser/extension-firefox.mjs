// SPDX-License-Identifier: GPL-3.0-or-later
// The extension in Firefox ESR, headless under puppeteer-core (WebDriver BiDi), with the host
// installed into a private home. BiDi installs the extension (webExtension.install) but can
// neither open nor script its pages, so its buttons cannot be pressed from here; what is checked
// is the rest of the chain, against a stand-in for the window on the single-instance socket:
// loading a page makes the extension's badge lookup reach the window through the host Firefox
// started, and the window's question for the page in front is answered by the extension.
//
//   node extension-firefox.mjs BRINDLE_CLI EXTENSION_DIR WORK_DIR
//
// Exits 77 (a skip for ctest) when Firefox or puppeteer-core is missing.
import { execFileSync } from "node:child_process";
import { existsSync, mkdirSync, readFileSync, rmSync } from "node:fs";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import net from "node:net";
import { join, resolve } from "node:path";

const [cli, extension, work] = process.argv.slice(2).map((p) => resolve(p));
const SKIP = 77;

function skip(reason) {
  console.log(`SKIPPED: ${reason}`);
  process.exit(SKIP);
}
const firefox = ["/usr/bin/firefox-esr", "/usr/bin/firefox"].find(existsSync);
if (!firefox) skip("no firefox-esr installed");
let puppeteer;
try {
  const require = createRequire(join(process.cwd(), "package.json"));
  puppeteer = (await import(require.resolve("puppeteer-core"))).default;
} catch {
  skip("puppeteer-core is not installed (npm ci in the repository)");
}

rmSync(work, { recursive: true, force: true });
const home = join(work, "home");
const runtime = join(work, "run");
for (const folder of [home, runtime]) mkdirSync(folder, { recursive: true, mode: 0o700 });
const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: join(home, ".config"), XDG_RUNTIME_DIR: runtime };
execFileSync(cli, ["install-browser-host", "--user"], { env });
const manifest = JSON.parse(readFileSync(join(home, ".mozilla/native-messaging-hosts/org.example.brindle.json"), "utf8"));
if (!manifest.allowed_extensions.includes("brindle@example.org")) throw new Error("manifest without the extension's id");

// The stand-in window: answers requests, keeps the host's standing connection.
const frame = (text) => {
  const body = Buffer.from(text);
  const head = Buffer.alloc(4);
  head.writeUInt32BE(body.length);
  return Buffer.concat([head, body]);
};
const requests = [];
const answers = [];
let link = null;
const window = net.createServer((socket) => {
  let buffer = Buffer.alloc(0);
  socket.on("data", (data) => {
    buffer = Buffer.concat([buffer, data]);
    while (buffer.length >= 4 && buffer.length >= 4 + buffer.readUInt32BE(0)) {
      const text = buffer.subarray(4, 4 + buffer.readUInt32BE(0)).toString();
      buffer = buffer.subarray(4 + buffer.readUInt32BE(0));
      const message = JSON.parse(text);
      if (message.type === "attach") link = socket;
      else if (message.type === "active-tab") answers.push(message);
      else {
        requests.push(message);
        socket.end(frame(JSON.stringify({ type: "lookup", saved: false, names: [] })));
      }
    }
  });
});
await new Promise((done) => window.listen(join(runtime, "Brindle.socket"), done));

const server = createServer((request, response) => {
  response.setHeader("Content-Type", "text/html; charset=utf-8");
  response.end("<!doctype html><title>Firefox test page</title><p>Hello</p>");
});
await new Promise((done) => server.listen(0, "127.0.0.1", done));
const pageUrl = `http://127.0.0.1:${server.address().port}/page.html`;

const failures = [];
function check(condition, what) {
  console.log(`${condition ? "ok" : "FAILED"}: ${what}`);
  if (!condition) failures.push(what);
}
async function until(condition, ms = 20000) {
  for (const end = Date.now() + ms; Date.now() < end; ) {
    if (condition()) return true;
    await new Promise((done) => setTimeout(done, 50));
  }
  return condition();
}

const browser = await puppeteer.launch({ browser: "firefox", executablePath: firefox, headless: true, env });
try {
  const id = await browser.installExtension(extension);
  check(id === "brindle@example.org", `installed with its fixed id (${id})`);
  const page = await browser.newPage();
  await page.goto(pageUrl, { waitUntil: "load" });
  check(await until(() => requests.some((r) => r.type === "lookup" && r.url === pageUrl)),
    `the badge's lookup reached the window through the host (${JSON.stringify(requests)})`);
  check(await until(() => link !== null), "the host keeps a standing connection to the window");
  if (link) {
    link.write(frame(JSON.stringify({ type: "active-tab-request", request: 1 })));
    check(await until(() => answers.length > 0) && answers[0].url === pageUrl && answers[0].request === 1,
      `the extension answers with the page in front (${JSON.stringify(answers)})`);
  }
} finally {
  await browser.close();
  server.close();
  window.close();
}
if (failures.length) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log("all checks passed");
