// The few things the back end needs JavaScript for: the Fullscreen API, styles of the page, its
// message box, the lock keys of the current keyboard event, the page going away, localStorage.
#include "platform/web/web_page.h"

#include <emscripten/emscripten.h>

// clang-format off
EM_JS(void, PageToggleFullscreen, (), {
    const done = document.fullscreenElement ? document.exitFullscreen()
                                            : document.documentElement.requestFullscreen();
    if (done) done.catch(() => {}); // refused: the page stays as it is
});

EM_JS(void, PageSetCursorHidden, (int hidden), {
    Module.canvas.style.cursor = hidden ? "none" : "";
    document.getElementById("picture").classList.toggle("away", !!hidden);
});

EM_JS(void, PageSetPictureLink, (const char* address, const char* commandLine), {
    const link = document.getElementById("picture");
    const options = UTF8ToString(address);
    link.hidden = options === "";
    link.href = location.pathname + "?" + options;
    link.title = UTF8ToString(commandLine);
    link.querySelector("span").textContent = link.title;
});

EM_JS(void, PageSetBackground, (std::uint32_t color), {
    const hex = (byte) => ((color >>> (8 * byte)) & 255).toString(16).padStart(2, "0");
    document.body.style.background = "#" + hex(0) + hex(1) + hex(2);
});

EM_JS(void, PageShowMessage, (const char* caption, const char* text, const char* detail), {
    const box = document.getElementById("message");
    box.querySelector("h1").textContent = UTF8ToString(caption);
    box.querySelector("p").textContent = UTF8ToString(text);
    box.querySelector("small").textContent = UTF8ToString(detail);
    box.hidden = false;
});

EM_JS(void, PageHideMessage, (), { document.getElementById("message").hidden = true; });

EM_JS(void, PageShowLastingMessage, (const char* caption, const char* text, const char* detail), {
    const message = [UTF8ToString(caption), UTF8ToString(text), UTF8ToString(detail)];
    try {
        sessionStorage.setItem("lumivex-gl/message", JSON.stringify(message));
    } catch (e) {
        // Told now only.
    }
    const box = document.getElementById("message");
    ["h1", "p", "small"].forEach((part, i) => { box.querySelector(part).textContent = message[i]; });
    box.hidden = false;
});

EM_JS(int, PageKeyLocks, (), {
    const e = window.event;
    if (!e || !e.getModifierState) return 0;
    return (e.getModifierState("CapsLock") ? 1 : 0) | (e.getModifierState("NumLock") ? 2 : 0);
});

EM_JS(void, PageListenForHide, (), {
    addEventListener("pagehide", () => _lumivex_web_page_hide());
    // Back from the browser's page cache the saver has already ended: start it again.
    addEventListener("pageshow", (e) => { if (e.persisted) location.reload(); });
});

// An item is handed over as UTF-16LE after its mark, which the registry text keeps as it is read,
// so that every string comes back as it was: any character, unpaired surrogates too.
EM_JS(int, PageStorageLength, (const char* name), {
    try {
        let text = localStorage.getItem(UTF8ToString(name));
        if (text === null) return -1;
        // A text that begins with the mark U+FEFF has it once, not a mark and a character after
        // it; it goes back where it was when the item is written.
        Module.markedItems = Module.markedItems || new Set();
        if (text.startsWith("\uFEFF")) {
            Module.markedItems.add(UTF8ToString(name));
            text = text.substring(1);
        }
        const bytes = new Uint8Array(text.length > 0 ? 2 + 2 * text.length : 0);
        bytes.set([0xFF, 0xFE].slice(0, bytes.length));
        for (let i = 0; i < text.length; i++) {
            const unit = text.charCodeAt(i);
            bytes[2 + 2 * i] = unit & 255;
            bytes[3 + 2 * i] = unit >> 8;
        }
        Module.storedBytes = bytes;
        return bytes.length;
    } catch (e) {
        return -2;
    }
});

EM_JS(void, PageStorageCopy, (const char* name, std::uint8_t* bytes, int size), {
    HEAPU8.set(Module.storedBytes.subarray(0, size), bytes);
    delete Module.storedBytes;
});

// UTF-16LE after its mark as it was handed over; else the UTF-8 of a text the program began.
EM_JS(int, PageStorageWrite, (const char* name, const std::uint8_t* bytes, int size), {
    try {
        const data = HEAPU8.subarray(bytes, bytes + size);
        let text = "";
        if (size >= 2 && data[0] === 0xFF && data[1] === 0xFE) {
            const units = new Uint16Array(data.slice(2, size - (size % 2)).buffer);
            for (let i = 0; i < units.length; i += 8192)
                text += String.fromCharCode.apply(null, units.subarray(i, i + 8192));
            if (Module.markedItems && Module.markedItems.has(UTF8ToString(name)))
                text = "\uFEFF" + text;
        } else {
            text = new TextDecoder().decode(data);
        }
        localStorage.setItem(UTF8ToString(name), text);
        return 1;
    } catch (e) {
        return 0;
    }
});
// clang-format on
