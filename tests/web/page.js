// The one driver of the page tests (and of bench/web_fps.js): serves build/web on 127.0.0.1,
// starts headless Chromium (WebGL 2 on SwiftShader) and speaks the DevTools protocol to it over
// --remote-debugging-pipe (fd 3 in, fd 4 out, NUL-terminated JSON), so it needs nothing from npm.
"use strict";
const { spawn, spawnSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// Share of pixels that differ from black (by more than 40, as the symmetry check marks them), in a
// rectangle when one is given.
function coverage(shot, x = 0, y = 0, w = shot.width, h = shot.height) {
  let count = 0;
  for (let row = y; row < y + h; row++)
    for (let i = (row * shot.width + x) * 3, end = i + w * 3; i < end; i += 3)
      count += shot.rgb[i] > 40 || shot.rgb[i + 1] > 40 || shot.rgb[i + 2] > 40;
  return count / (w * h);
}

// The desktop end-to-end runs' symmetry check (a turn by `angle` about the centre) on a shot.
function symmetric(shot, angle) {
  const file = path.join(os.tmpdir(), `lumivex-shot-${process.pid}.ppm`);
  fs.writeFileSync(file, shot.ppm);
  const check = spawnSync("python3", [path.join(__dirname, "../e2e/symmetry_check.py"), file, `${angle}`],
                          { stdio: "inherit" });
  fs.rmSync(file);
  return check.status === 0;
}

class Page {
  constructor(browser, sessionId, targetId) {
    Object.assign(this, { browser, sessionId, targetId, console: [] });
  }
  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }
  async evaluate(expression) {
    const reply = await this.send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
    if (reply.exceptionDetails) throw new Error(`${expression}: ${reply.exceptionDetails.text}`);
    return reply.result.value;
  }
  async waitFor(expression, seconds = 20) {
    for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100))
      if (await this.evaluate(expression)) return;
    throw new Error(`timed out waiting for ${expression}`);
  }
  // A keydown as the page's window gets it, with the keyboard's lock states.
  key(code, capsLock, numLock = false) {
    return this.evaluate(`dispatchEvent(new KeyboardEvent("keydown",
      { code: "${code}", modifierCapsLock: ${capsLock}, modifierNumLock: ${numLock} }))`);
  }
  async load(method, params) {
    const loaded = this.browser.next("Page.loadEventFired", this.sessionId);
    await this.send(method, params);
    await loaded;
  }
  async reload() {
    await this.load("Page.reload");
    await this.waitFor("!!(window.Module && Module.calledRun)");
  }
  // What the screen shows, as RGB rows (ImageMagick turns Chromium's PNG into a PPM).
  async shot() {
    const { data } = await this.send("Page.captureScreenshot", { format: "png" });
    const ppm = spawnSync("convert", ["png:-", "-depth", "8", "ppm:-"], { input: Buffer.from(data, "base64") }).stdout;
    const [header, width, height] = ppm.toString("latin1", 0, 40).match(/^P6\s+(\d+)\s+(\d+)\s+255\s/);
    return { width: +width, height: +height, rgb: ppm.subarray(header.length), ppm };
  }
  // The first shot that passes `test`, shooting until `seconds` have gone by; null if none did.
  async shotUntil(test, seconds = 60) {
    for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100)) {
      const shot = await this.shot();
      if (test(shot)) return shot;
    }
    return null;
  }
  // Resolves once the tab is gone, its unload handlers run.
  async close() {
    const gone = this.browser.next("Target.detachedFromTarget");
    await this.browser.send("Target.closeTarget", { targetId: this.targetId });
    await gone;
  }
}

class Browser {
  static async launch() {
    const browser = Object.assign(new Browser(), { nextId: 1, calls: new Map(), waiters: [], pages: new Map(), rest: "" });
    browser.profile = fs.mkdtempSync(path.join(os.tmpdir(), "lumivex-chromium."));
    // No network but the page's own server: these flags keep Chromium from stalling on it.
    browser.process = spawn(process.env.CHROMIUM || "chromium", [
      "--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--no-first-run", "--disable-quic", "--mute-audio", "--remote-debugging-pipe",
      `--user-data-dir=${browser.profile}`, "about:blank",
    ], { detached: true, stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] }); // a group of its own
    browser.process.stdio[4].on("data", (data) => browser.receive(data));
    browser.exited = new Promise((resolve) => browser.process.on("exit", resolve));
    const dir = process.env.LUMIVEX_WEB_DIR || path.join(__dirname, "../../build/web");
    browser.server = http.createServer((request, response) => {
      const file = path.join(dir, new URL(request.url, "http://x").pathname);
      fs.readFile(file, (error, data) => {
        response.writeHead(error ? 404 : 200, { "Content-Type": TYPES[path.extname(file)] || "image/png" });
        response.end(data);
      });
    });
    await new Promise((resolve) => browser.server.listen(0, "127.0.0.1", resolve));
    browser.origin = `http://127.0.0.1:${browser.server.address().port}`;
    return browser;
  }
  receive(data) {
    const parts = (this.rest + data.toString("utf8")).split("\0");
    this.rest = parts.pop();
    for (const { id, result, error, method, params, sessionId } of parts.map((part) => JSON.parse(part))) {
      const call = this.calls.get(id);
      this.calls.delete(id);
      if (call) error ? call.reject(new Error(`${call.method}: ${error.message}`)) : call.resolve(result);
      else if (method === "Runtime.consoleAPICalled" && this.pages.has(sessionId))
        this.pages.get(sessionId).console.push(params.args.map((arg) => arg.value).join(" "));
      this.waiters = this.waiters.filter((w) => !(w.method === method && w.sessionId === sessionId && w.resolve()));
    }
  }
  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    this.process.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + "\0");
    return new Promise((resolve, reject) => this.calls.set(id, { resolve, reject, method }));
  }
  next(method, sessionId) {
    return new Promise((resolve) => this.waiters.push({ method, sessionId, resolve: () => resolve() || true }));
  }
  // A new tab at `query` ("?count=7"), `width` x `height` CSS pixels of `scale` device pixels;
  // `before` runs in the page before any of its own script.
  async open(query = "", { width = 320, height = 240, scale = 1, before } = {}) {
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    this.pages.set(sessionId, page);
    await Promise.all([page.send("Page.enable"), page.send("Runtime.enable"),
                       page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: scale, mobile: false })]);
    if (before) await page.send("Page.addScriptToEvaluateOnNewDocument", { source: before });
    await page.load("Page.navigate", { url: `${this.origin}/index.html${query}` });
    await page.waitFor("!!(window.Module && Module.calledRun)"); // main has run: the saver is on
    return page;
  }
  async close() {
    this.server.close();
    const group = -this.process.pid;
    const killer = setTimeout(() => process.kill(group, "SIGKILL"), 5000);
    process.kill(group, "SIGTERM");
    await this.exited;
    clearTimeout(killer);
    try {
      process.kill(group, "SIGKILL"); // helpers that outlived the browser
    } catch {}
    fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10 });
  }
}

// Runs `test(browser)` with a fresh browser and profile; a failure prints and exits 1.
async function run(test) {
  const browser = await Browser.launch();
  let status = 0;
  try {
    await test(browser);
    console.log("PASS");
  } catch (error) {
    console.error(`FAIL: ${error.message}`);
    status = 1;
  }
  await browser.close();
  process.exit(status);
}

function expect(condition, message) {
  if (!condition) throw new Error(message);
  console.log(`ok: ${message}`);
}

module.exports = { run, expect, sleep, coverage, symmetric, Browser };
