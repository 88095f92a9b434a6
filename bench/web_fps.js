// Frames a second of the page at 1920x1080 in headless Chromium (WebGL 2 on SwiftShader, the CPU),
// and the vertices a second that go through the batching GL table, for the default picture and the
// heavy one, both at Rest 0 - the figures bench/fps.sh gives for lumivex-gl on Xvfb. The page
// reports once a second (?fps); the first report, while the picture starts, is left out.
//
//   cmake --build --preset web && node bench/web_fps.js     (FPS_SECONDS, default 10)
"use strict";
const { Browser, sleep } = require("../tests/web/page.js");

const seconds = Number(process.env.FPS_SECONDS || 10);
const runs = [
  ["default picture", "?fps&delay=0&count=3&reflections=12&no-tile"],
  ["heavy picture", "?fps&delay=0&count=10&reflections=72&tile"],
];

(async () => {
  for (const [name, query] of runs) {
    const browser = await Browser.launch();
    const page = await browser.open(query, { width: 1920, height: 1080 });
    while (page.console.length === 0) await sleep(100);
    await sleep(seconds * 1000);
    const reports = page.console.map((line) => line.match(/([\d.]+) fps, (\d+) vertices/))
      .filter(Boolean).slice(1).map((m) => [Number(m[1]), Number(m[2])]);
    const mean = (i) => reports.reduce((sum, r) => sum + r[i], 0) / Math.max(reports.length, 1);
    console.log(`== ${name} (1920x1080, headless Chromium): ${mean(0).toFixed(1)} fps, ` +
                `${Math.round(mean(1) / 1000)} thousand vertices/s (${reports.length} reports)`);
    await browser.close();
  }
})();
