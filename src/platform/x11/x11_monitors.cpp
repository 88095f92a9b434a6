// The monitors of the X screen the saver window covers: RandR 1.5's monitors, or Xinerama's
// screens where the server has no such RandR. A host's window is one monitor's already (the hosts
// start one saver per monitor), and so is a screen with one monitor or neither extension.
#include "platform/x11/x11_window_state.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace lumivex {

namespace {

std::vector<ViewRect> RandRMonitors(Display* display, Window root) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105)
        return {};
    int count = 0;
    XRRMonitorInfo* found = XRRGetMonitors(display, root, True, &count);
    std::vector<ViewRect> monitors;
    monitors.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        monitors.push_back({found[i].x, found[i].y, found[i].width, found[i].height});
    if (found != nullptr)
        XRRFreeMonitors(found);
    return monitors;
}

std::vector<ViewRect> XineramaMonitors(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display))
        return {};
    int count = 0;
    XineramaScreenInfo* found = XineramaQueryScreens(display, &count);
    std::vector<ViewRect> monitors;
    monitors.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        monitors.push_back({found[i].x_org, found[i].y_org, found[i].width, found[i].height});
    if (found != nullptr)
        XFree(found);
    return monitors;
}

} // namespace

std::vector<ViewRect> X11Platform::GetViewMonitors() {
    WindowState* state = window_.get();
    if (state == nullptr || state->hosted)
        return {};
    std::vector<ViewRect> monitors =
        RandRMonitors(state->display, RootWindow(state->display, state->view.screen));
    if (monitors.empty())
        monitors = XineramaMonitors(state->display);
    // The saver window covers the screen from its top left corner: the monitors' part of it.
    std::vector<ViewRect> inView;
    for (const ViewRect& monitor : monitors) {
        const int left = std::max(monitor.Left, 0);
        const int top = std::max(monitor.Top, 0);
        const int right = std::min(monitor.Left + monitor.Width, state->width);
        const int bottom = std::min(monitor.Top + monitor.Height, state->height);
        if (right > left && bottom > top)
            inView.push_back({left, top, right - left, bottom - top});
    }
    if (inView.size() < 2)
        inView.clear();
    return inView;
}

} // namespace lumivex
