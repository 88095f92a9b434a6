// The one driver of the page tests (and of bench/web_fps.js): serves build/web over HTTP on
// 127.0.0.1, starts headless Chromium with WebGL on SwiftShader and speaks the DevTools protocol
// to it over --remote-debugging-pipe (fd 3 in, fd 4 out, NUL-terminated JSON), so it needs
// nothing from npm. Screenshots come back decoded, as RGB rows.
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const zlib = require("zlib");

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".png": "image/png" };

function serve(dir) {
  const server = http.createServer((request, response) => {
    const file = path.join(dir, decodeURIComponent(new URL(request.url, "http://x").pathname));
    fs.readFile(file.endsWith("/") ? file + "index.html" : file, (error, data) => {
      response.writeHead(error ? 404 : 200, { "Content-Type": TYPES[path.extname(file)] || "text/plain" });
      response.end(error ? "" : data);
    });
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Decodes the 8-bit, non-interlaced RGB or RGBA PNG that Chromium's screenshots are.
function decodePng(png) {
  const width = png.readUInt32BE(16), height = png.readUInt32BE(20), colourType = png[25];
  const channels = { 2: 3, 6: 4 }[colourType];
  if (png[24] !== 8 || !channels || png[28] !== 0) throw new Error("unexpected PNG format");
  const chunks = [];
  for (let at = 8; at < png.length; ) {
    const length = png.readUInt32BE(at), type = png.toString("latin1", at + 4, at + 8);
    if (type === "IDAT") chunks.push(png.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(chunks)), stride = width * channels;
  const rows = Buffer.alloc(stride * height), rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? rows[y * stride + i - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
      const c = y > 0 && i >= channels ? rows[(y - 1) * stride + i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      rows[y * stride + i] = (line[i] + predictor) & 255;
    }
  }
  for (let i = 0; i < width * height; i++) rows.copy(rgb, i * 3, i * channels, i * channels + 3);
  return { width, height, rgb };
}

// Share of pixels that differ from black by more than 40 in a channel, as the symmetry check
// marks them; within a rectangle when one is given.
function coverage(shot, x = 0, y = 0, w = shot.width, h = shot.height) {
  let marked = 0;
  for (let row = y; row < y + h; row++)
    for (let col = x; col < x + w; col++) {
      const i = (row * shot.width + col) * 3;
      marked += shot.rgb[i] > 40 || shot.rgb[i + 1] > 40 || shot.rgb[i + 2] > 40 ? 1 : 0;
    }
  return marked / (w * h);
}

// The desktop end-to-end runs' symmetry check (a turn by `angle` about the centre) on a shot.
function symmetric(shot, angle) {
  const file = path.join(os.tmpdir(), `lumivex-shot-${process.pid}.ppm`);
  fs.writeFileSync(file, Buffer.concat([Buffer.from(`P6\n${shot.width} ${shot.height}\n255\n`), shot.rgb]));
  const check = require("child_process").spawnSync("python3",
    [path.join(__dirname, "../e2e/symmetry_check.py"), file, String(angle)], { encoding: "utf8" });
  process.stdout.write(check.stdout + check.stderr);
  fs.rmSync(file);
  return check.status === 0;
}

class Page {
  constructor(browser, sessionId, targetId) {
    Object.assign(this, { browser, sessionId, targetId, console: [] });
  }
  send(method, params) {
    return this.browser.send(method, params, this.sessionId);
  }
  async evaluate(expression) {
    const reply = await this.send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
    if (reply.exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(reply.exceptionDetails)}`);
    return reply.result.value;
  }
  async waitFor(expression, seconds = 20) {
    for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100))
      if (await this.evaluate(expression)) return;
    throw new Error(`timed out waiting for ${expression}`);
  }
  // A keydown as the page's window receives it; Caps Lock as the keyboard's lock state says.
  key(code, capsLock) {
    return this.evaluate(`dispatchEvent(new KeyboardEvent("keydown",
      {code: ${JSON.stringify(code)}, key: ${JSON.stringify(code)}, modifierCapsLock: ${!!capsLock}}))`);
  }
  async goto(url) {
    const loaded = this.browser.next("Page.loadEventFired", this.sessionId);
    await this.send("Page.navigate", { url });
    await loaded;
  }
  async reload() {
    const loaded = this.browser.next("Page.loadEventFired", this.sessionId);
    await this.send("Page.reload", {});
    await loaded;
  }
  async shot() {
    const { data } = await this.send("Page.captureScreenshot", { format: "png" });
    return decodePng(Buffer.from(data, "base64"));
  }
  close() {
    return this.browser.send("Target.closeTarget", { targetId: this.targetId });
  }
}

class Browser {
  static async launch() {
    const browser = new Browser();
    browser.profile = fs.mkdtempSync(path.join(os.tmpdir(), "lumivex-chromium."));
    // No network beyond the page's own server: these flags keep Chromium from stalling on it.
    browser.process = spawn(process.env.CHROMIUM || "chromium", [
      "--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--no-first-run", "--disable-quic", "--mute-audio", "--remote-debugging-pipe",
      `--user-data-dir=${browser.profile}`, "about:blank",
    ], { detached: true, // its own process group, so that its helpers end with it
         stdio: ["ignore", "ignore", process.env.CHROMIUM_LOG ? "inherit" : "ignore", "pipe", "pipe"] });
    Object.assign(browser, { nextId: 1, pending: new Map(), waiters: [], buffered: "" });
    browser.process.stdio[4].on("data", (data) => browser.receive(data));
    browser.exited = new Promise((resolve) => browser.process.on("exit", resolve));
    browser.server = await serve(process.env.LUMIVEX_WEB_DIR || path.join(__dirname, "../../build/web"));
    browser.origin = `http://127.0.0.1:${browser.server.address().port}`;
    return browser;
  }
  receive(data) {
    const parts = (this.buffered + data.toString("utf8")).split("\0");
    this.buffered = parts.pop();
    for (const part of parts) {
      const message = JSON.parse(part);
      const call = this.pending.get(message.id);
      if (call) {
        this.pending.delete(message.id);
        message.error ? call.reject(new Error(`${call.method}: ${message.error.message}`)) : call.resolve(message.result);
        continue;
      }
      const page = this.pages && this.pages.get(message.sessionId);
      if (page && message.method === "Runtime.consoleAPICalled") {
        page.console.push(message.params.args.map((a) => a.value).join(" "));
        if (process.env.LUMIVEX_CONSOLE) console.log(Date.now() % 100000, page.console.at(-1));
      }
      this.waiters = this.waiters.filter((w) => !(w.method === message.method && w.sessionId === message.sessionId && (w.resolve(message.params), true)));
    }
  }
  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    this.process.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + "\0");
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject, method }));
  }
  next(method, sessionId) {
    return new Promise((resolve) => this.waiters.push({ method, sessionId, resolve }));
  }
  // A new tab at `query` (e.g. "?count=7") of the page, `width` x `height` CSS pixels at `scale`
  // device pixels each; `before` is script that runs in the page before any of its own.
  async open(query = "", { width = 320, height = 240, scale = 1, before } = {}) {
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    (this.pages = this.pages || new Map()).set(sessionId, page);
    await Promise.all(["Page.enable", "Runtime.enable"].map((m) => page.send(m)));
    await page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: scale, mobile: false });
    if (before) await page.send("Page.addScriptToEvaluateOnNewDocument", { source: before });
    await page.goto(`${this.origin}/index.html${query}`);
    return page;
  }
  async close() {
    this.server.close();
    this.process.stdio[3].end();
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

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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
