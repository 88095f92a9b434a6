// Passes and pictures shown a second of the page in headless Chromium (WebGL 2 on SwiftShader, the
// CPU), and the vertices a second that go through the batching GL table: the default picture at
// Rest 0, 5 and 20 and the heavy one at Rest 0 - the runs bench/fps.sh --wayland makes of
// lumivex-gl on Xvfb and sway, to set side by side (same FPS_GEOMETRY). The page reports once a
// second (?fps); the first report, while the picture starts, is left out.
//
//   cmake --build --preset web && node bench/web_fps.js     (FPS_SECONDS, default 10;
//                                                           FPS_GEOMETRY, default 1920x1080)
"use strict";
const { Browser, sleep } = require("../tests/web/page.js");

const seconds = Number(process.env.FPS_SECONDS || 10);
const [width, height] = (process.env.FPS_GEOMETRY || "1920x1080").split("x").map(Number);
const picture = "count=3&reflections=12&no-tile";
const runs = [
  ["default picture, Rest 0", `?fps&delay=0&${picture}`],
  ["default picture, Rest 5", `?fps&delay=5000&${picture}`],
  ["default picture, Rest 20", `?fps&delay=20000&${picture}`],
  ["heavy picture, Rest 0", "?fps&delay=0&count=10&reflections=72&tile"],
];

(async () => {
  for (const [name, query] of runs) {
    const browser = await Browser.launch();
    const page = await browser.open(query, { width, height });
    while (page.console.length === 0) await sleep(100);
    await sleep(seconds * 1000);
    const reports = page.console
      .map((line) => line.match(/([\d.]+) fps, (\d+) vertices\/s, ([\d.]+) shown/))
      .filter(Boolean).slice(1).map((m) => [Number(m[1]), Number(m[2]), Number(m[3])]);
    const mean = (i) => reports.reduce((sum, r) => sum + r[i], 0) / Math.max(reports.length, 1);
    console.log(`== ${name} (${width}x${height}, headless Chromium): ` +
                `${mean(0).toFixed(1)} passes/s, ${mean(2).toFixed(1)} shown/s, ` +
                `${Math.round(mean(1) / 1000)} thousand vertices/s (${reports.length} reports)`);
    await browser.close();
  }
})();
