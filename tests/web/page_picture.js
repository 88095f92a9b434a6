// The page draws the saver's picture: at twice the CSS pixels (HiDPI) the canvas has the device
// pixels, what is drawn stays and more is added over two seconds (the trails), and the picture of
// 12 mirrored reflections maps onto itself turned by 60 degrees about the canvas centre. A click
// and F (real input, as the Fullscreen API asks) toggle full screen, and the saver goes on.
"use strict";
const { run, expect, sleep, coverage, symmetric } = require("./page.js");

run(async (browser) => {
  const page = await browser.open("", { width: 320, height: 240, scale: 2 });
  expect(await page.evaluate("[canvas.width, canvas.height].join()") === "640,480",
         "the canvas has the window's size in device pixels");
  await sleep(600);
  const early = await page.shot();
  await sleep(2000);
  const late = await page.shot();
  console.log(`coverage ${coverage(early).toFixed(4)} -> ${coverage(late).toFixed(4)}`);
  expect(coverage(late) > 1.3 * coverage(early), "the trails build up over two seconds");
  expect(symmetric(late, 60), "the picture is symmetric about the canvas centre");

  const fullScreen = "document.fullscreenElement !== null";
  for (const type of ["mousePressed", "mouseReleased"])
    await page.send("Input.dispatchMouseEvent", { type, x: 10, y: 10, button: "left", clickCount: 1 });
  await page.waitFor(fullScreen);
  await page.send("Input.dispatchKeyEvent", { type: "keyDown", code: "KeyF", key: "f" });
  await page.waitFor(`!(${fullScreen})`);
  expect(true, "a click and F toggle full screen");
  const before = coverage(await page.shot());
  await sleep(1000);
  expect(coverage(await page.shot()) > before, "and they do not end the saver: the picture goes on");
});
