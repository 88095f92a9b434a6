// The view's rendering context on Wayland: EGL on the compositor's connection with an OpenGL ES 3
// context, one window surface per output, and the batching GL table drawing the picture into its
// offscreen target. Presenting copies each output's part of that picture onto the output's
// surface: the back buffers are never read again, so whatever a swap leaves in them is fine.
#include "platform/wayland/wayland_state.h"

#include <EGL/eglext.h>
#include <wayland-egl.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

namespace lumivex {

namespace {

// Samples a pixel of the offscreen picture: ES has no smooth lines, so the edges of every line
// are smoothed this way instead, as on the page.
constexpr int PictureSamples = 4;

char batchingLibrary; // the handle of the one GL library: its address

std::string EglProblem(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " (EGL error " + code + ")";
}

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

// 8-bit RGB without alpha, chosen explicitly: the configs come deepest first, and a 10-bit one
// shows black on some compositors; an alpha channel would make the outputs see-through.
bool ChooseConfig(EGLDisplay display, EGLConfig& chosen) {
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_ES3_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    if (eglChooseConfig(display, wanted, configs, 64, &count) != EGL_TRUE)
        return false;
    int best = -1;
    for (int i = 0; i < count; ++i) {
        const EGLConfig config = configs[i];
        if (Attribute(display, config, EGL_RED_SIZE) != 8 ||
            Attribute(display, config, EGL_GREEN_SIZE) != 8 ||
            Attribute(display, config, EGL_BLUE_SIZE) != 8)
            continue;
        const bool opaque = Attribute(display, config, EGL_ALPHA_SIZE) == 0;
        if (best < 0 || (opaque && Attribute(display, configs[best], EGL_ALPHA_SIZE) != 0))
            best = i;
    }
    if (best >= 0)
        chosen = configs[best];
    return best >= 0;
}

void BindES() {
    BindESEntryPoints([](const char* name) { return eglGetProcAddress(name); });
}

EGLSurface CurrentSurface(WaylandPlatform::WindowState* window) {
    if (window == nullptr)
        return EGL_NO_SURFACE;
    for (auto& surface : window->surfaces)
        if (surface->eglSurface != EGL_NO_SURFACE)
            return surface->eglSurface;
    return EGL_NO_SURFACE;
}

} // namespace

WaylandPlatform::EglState::~EglState() {
    if (display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT)
        eglDestroyContext(display, context);
    eglTerminate(display);
}

void WaylandPlatform::StateDeleter::operator()(EglState* state) const {
    std::default_delete<EglState>()(state);
}

std::string StartEgl(WaylandPlatform::EglState& egl, wl_display* display) {
    egl.display = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, display, nullptr);
    if (egl.display == EGL_NO_DISPLAY)
        return EglProblem("no EGL display on the Wayland connection");
    if (eglInitialize(egl.display, nullptr, nullptr) != EGL_TRUE) {
        egl.display = EGL_NO_DISPLAY;
        return EglProblem("cannot initialise EGL");
    }
    if (eglBindAPI(EGL_OPENGL_ES_API) != EGL_TRUE || !ChooseConfig(egl.display, egl.config))
        return EglProblem("EGL has no 8-bit RGB OpenGL ES 3 window configuration");
    const EGLint version[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    egl.context = eglCreateContext(egl.display, egl.config, EGL_NO_CONTEXT, version);
    if (egl.context == EGL_NO_CONTEXT)
        return EglProblem("cannot make an OpenGL ES 3 context");
    return "";
}

void FollowSurfaceSize(WaylandPlatform::EglState* egl, WaylandSurface& surface) {
    if (egl == nullptr || surface.width <= 0 || surface.height <= 0)
        return;
    if (surface.eglWindow != nullptr) {
        wl_egl_window_resize(surface.eglWindow, surface.width, surface.height, 0, 0);
        return;
    }
    surface.eglWindow = wl_egl_window_create(surface.surface, surface.width, surface.height);
    if (surface.eglWindow == nullptr)
        return;
    surface.eglSurface =
        eglCreatePlatformWindowSurface(egl->display, egl->config, surface.eglWindow, nullptr);
}

void LeaveSurface(WaylandPlatform::EglState* egl, WaylandWindow& window,
                  const WaylandSurface& leaving) {
    if (egl == nullptr || leaving.eglSurface == EGL_NO_SURFACE ||
        eglGetCurrentSurface(EGL_DRAW) != leaving.eglSurface)
        return;
    for (auto& surface : window.surfaces)
        if (!surface->output->gone && surface->eglSurface != EGL_NO_SURFACE &&
            eglMakeCurrent(egl->display, surface->eglSurface, surface->eglSurface, egl->context) ==
                EGL_TRUE)
            return;
    // The picture is offscreen: the context draws it on no surface until an output comes.
    if (eglMakeCurrent(egl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl->context) != EGL_TRUE)
        eglMakeCurrent(egl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

LibraryHandle WaylandPlatform::LoadLibrary(const std::string&) {
    if (egl_ == nullptr) {
        lastError_ = ENOENT;
        return nullptr;
    }
    return &batchingLibrary;
}

void* WaylandPlatform::GetProcAddress(LibraryHandle library, const char* name) {
    if (library != &batchingLibrary)
        return PosixPlatform::GetProcAddress(library, name);
    void* entry = BatchingGLProcAddress(name);
    if (entry == nullptr)
        lastError_ = ENOENT;
    return entry;
}

void WaylandPlatform::FreeLibrary(LibraryHandle library) {
    if (library != &batchingLibrary)
        PosixPlatform::FreeLibrary(library);
}

DeviceContext WaylandPlatform::GetViewDeviceContext() {
    return window_ != nullptr ? 1 : 0;
}

RenderContext WaylandPlatform::CreateGLContext(DeviceContext dc, int, int, int, int, int) {
    const EGLSurface surface = CurrentSurface(window_.get());
    // Asked to end before the compositor gave the surfaces their sizes: the loop closes as for
    // any close, with nothing drawn.
    if (surface == EGL_NO_SURFACE && TerminationRequested()) {
        lastError_ = EINTR;
        return 0;
    }
    if (dc != 1 || egl_ == nullptr || surface == EGL_NO_SURFACE) {
        lastError_ = ENXIO;
        throw EPlatformError(lastError_, "cannot make the OpenGL context: the view has no surface");
    }
    if (const std::string problem = LayoutTooLarge(*window_); !problem.empty())
        throw EPlatformError(lastError_ = EFBIG, "cannot make the OpenGL context: " + problem);
    if (eglMakeCurrent(egl_->display, surface, surface, egl_->context) != EGL_TRUE)
        throw EPlatformError(lastError_ = EIO, EglProblem("cannot use the OpenGL ES context"));
    // Pictures are shown when the compositor's frame callbacks ask, not by a swap that waits.
    eglSwapInterval(egl_->display, 0);
    BindES();
    egl_->flush = reinterpret_cast<void (*)()>(eglGetProcAddress("glFlush"));
    InstallBatchingGL(egl_->layer);
    // The context outlives the saver window: a later window keeps its objects, at its own size.
    if (egl_->created)
        egl_->layer.Resize(window_->width, window_->height);
    else if (!egl_->layer.Create(window_->width, window_->height, PictureSamples))
        throw EPlatformError(lastError_ = EIO, egl_->layer.Error());
    egl_->created = true;
    return reinterpret_cast<RenderContext>(egl_->context);
}

void WaylandPlatform::ActivateGLContext(DeviceContext, RenderContext rc) {
    const EGLSurface surface = CurrentSurface(window_.get());
    if (egl_ != nullptr && rc == reinterpret_cast<RenderContext>(egl_->context) &&
        surface != EGL_NO_SURFACE)
        eglMakeCurrent(egl_->display, surface, surface, egl_->context);
}

void WaylandPlatform::DeactivateGLContext() {
    if (egl_ != nullptr)
        eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

// The context lives as long as the connection; the view only lets go of it. Its objects go with
// it, so a new view starts from a new picture.
void WaylandPlatform::DeleteGLContext(RenderContext) {}

bool WaylandPlatform::PresentView() {
    WindowState* window = window_.get();
    if (window == nullptr)
        return false;
    window->pacer.Drew();
    // A software rasterizer draws only when told to: each pass is drawn now, at the pace's cost,
    // not all of them at the next copy to the outputs, which would then come late.
    if (egl_ != nullptr && egl_->created && egl_->flush != nullptr) {
        egl_->layer.Submit();
        egl_->flush();
    }
    bool drewText = false;
    if (frameRateReport_ && egl_ != nullptr && egl_->created) {
        window->frameRate.Count(WaylandMilliseconds());
        if (window->frameRate.HasText()) {
            window->frameRate.Draw(GL, window->width, window->height, background_);
            drewText = true;
        }
    }
    // Shown while the program rests or handles events, as soon as a frame is due and the showing
    // fits in the rest (Sleep, HandlePendingEvent): it then takes from the rest, not from the pace.
    window->pacer.Resting(WaylandClock(), rest_);
    return drewText;
}

// Once for each frame the compositor asked for, and only with something new: the passes drawn
// since are resolved once for the outputs whose frame is due, whatever their number.
void WaylandPlatform::ShowPicture() {
    WindowState* window = window_.get();
    if (window == nullptr || egl_ == nullptr || !egl_->created)
        return;
    const double start = WaylandClock();
    if (!window->pacer.ShowFits(start))
        return;
    const std::uint64_t picture = window->pacer.Drawn();
    bool resolved = false;
    for (auto& surface : window->surfaces) {
        if (!surface->frameDue || surface->eglSurface == EGL_NO_SURFACE ||
            !window->pacer.Unshown(surface->shownPicture))
            continue;
        if (!resolved) {
            egl_->layer.Resolve();
            resolved = true;
        }
        if (eglMakeCurrent(egl_->display, surface->eglSurface, surface->eglSurface,
                           egl_->context) != EGL_TRUE)
            continue;
        const ViewRect& rect = surface->rect;
        egl_->layer.Present(rect.Left, window->height - rect.Top - rect.Height, rect.Width,
                            rect.Height);
        surface->shownPicture = picture;
        RequestFrame(*surface);
        if (eglSwapBuffers(egl_->display, surface->eglSurface) != EGL_TRUE &&
            wl_display_get_error(display_->display) != 0)
            LoseDisplay();
    }
    if (!resolved)
        return;
    window->pacer.ShowTook(start, WaylandClock());
    const std::uint64_t shown = window->pacer.PicturesShown();
    window->pacer.Shown();
    if (frameRateReport_ && window->pacer.PicturesShown() != shown)
        window->frameRate.CountShown(WaylandMilliseconds());
}

bool WaylandPlatform::PicturesShown(std::uint64_t& shown) {
    if (window_ == nullptr)
        return false;
    shown = window_->pacer.PicturesShown();
    return true;
}

} // namespace lumivex
