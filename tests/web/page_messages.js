// The GL library's message in the page, in the desktop's words: while the browser has taken the
// WebGL context away (the picture then comes back without a reload), and when there is no WebGL 2
// at all. A bad option in the address (a bad seed, a NUL) is told the way lumivex-gl tells it, in
// the address's words.
"use strict";
const { run, expect, coverage } = require("./page.js");

const MESSAGE = `(() => { const box = document.getElementById("message");
                          return box.hidden ? "" : box.querySelector("p").textContent; })()`;
const GL_MESSAGE = "Lumivex GL cannot initialize OpenGL library: OpenGL32.DLL";

run(async (browser) => {
  const page = await browser.open();
  expect(await page.shotUntil((shot) => coverage(shot) > 0) !== null, "the picture is drawn");
  await page.evaluate(`(window.lose = document.getElementById("canvas").getContext("webgl2")
                         .getExtension("WEBGL_lose_context")).loseContext()`);
  await page.waitFor(`${MESSAGE} !== ""`);
  expect(await page.evaluate(MESSAGE) === GL_MESSAGE, "a lost context is told in the desktop's words");
  await page.evaluate("lose.restoreContext()");
  await page.waitFor(`${MESSAGE} === ""`);
  expect(await page.shotUntil((shot) => coverage(shot) > 0.005) !== null,
         "the picture comes back without a reload");

  const bare = await browser.open("", { before: "HTMLCanvasElement.prototype.getContext = () => null;" });
  await bare.waitFor(`${MESSAGE} !== ""`);
  expect(await bare.evaluate(MESSAGE) === GL_MESSAGE, "no WebGL 2 is told in the same words");

  // Each refused in one message that names the option as the address does; nothing passed over.
  for (const [query, told] of [["?count=many", "bad value 'many' for count"],
                               ["?tile&=&count=abc", "unknown option '' in the address"],
                               ["?window-id=1", "unknown option 'window-id' in the address"],
                               ["?root", "unknown option 'root' in the address"],
                               ["?delay=%00", "bad value '\u2400' for delay"],
                               ["?count=4&seed=-1", "bad value '-1' for seed (0 to 4294967295)"]]) {
    const typo = await browser.open(query);
    await typo.waitFor(`${MESSAGE} !== ""`);
    expect(await typo.evaluate(MESSAGE) === `lumivex-gl: ${told}`, `${query} is refused: ${told}`);
    await typo.close();
  }
});
