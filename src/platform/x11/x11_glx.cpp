// The view's rendering context on X11: GLX, bound by name from the GL library the program loaded
// (nothing links libGL). The view asks for a single-buffered RGBA surface; the visual closest to
// its request is the one its window is made with.
#include "platform/x11/x11_glx.h"

#include "gl/OpenGL12.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_session.h"
#include "platform/x11/x11_window.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace lumivex {

namespace {

// GLX attribute numbers (GL/glx.h), written out so that building needs no GL headers.
enum : int {
    GLX_USE_GL = 1,
    GLX_BUFFER_SIZE = 2,
    GLX_LEVEL = 3,
    GLX_RGBA = 4,
    GLX_DOUBLEBUFFER = 5,
    GLX_STEREO = 6,
    GLX_AUX_BUFFERS = 7,
    GLX_DEPTH_SIZE = 12,
    GLX_STENCIL_SIZE = 13,
    GLX_ACCUM_RED_SIZE = 14,
    GLX_ACCUM_GREEN_SIZE = 15,
    GLX_ACCUM_BLUE_SIZE = 16,
    GLX_ACCUM_ALPHA_SIZE = 17,
};

// Where the context functions come from when the configured GL library has none.
const char* const SystemGLLibrary = "libGL.so.1";

using GLXContextHandle = void*;
using GLXQueryExtensionProc = Bool (*)(Display*, int*, int*);
using GLXCreateContextProc = GLXContextHandle (*)(Display*, XVisualInfo*, GLXContextHandle, Bool);
using GLXMakeCurrentProc = Bool (*)(Display*, XID, GLXContextHandle);
using GLXDestroyContextProc = void (*)(Display*, GLXContextHandle);

// Lower is closer; compared in order, so a wrong depth weighs more than any buffer size.
std::array<int, 7> Distance(const GLVisualTraits& visual, const GLVisualRequest& request) {
    return {visual.ScreenDepth ? 0 : 1,
            std::abs(visual.BufferSize - request.ColorBits),
            std::abs(visual.DepthSize - request.DepthBits),
            std::abs(visual.StencilSize - request.StencilBits),
            std::abs(visual.AccumSize - request.AccumBits),
            std::abs(visual.AuxBuffers - request.AuxBuffers),
            visual.DirectPixels ? 0 : 1};
}

// Once GLX has touched the display, its client library has a hook in the display's close; the
// library must stay mapped until then, even after the program releases the GL library.
void KeepGLXLoaded(void* entryPoint) {
    Dl_info where{};
    if (entryPoint == nullptr || dladdr(entryPoint, &where) == 0 || where.dli_fname == nullptr)
        return;
    dlopen(where.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

} // namespace

struct X11Platform::GlxState {
    LibraryHandle library = nullptr; // the GL library the entry points came from
    Display* display = nullptr;
    GLXQueryExtensionProc queryExtension = nullptr;
    GLXGetConfigProc getConfig = nullptr;
    GLXCreateContextProc createContext = nullptr;
    GLXMakeCurrentProc makeCurrent = nullptr;
    GLXDestroyContextProc destroyContext = nullptr;
    std::vector<GLXContextHandle> contexts; // made and not yet deleted
    GLXContextHandle current = nullptr;

    ~GlxState() { ReleaseViewContexts(this); }
    bool Usable() const { return library != nullptr && library == GLLibrary; }
};

void X11Platform::StateDeleter::operator()(GlxState* state) const {
    std::default_delete<GlxState>()(state);
}

namespace {

using GlxState = X11Platform::GlxState;

// Binds the GLX entry points; the names found nowhere go to `missing`.
void BindGlx(X11Platform& platform, GlxState& glx, Display* display, std::string& missing) {
    if (glx.Usable() && glx.display == display)
        return;
    // Contexts of a library released since cannot be deleted any more; they are forgotten.
    glx.contexts.clear();
    glx.current = nullptr;
    glx.library = GLLibrary;
    glx.display = display;
    auto bind = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            GlxEntryPoint(platform, name));
        if (entry == nullptr)
            missing += missing.empty() ? name : std::string(", ") + name;
    };
    bind(glx.queryExtension, "glXQueryExtension");
    bind(glx.getConfig, "glXGetConfig");
    bind(glx.createContext, "glXCreateContext");
    bind(glx.makeCurrent, "glXMakeCurrent");
    bind(glx.destroyContext, "glXDestroyContext");
    KeepGLXLoaded(reinterpret_cast<void*>(glx.queryExtension));
}

// A context for the visual; nullptr and the X error code when the server refused one.
GLXContextHandle MakeContext(GlxState& glx, Display* display, XVisualInfo& visual, int& code) {
    XErrorTrap trap(display);
    GLXContextHandle context = SurvivingLostServer(ConnectionNumber(display), [&] {
        return glx.createContext(display, &visual, nullptr, True);
    });
    code = trap.Sync();
    return context;
}

void MakeNoneCurrent(GlxState& glx) {
    if (glx.current == nullptr)
        return;
    XErrorTrap trap(glx.display);
    glx.makeCurrent(glx.display, None, nullptr);
    glx.current = nullptr;
}

} // namespace

} // namespace lumivex

// The software rasteriser of the GL library reads its window's size with XGetGeometry and takes
// the outputs even when the call failed: on a window a host has just destroyed, that is whatever
// the stack held, and it can spend seconds clearing gigabytes before the run notices the end.
// This definition, exported to the libraries (CMakeLists.txt), hands out zeros on failure.
extern "C" Status XGetGeometry(Display* display, Drawable drawable, Window* root, int* x, int* y,
                               unsigned int* width, unsigned int* height, unsigned int* border,
                               unsigned int* depth) {
    using Real = Status (*)(Display*, Drawable, Window*, int*, int*, unsigned int*, unsigned int*,
                            unsigned int*, unsigned int*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XGetGeometry"));
    *root = 0;
    *x = *y = 0;
    *width = *height = *border = *depth = 0;
    return real != nullptr ? real(display, drawable, root, x, y, width, height, border, depth) : 0;
}

namespace lumivex {

void* GlxEntryPoint(Platform& platform, const char* name) {
    if (GLLibrary == nullptr)
        return nullptr;
    if (void* address = platform.GetProcAddress(GLLibrary, name))
        return address;
    // Kept loaded for the rest of the run, like the GLX hooks in the display.
    static void* const system = dlopen(SystemGLLibrary, RTLD_NOW | RTLD_NODELETE);
    return system != nullptr ? dlsym(system, name) : nullptr;
}

int ClosestGLVisual(const std::vector<GLVisualTraits>& candidates, const GLVisualRequest& request) {
    int best = -1;
    std::array<int, 7> bestDistance{};
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const GLVisualTraits& visual = candidates[i];
        // Nothing is ever swapped, so only a single-buffered surface shows what is drawn.
        if (!visual.UsesGL || !visual.Rgba || visual.DoubleBuffered || visual.Stereo ||
            visual.Level != request.Layer)
            continue;
        const std::array<int, 7> distance = Distance(visual, request);
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

bool ChooseGLVisual(Display* display, int screen, const GLVisualRequest& request,
                    GLXGetConfigProc getConfig, XVisualInfo& chosen) {
    if (display == nullptr || getConfig == nullptr)
        return false;
    KeepGLXLoaded(reinterpret_cast<void*>(getConfig));
    XVisualInfo pattern{};
    pattern.screen = screen;
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask, &pattern, &count);
    if (visuals == nullptr)
        return false;
    // The first GLX call sets the display up for GLX, talking to the server.
    if (count > 0)
        SurvivingLostServer(ConnectionNumber(display), [&] {
            int usesGL = 0;
            return getConfig(display, visuals, GLX_USE_GL, &usesGL);
        });
    std::vector<GLVisualTraits> candidates(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        XVisualInfo* visual = &visuals[i];
        bool answered = true;
        auto get = [&](int attribute) {
            int value = 0;
            if (getConfig(display, visual, attribute, &value) != 0)
                answered = false;
            return value;
        };
        GLVisualTraits& traits = candidates[static_cast<std::size_t>(i)];
        traits.UsesGL = get(GLX_USE_GL) != 0;
        traits.Rgba = get(GLX_RGBA) != 0;
        traits.DoubleBuffered = get(GLX_DOUBLEBUFFER) != 0;
        traits.Stereo = get(GLX_STEREO) != 0;
        traits.Level = get(GLX_LEVEL);
        traits.BufferSize = get(GLX_BUFFER_SIZE);
        traits.DepthSize = get(GLX_DEPTH_SIZE);
        traits.StencilSize = get(GLX_STENCIL_SIZE);
        traits.AccumSize = get(GLX_ACCUM_RED_SIZE) + get(GLX_ACCUM_GREEN_SIZE) +
                           get(GLX_ACCUM_BLUE_SIZE) + get(GLX_ACCUM_ALPHA_SIZE);
        traits.AuxBuffers = get(GLX_AUX_BUFFERS);
        traits.ScreenDepth = visual->depth == DefaultDepth(display, screen);
        traits.DirectPixels = visual->c_class == TrueColor;
        traits.UsesGL = traits.UsesGL && answered;
    }
    const int best = ClosestGLVisual(candidates, request);
    if (best >= 0)
        chosen = visuals[best];
    XFree(visuals);
    return best >= 0;
}

bool ViewContextCurrent(X11Platform::GlxState* state) {
    return state != nullptr && state->Usable() && state->current != nullptr;
}

void ReleaseViewContexts(X11Platform::GlxState* state) {
    if (state == nullptr)
        return;
    // Entry points of a library that has been released since cannot be called any more.
    if (state->Usable()) {
        MakeNoneCurrent(*state);
        XErrorTrap trap(state->display);
        for (GLXContextHandle context : state->contexts)
            state->destroyContext(state->display, context);
    }
    state->contexts.clear();
    state->current = nullptr;
}

DeviceContext X11Platform::GetViewDeviceContext() {
    return reinterpret_cast<DeviceContext>(SaverViewSurface(window_.get()));
}

// The view's surface is the window's own, as with a private device context: nothing to give back.
void X11Platform::ReleaseViewDeviceContext(DeviceContext) {}

RenderContext X11Platform::CreateGLContext(DeviceContext dc, int colorBits, int stencilBits,
                                           int accumBits, int auxBuffers, int layer) {
    ViewSurface* view = SaverViewSurface(window_.get());
    Display* display = view != nullptr ? view->display : XConnection();
    // A host that destroyed its window ended the run; the loop ends it quietly, without a context.
    auto fail = [&](std::uint32_t code, const std::string& why) -> RenderContext {
        lastError_ = code;
        if (SaverHostGone(window_.get()))
            return 0;
        throw EPlatformError(code, "cannot make the OpenGL context: " + why);
    };
    if (view == nullptr || dc != reinterpret_cast<DeviceContext>(view))
        return fail(BadDrawable, XErrorTerms(display, BadDrawable));
    if (int width = 0, height = 0; GetViewSize(width, height), !ViewFitsGL(width, height))
        return fail(EFBIG, ViewTooLargeProblem(width, height));
    if (!EnsureOpenGL()) {
        const std::uint32_t code = GetLastError();
        return fail(code, "cannot load the GL library: " + ErrorText(code));
    }
    if (glx_ == nullptr)
        glx_ = std::make_unique<GlxState>();
    std::string missing;
    BindGlx(*this, *glx_, display, missing);
    if (!missing.empty()) {
        glx_->library = nullptr; // bind again next time
        return fail(ENOSYS, "the GL library has no " + missing);
    }
    int errorBase = 0;
    int eventBase = 0;
    if (!glx_->queryExtension(display, &errorBase, &eventBase))
        return fail(BadImplementation, "the X display has no GLX extension");

    const GLVisualRequest request{colorBits, 32, stencilBits, accumBits, auxBuffers, layer};
    XVisualInfo chosen{};
    if (!ChooseGLVisual(display, view->screen, request, glx_->getConfig, chosen))
        return fail(BadMatch, XErrorTerms(display, BadMatch) + ": no single-buffered RGBA visual");
    // The window was made before GL was loaded, or for another request.
    if (chosen.visualid != view->visual)
        if (const int code = RebuildViewWindow(window_.get(), chosen); code != 0)
            return fail(static_cast<std::uint32_t>(code), XErrorTerms(display, code));
    int code = 0;
    GLXContextHandle context = MakeContext(*glx_, display, chosen, code);
    if (context == nullptr)
        return fail(static_cast<std::uint32_t>(code),
                    code != 0 ? XErrorTerms(display, code) : "glXCreateContext failed");
    glx_->contexts.push_back(context);
    return reinterpret_cast<RenderContext>(context);
}

void X11Platform::ActivateGLContext(DeviceContext dc, RenderContext rc) {
    ViewSurface* view = SaverViewSurface(window_.get());
    if (view == nullptr || dc != reinterpret_cast<DeviceContext>(view) || glx_ == nullptr ||
        !glx_->Usable())
        return;
    auto* context = reinterpret_cast<GLXContextHandle>(rc);
    XErrorTrap trap(view->display);
    if (SurvivingLostServer(ConnectionNumber(view->display), [&] {
            return glx_->makeCurrent(view->display, view->window, context);
        }))
        glx_->current = context;
}

void X11Platform::DeactivateGLContext() {
    if (glx_ != nullptr && glx_->Usable())
        MakeNoneCurrent(*glx_);
}

void X11Platform::DeleteGLContext(RenderContext rc) {
    if (rc == 0 || glx_ == nullptr || !glx_->Usable())
        return;
    auto* context = reinterpret_cast<GLXContextHandle>(rc);
    auto found = std::find(glx_->contexts.begin(), glx_->contexts.end(), context);
    if (found == glx_->contexts.end())
        return;
    if (glx_->current == context)
        MakeNoneCurrent(*glx_);
    XErrorTrap trap(glx_->display);
    glx_->destroyContext(glx_->display, context);
    glx_->contexts.erase(found);
}

} // namespace lumivex
