// What the saver window shares with the GL context code: the view's drawing surface, and the
// translation of X key symbols to the virtual-key codes the saver window understands.
#pragma once

#include "platform/x11/x11_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

namespace lumivex {

// The view: a child window over the saver window's whole area, made with the visual its GL
// context needs. Its address is the view's device-context handle, so the handle stays valid when
// the window is remade for another visual.
struct ViewSurface {
    Display* display = nullptr;
    int screen = 0;
    Window window = 0;
    VisualID visual = 0;
};

// The saver window's view; nullptr when there is no saver window.
ViewSurface* SaverViewSurface(X11Platform::WindowState* state);
// Where the saver window's events go while its modal loop runs (before, the form holds no edits
// of its own); nullptr otherwise.
WindowEvents* ModalSaverWindowEvents(X11Platform::WindowState* state);

// Remakes the view window with `visual`, keeping its size, cursor and mapping. Returns 0 or the
// X error code that stopped it (the old window then stays).
int RebuildViewWindow(X11Platform::WindowState* state, const XVisualInfo& visual);

// Code delivered for keys the saver window has no name for; like any key, it ends the saver.
constexpr std::uint16_t VK_UNKNOWN = 0xFF;

// The virtual-key code of a key symbol looked up at the keyboard's base level (with only the
// Num Lock state applied, so a keypad key reads as a digit or as an arrow as Windows has it).
std::uint16_t VirtualKeyFromKeysym(unsigned long keysym);

} // namespace lumivex
