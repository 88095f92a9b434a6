// What the back end asks of the page in JavaScript (web_page.cpp holds the code, as EM_JS). The
// rest goes through emscripten's C interfaces (html5.h, the GLES3 functions).
#pragma once

#include <cstdint>

extern "C" {

// Full screen on or off (the Fullscreen API); only inside a click's or a key's handler.
void PageToggleFullscreen();
// Hides or shows the cursor over the canvas, and the picture's link with it.
void PageSetCursorHidden(int hidden);
// The link to the current picture: the options of the address ("seed=7&count=4...") and the same
// picture as a command line; an empty address takes the link away.
void PageSetPictureLink(const char* address, const char* commandLine);
// The page's own colour, a COLORREF (0x00BBGGRR), behind and around the canvas.
void PageSetBackground(std::uint32_t color);
// The message box of the page: a caption, the text and a line on what went wrong; shown until
// PageHideMessage or its OK button.
void PageShowMessage(const char* caption, const char* text, const char* detail);
void PageHideMessage();
// The same, also when this tab shows the page next (a message of a page that is going away).
void PageShowLastingMessage(const char* caption, const char* text, const char* detail);
// The lock keys of the keyboard event being handled: 1 Caps Lock, 2 Num Lock.
int PageKeyLocks();
// Calls lumivex_web_page_hide when the page goes away.
void PageListenForHide();
// An item of localStorage as bytes, UTF-16LE after its mark (nothing for an empty item): their
// length, -1 when absent, -2 when the storage cannot be read; PageStorageCopy puts them in `bytes`.
int PageStorageLength(const char* name);
void PageStorageCopy(const char* name, std::uint8_t* bytes, int size);
// Stores `size` bytes as the item, UTF-16LE after its mark as they were read, else UTF-8; false
// when the storage refuses (full, or switched off).
int PageStorageWrite(const char* name, const std::uint8_t* bytes, int size);

// Called from the page's JavaScript.
void lumivex_web_page_hide();
}
