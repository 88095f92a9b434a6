// What the saver window shares with the GL context code and the session: the view's drawing
// surface and where the window's events go.
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

} // namespace lumivex
