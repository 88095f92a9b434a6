// The saver window's surfaces: one xdg_toplevel on each output, asked to be full screen there.
// The compositor says each one's size in a configure (sway says 0x0 first, which leaves the size
// to us: the output's own); the surface draws it in device pixels, at the output's scale, or at
// the fractional scale the compositor prefers where it offers one (drawn at the scaled size and
// shown through a viewport at the configured size). The view holds the outputs' pictures side by
// side, each the size of its surface.
#include "platform/wayland/wayland_state.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-egl.h>

#include <algorithm>
#include <cmath>

namespace lumivex {

namespace {

// sway sends the real size about 0.3 s after the first configure.
constexpr int ConfigureWaitMilliseconds = 2000;

void OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                         wl_array*) {
    auto* surface = static_cast<WaylandSurface*>(data);
    surface->pendingWidth = width;
    surface->pendingHeight = height;
}

void OnToplevelClose(void* data, xdg_toplevel*) {
    static_cast<WaylandSurface*>(data)->window->Queue({WaylandInput::Close});
}

void OnConfigureBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}

// Bound at version 1: the later events never come.
const xdg_toplevel_listener ToplevelListener = {&OnToplevelConfigure, &OnToplevelClose,
                                                &OnConfigureBounds, nullptr};

// The device pixels of the configured size, at the scale in use.
void FollowScale(WaylandSurface& surface) {
    if (!surface.configured)
        return;
    const SurfacePixels pixels =
        PixelsOf(surface.logicalWidth, surface.logicalHeight, surface.output->scale,
                 surface.preferredScale, surface.viewport != nullptr);
    if (pixels.Width == surface.width && pixels.Height == surface.height &&
        pixels.Scale == surface.scale)
        return;
    surface.width = pixels.Width;
    surface.height = pixels.Height;
    surface.scale = pixels.Scale;
    wl_surface_set_buffer_scale(surface.surface, pixels.Fractional ? 1 : surface.output->scale);
    if (surface.viewport != nullptr)
        wp_viewport_set_destination(surface.viewport, pixels.Fractional ? surface.logicalWidth : -1,
                                    pixels.Fractional ? surface.logicalHeight : -1);
    surface.window->layoutChanged = true;
}

void OnSurfaceConfigure(void* data, xdg_surface* xdgSurface, std::uint32_t serial) {
    auto& surface = *static_cast<WaylandSurface*>(data);
    xdg_surface_ack_configure(xdgSurface, serial);
    const WaylandOutput& output = *surface.output;
    surface.logicalWidth =
        std::max(1, surface.pendingWidth > 0 ? surface.pendingWidth : output.SurfaceWidth());
    surface.logicalHeight =
        std::max(1, surface.pendingHeight > 0 ? surface.pendingHeight : output.SurfaceHeight());
    surface.configured = true;
    FollowScale(surface);
}

void OnPreferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
    auto& surface = *static_cast<WaylandSurface*>(data);
    surface.preferredScale = static_cast<int>(scale);
    FollowScale(surface);
}

const wp_fractional_scale_v1_listener FractionListener = {&OnPreferredScale};

const xdg_surface_listener SurfaceListener = {&OnSurfaceConfigure};

void OnFrameDone(void* data, wl_callback* callback, std::uint32_t) {
    auto* surface = static_cast<WaylandSurface*>(data);
    wl_callback_destroy(callback);
    surface->frame = nullptr;
    surface->frameDue = true;
    surface->window->pacer.Asked(WaylandClock());
}

const wl_callback_listener FrameListener = {&OnFrameDone};

void MakeSurface(WaylandWindow& window, WaylandOutput& output) {
    WaylandPlatform::DisplayState& display = window.display;
    auto surface = std::make_unique<WaylandSurface>();
    surface->window = &window;
    surface->output = &output;
    surface->surface = wl_compositor_create_surface(display.compositor);
    surface->xdgSurface = xdg_wm_base_get_xdg_surface(display.wmBase, surface->surface);
    xdg_surface_add_listener(surface->xdgSurface, &SurfaceListener, surface.get());
    surface->toplevel = xdg_surface_get_toplevel(surface->xdgSurface);
    xdg_toplevel_add_listener(surface->toplevel, &ToplevelListener, surface.get());
    xdg_toplevel_set_title(surface->toplevel, "Lumivex GL");
    xdg_toplevel_set_app_id(surface->toplevel, "lumivex-gl");
    xdg_toplevel_set_fullscreen(surface->toplevel, output.output);
    if (display.viewporter != nullptr && display.fractionalScale != nullptr) {
        surface->viewport = wp_viewporter_get_viewport(display.viewporter, surface->surface);
        surface->fraction = wp_fractional_scale_manager_v1_get_fractional_scale(
            display.fractionalScale, surface->surface);
        wp_fractional_scale_v1_add_listener(surface->fraction, &FractionListener, surface.get());
    }
    // The first commit carries no buffer: it asks for the configure.
    wl_surface_commit(surface->surface);
    window.surfaces.push_back(std::move(surface));
}

bool HasSurface(const WaylandWindow& window, const WaylandOutput& output) {
    return std::any_of(window.surfaces.begin(), window.surfaces.end(),
                       [&output](const auto& surface) { return surface->output == &output; });
}

void TakeAwaySurface(WaylandWindow& window, WaylandSurface& surface) {
    WaylandPlatform::EglState* egl = window.platform.Egl();
    LeaveSurface(egl, window, surface);
    if (window.pointerSurface == surface.surface)
        window.pointerSurface = nullptr;
    if (window.pointerPlace.surface == surface.surface)
        window.pointerPlace = {};
    DestroySurface(surface, egl != nullptr ? egl->display : EGL_NO_DISPLAY);
}

bool AllConfigured(const WaylandWindow& window) {
    return std::all_of(window.surfaces.begin(), window.surfaces.end(),
                       [](const auto& surface) { return surface->configured; });
}

} // namespace

SurfacePixels PixelsOf(int logicalWidth, int logicalHeight, int outputScale, int preferredScale,
                       bool viewport) {
    SurfacePixels pixels;
    pixels.Fractional = viewport && preferredScale > 0;
    pixels.Scale = pixels.Fractional ? preferredScale / 120.0 : std::max(1, outputScale);
    // Rounded half away from zero, as the fractional-scale protocol asks.
    pixels.Width = std::max(1, static_cast<int>(std::lround(logicalWidth * pixels.Scale)));
    pixels.Height = std::max(1, static_cast<int>(std::lround(logicalHeight * pixels.Scale)));
    return pixels;
}

bool FollowOutputs(WaylandWindow& window) {
    WaylandPlatform::DisplayState& display = window.display;
    display.outputsChanged = false;
    const auto gone = [](const auto& surface) { return surface->output->gone; };
    for (auto& surface : window.surfaces)
        if (gone(surface))
            TakeAwaySurface(window, *surface);
    if (std::erase_if(window.surfaces, gone) > 0)
        window.layoutChanged = true;
    std::erase_if(display.outputs, [](const auto& output) { return output->gone; });
    // A new surface takes its place in the view once the compositor says its size.
    for (auto& output : display.outputs)
        if (output->described && !HasSurface(window, *output))
            MakeSurface(window, *output);
    return !window.surfaces.empty();
}

void DestroySurface(WaylandSurface& surface, EGLDisplay egl) {
    if (surface.eglSurface != EGL_NO_SURFACE)
        eglDestroySurface(egl, surface.eglSurface);
    if (surface.eglWindow != nullptr)
        wl_egl_window_destroy(surface.eglWindow);
    if (surface.frame != nullptr)
        wl_callback_destroy(surface.frame);
    if (surface.fraction != nullptr)
        wp_fractional_scale_v1_destroy(surface.fraction);
    if (surface.viewport != nullptr)
        wp_viewport_destroy(surface.viewport);
    xdg_toplevel_destroy(surface.toplevel);
    xdg_surface_destroy(surface.xdgSurface);
    wl_surface_destroy(surface.surface);
}

void AwaitConfigures(WaylandWindow& window) {
    const std::uint64_t deadline = WaylandMilliseconds() + ConfigureWaitMilliseconds;
    while (!AllConfigured(window) && !TerminationRequested()) {
        const std::uint64_t now = WaylandMilliseconds();
        if (now >= deadline)
            break;
        window.Pump(static_cast<int>(deadline - now));
    }
}

bool LayOutSurfaces(WaylandWindow& window) {
    window.layoutChanged = false;
    int left = 0;
    int height = 0;
    bool changed = false;
    for (auto& surface : window.surfaces) {
        FollowSurfaceSize(window.platform.Egl(), *surface);
        const ViewRect rect = {left, 0, surface->width, surface->height};
        changed = changed || rect.Left != surface->rect.Left || rect.Width != surface->rect.Width ||
                  rect.Height != surface->rect.Height;
        surface->rect = rect;
        left += surface->width;
        height = std::max(height, surface->height);
    }
    window.layoutWidth = left;
    window.layoutHeight = height;
    // Outputs past what the GL draws show the background; the others go on drawing.
    left = FitViewSide(left);
    height = FitViewSide(height);
    changed = changed || left != window.width || height != window.height;
    window.width = left;
    window.height = height;
    return changed;
}

std::string LayoutTooLarge(const WaylandWindow& window) {
    return ViewFitsGL(window.layoutWidth, window.layoutHeight)
               ? std::string()
               : ViewTooLargeProblem(window.layoutWidth, window.layoutHeight);
}

std::vector<ViewRect> ViewMonitors(const WaylandWindow& window) {
    std::vector<ViewRect> monitors;
    for (const auto& surface : window.surfaces) {
        const ViewRect& rect = surface->rect;
        const int right = std::min(rect.Left + rect.Width, window.width);
        const int bottom = std::min(rect.Top + rect.Height, window.height);
        if (right > rect.Left && bottom > rect.Top)
            monitors.push_back({rect.Left, rect.Top, right - rect.Left, bottom - rect.Top});
    }
    return monitors;
}

void RequestFrame(WaylandSurface& surface) {
    surface.frameDue = false;
    if (surface.frame != nullptr)
        wl_callback_destroy(surface.frame);
    surface.frame = wl_surface_frame(surface.surface);
    wl_callback_add_listener(surface.frame, &FrameListener, &surface);
}

} // namespace lumivex
