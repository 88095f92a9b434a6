// Choosing the GLX visual of the view, shared by the saver window (which must create its view
// with that visual: an X window's visual is fixed for its life) and the GL context code.
#pragma once

#include "platform/posix/posix_view_limit.h"
#include "platform/x11/x11_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace lumivex {

// What the view asks of its surface; the defaults are the view's own request.
struct GLVisualRequest {
    int ColorBits = 32;
    int DepthBits = 32;
    int StencilBits = 0;
    int AccumBits = 0;
    int AuxBuffers = 0;
    int Layer = 0;
};

// What GLX reports about one visual of the screen.
struct GLVisualTraits {
    bool UsesGL = false;
    bool Rgba = false;
    bool DoubleBuffered = false;
    bool Stereo = false;
    int Level = 0;
    int BufferSize = 0;
    int DepthSize = 0;
    int StencilSize = 0;
    int AccumSize = 0; // all four channels together
    int AuxBuffers = 0;
    bool ScreenDepth = false;  // the screen's own depth, not a deeper ARGB visual
    bool DirectPixels = false; // a TrueColor visual
};

// Index of the candidate closest to the request, or -1 when none is a single-buffered RGBA GL
// visual of the requested layer. Earlier candidates win ties.
int ClosestGLVisual(const std::vector<GLVisualTraits>& candidates, const GLVisualRequest& request);

using GLXGetConfigProc = int (*)(Display*, XVisualInfo*, int, int*);

// The visual of `screen` closest to the request; false when GLX offers none.
// A GLX function from the loaded GL library, or, when that library has none (one that only
// implements drawing, say), from the system's GL library: as on Windows, where the context
// functions are always the system's. nullptr when GL is not loaded or the name is found nowhere.
void* GlxEntryPoint(Platform& platform, const char* name);

bool ChooseGLVisual(Display* display, int screen, const GLVisualRequest& request,
                    GLXGetConfigProc getConfig, XVisualInfo& chosen);

// Whether a context of the view is current, so that GL calls draw on it.
bool ViewContextCurrent(X11Platform::GlxState* state);

// No context may outlive the view window it draws on: makes none current and deletes them all.
void ReleaseViewContexts(X11Platform::GlxState* state);

} // namespace lumivex
