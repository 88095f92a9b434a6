// Caps Lock + W tiles the picture, and the edits with Caps Lock on are kept in localStorage as the
// Linux program's registry text: after a reload the settings hold FullScreen 1 (and the edits of
// keypad 6 with Num Lock, keypad minus and Up, as in the saver), and the picture starts tiled. A
// second tab shows the picture and writes nothing, whatever it is told. What the stored text keeps
// that is not the program's (a comment, another key's value, an item that is no registry text at
// all) comes back character for character after a save, any character, and a mark U+FEFF at its
// start stays one mark. Settings that a full storage could not keep are told in the message box.
"use strict";
const { run, expect, coverage } = require("./page.js");

const STORED = `localStorage.getItem("lumivex-gl/registry.reg") || ""`;
// The corners of a 320x240 canvas, beyond the reach of an untiled picture's elements.
const corners = (shot) =>
  [[0, 0], [296, 0], [0, 222], [296, 222]].reduce((sum, [x, y]) => sum + coverage(shot, x, y, 24, 18), 0);

run(async (browser) => {
  const tiled = (shot) => corners(shot) > 0.02;
  const page = await browser.open();
  const drawn = await page.shotUntil((shot) => coverage(shot) > 0.02);
  expect(drawn !== null && corners(drawn) === 0, "untiled, the picture leaves the corners empty");
  await page.key("CapsLock", true);
  await page.key("KeyW", true);
  expect(await page.shotUntil(tiled) !== null, "Caps Lock + W tiles the picture over the canvas");
  for (const code of ["Numpad6", "NumpadSubtract", "ArrowUp"]) await page.key(code, true, true);

  const viewer = await browser.open();
  await viewer.waitFor(`!document.getElementById("note").hidden`);
  for (const [code, capsLock] of [["CapsLock", true], ["KeyT", true], ["CapsLock", false]])
    await viewer.key(code, capsLock);
  await viewer.close();
  expect(await page.evaluate(STORED) === "", "the second tab writes no settings");

  await page.reload();
  const stored = await page.evaluate(STORED);
  expect(/^REGEDIT4\n\n\[HKEY_CURRENT_USER\\Software\\Orvantix\\Lumivex GL\\Version 3\.0\]\n"OpenGLDLL"/.test(stored),
         "the settings are stored as the Linux program's registry text");
  expect(stored.includes('"FullScreen"=dword:00000001'), "after a reload the settings hold FullScreen 1");
  expect(['"MonoColor"=dword:00ff0000', '"Monochrome"=dword:00000001', '"NumOfElements"=dword:00000002',
          '"NumOfReflections"=dword:00000012'].every((line) => stored.includes(line)),
         "and the other edits, as the keys gave them");
  const role = await page.evaluate(`document.getElementById("note").hidden ? "keeps" : "only shows"`);
  expect(await page.shotUntil(tiled) !== null, `and the picture starts tiled (the tab ${role} the settings)`);

  // Characters beyond Latin-1 and the BMP, and an unpaired surrogate; a reload saves.
  const WIDE = "€ café 𝄞 \uD800";
  const storeAndSave = async (text) => {
    await page.evaluate(`localStorage.setItem("lumivex-gl/registry.reg", ${JSON.stringify(text)})`);
    await page.reload();
    return page.evaluate(STORED);
  };
  const kept = `REGEDIT4\n\n; ${WIDE}\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"Note"="${WIDE}"\n\n`;
  const saved = await storeAndSave(kept);
  expect(saved.startsWith(kept) && saved.includes('"FullScreen"=dword:00000001'),
         "a comment and another key's value come back unchanged beside the settings");
  const foreign = `${WIDE} is no registry text`;
  expect((await storeAndSave(foreign)).startsWith("REGEDIT4\n") &&
         await page.evaluate(`localStorage.getItem("lumivex-gl/registry.reg.unreadable")`) === foreign,
         "an item that is no registry text is kept aside unchanged");
  const marked = await storeAndSave(`\uFEFF${kept}`);
  expect(marked.startsWith(`\uFEFF${kept}`) && marked.split("REGEDIT4").length === 2,
         "a text that begins with the mark U+FEFF keeps it, and one header");

  const MESSAGE = `document.getElementById("message").hidden ? "" : document.querySelector("#message p").textContent`;
  expect(await page.evaluate(MESSAGE) === "", "no message while the settings are kept");
  await page.evaluate(`localStorage.removeItem("lumivex-gl/registry.reg");
    for (let size = 1 << 20, i = 0; size > 0;) try { localStorage.setItem("f" + i++, "x".repeat(size)); } catch { size >>= 1; }`);
  await page.reload();
  const told = await page.evaluate(MESSAGE);
  expect(told === "lumivex-gl: cannot save the settings to localStorage (lumivex-gl/registry.reg)" &&
         await page.evaluate(STORED) === "", `a full storage is told in the message box: ${told}`);
  await page.evaluate("localStorage.clear()");
});
