// The page draws the saver's picture: at twice the CSS pixels (HiDPI) the canvas has the device
// pixels, what is drawn stays and more is added (the trails), and the picture of 12 mirrored
// reflections maps onto itself turned by 60 degrees about the canvas centre. A click and F (real
// input, as the Fullscreen API asks) toggle full screen, and the saver goes on. With ?fps the
// frame rate is at the bottom left of the picture, as --fps shows it on Linux; without, nothing.
// At Rest 20 the passes keep the desktop's pace, not the animation frames'.
"use strict";
const { run, expect, coverage, symmetric, sleep } = require("./page.js");

// Pixels with red in them at the bottom left of a 320x240 shot: in the blue shades of colour 6,
// only the text of the frame rate has red.
function redAtBottomLeft(shot) {
  let count = 0;
  for (let row = 240 - 20; row < 240; row++)
    for (let i = row * shot.width * 3, end = i + 70 * 3; i < end; i += 3) count += shot.rgb[i] > 128;
  return count;
}

// Before the page's own script: a hash of the first BYTES vertex bytes uploaded since mark().
const BYTES = 400000;
const RECORD_UPLOADS = `const upload = WebGL2RenderingContext.prototype.bufferSubData;
  (window.mark = () => { window.hash = 2166136261; window.hashed = 0; })();
  WebGL2RenderingContext.prototype.bufferSubData = function (target, offset, data, from = 0, length) {
    for (const byte of new Uint8Array(data.buffer, data.byteOffset + from, length ?? data.byteLength - from)
      .subarray(0, Math.max(0, ${BYTES} - hashed))) hash = Math.imul(hash ^ byte, 16777619) >>> 0, hashed++;
    return upload.apply(this, arguments);
  };`;
const LINK = `document.getElementById("picture")`;

async function keptPicture(browser) {
  const seed = 3141592653;
  const page = await browser.open(`?seed=${seed}&count=7&reflections=24&tile&background=336699`,
                                  { before: RECORD_UPLOADS });
  for (const x of [100, 102])
    await page.send("Input.dispatchMouseEvent", { type: "mouseMoved", x, y: 100 });
  await page.waitFor(`!${LINK}.hidden && getComputedStyle(${LINK}).visibility === "visible"`);
  const [href, title] = await page.evaluate(`[${LINK}.href, ${LINK}.title]`);
  const o = new URL(href).searchParams;
  expect(["seed", "count", "reflections", "tile", "background"].map((k) => o.get(k)).join() ===
         `${seed},7,24,,336699` && title.startsWith(`lumivex-gl --seed ${seed} --count 7 --reflections 24 `) &&
         / --tile( |$)/.test(title) && / --background 336699( |$)/.test(title), `a link to the picture: ${href}, ${title}`);

  await page.key("CapsLock", true);
  await page.waitFor(`${LINK}.href !== ${JSON.stringify(href)}`);
  // Marked in the same task as the key: every later upload is of the new picture.
  await page.evaluate(`window.before = ${LINK}.href, mark(),
    dispatchEvent(new KeyboardEvent("keydown", { code: "Delete", modifierCapsLock: true }))`);
  await page.waitFor(`${LINK}.href !== before && hashed >= ${BYTES}`);
  const [next, drawn] = await page.evaluate(`[${LINK}.href, hash]`);
  await page.close();

  const opened = await browser.open(new URL(next).search, { before: RECORD_UPLOADS });
  await opened.waitFor(`hashed >= ${BYTES}`);
  expect(await opened.evaluate("hash") === drawn, "a new page at the link draws that picture's first passes again");
  await opened.close();
}

run(async (browser) => {
  await keptPicture(browser);
  const page = await browser.open("", { width: 320, height: 240, scale: 2 });
  expect(await page.evaluate("[canvas.width, canvas.height].join()") === "640,480",
         "the canvas has the window's size in device pixels");
  const early = await page.shotUntil((shot) => coverage(shot) > 0.002);
  expect(early !== null, "the picture appears");
  const late = await page.shotUntil((shot) => coverage(shot) > 1.5 * coverage(early));
  expect(late !== null, "the trails build up");
  console.log(`coverage ${coverage(early).toFixed(4)} -> ${coverage(late).toFixed(4)}`);
  expect(symmetric(late, 60), "the picture is symmetric about the canvas centre");

  const fullScreen = "document.fullscreenElement !== null";
  for (const type of ["mousePressed", "mouseReleased"])
    await page.send("Input.dispatchMouseEvent", { type, x: 10, y: 10, button: "left", clickCount: 1 });
  await page.waitFor(fullScreen);
  await page.send("Input.dispatchKeyEvent", { type: "keyDown", code: "KeyF", key: "f" });
  await page.waitFor(`!(${fullScreen})`);
  expect(true, "a click and F toggle full screen");
  const before = coverage(await page.shot());
  expect(await page.shotUntil((shot) => coverage(shot) > before) !== null,
         "and they do not end the saver: the picture goes on");

  // One tab at a time: a second one would show its note over the bottom of the picture.
  await page.close();
  const fps = await browser.open("?colour=6&fps");
  const rated = await fps.shotUntil((shot) => redAtBottomLeft(shot) > 40);
  expect(rated !== null, "?fps shows the frame rate at the bottom left");
  await fps.close();
  // Without it, nothing there once the picture has gone on as long as the rate took to show.
  const plain = await browser.open("?colour=6");
  const later = await plain.shotUntil((shot) => coverage(shot) >= coverage(rated));
  expect(later !== null, "the picture without ?fps goes on as long");
  console.log(`coverage ${coverage(rated).toFixed(4)} with the rate, ${coverage(later).toFixed(4)} without`);
  expect(redAtBottomLeft(later) === 0, "without ?fps nothing is there");
  await plain.close();

  // At Rest 20 a pass takes 20 ms and a few of drawing: 40 to 50 a second as on the desktop, not
  // one every animation frame (60); no more pictures shown than passes. Wall time: wide bounds.
  const paced = await browser.open("?fps&delay=20000&count=3&reflections=12&no-tile");
  const reports = () => paced.console.map((line) => line.match(/([\d.]+) fps, .*, ([\d.]+) shown/))
    .filter(Boolean).slice(1).map((m) => [Number(m[1]), Number(m[2])]);
  for (let waited = 0; reports().length < 4 && waited < 30000; waited += 250) await sleep(250);
  const rates = reports();
  const mean = (i) => rates.reduce((sum, r) => sum + r[i], 0) / rates.length;
  expect(rates.length >= 4 && mean(0) >= 20 && mean(0) <= 56 && mean(1) <= mean(0) + 1,
         `at Rest 20 the desktop's pace, no more shown than drawn: ${mean(0)} passes/s, ${mean(1)} shown/s`);
});
