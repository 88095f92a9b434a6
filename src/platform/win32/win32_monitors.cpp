// The virtual screen and its monitors (see win32_monitors.h).
#include "platform/win32/win32_monitors.h"

#include <algorithm>

namespace lumivex {

namespace {

// Not in the headers of every target: the virtual screen's metrics of Windows 98 and 2000 on.
constexpr int VirtualLeft = 76;
constexpr int VirtualTop = 77;
constexpr int VirtualWidth = 78;
constexpr int VirtualHeight = 79;

using EnumDisplayMonitorsProc = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using GetMonitorInfoProc = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

struct Enumeration {
    GetMonitorInfoProc getInfo;
    std::vector<RECT> monitors;
    std::size_t primaries = 0; // the primary ones, at the front
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto& found = *reinterpret_cast<Enumeration*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!found.getInfo(monitor, &info))
        return TRUE;
    if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0)
        found.monitors.insert(found.monitors.begin() + static_cast<long>(found.primaries++),
                              info.rcMonitor);
    else
        found.monitors.push_back(info.rcMonitor);
    return TRUE;
}

} // namespace

RECT VirtualScreen(SystemMetricsProc metrics) {
    const int width = metrics(VirtualWidth);
    const int height = metrics(VirtualHeight);
    if (width <= 0 || height <= 0)
        return {0, 0, metrics(SM_CXSCREEN), metrics(SM_CYSCREEN)};
    const int left = metrics(VirtualLeft);
    const int top = metrics(VirtualTop);
    return {left, top, left + width, top + height};
}

std::vector<RECT> DisplayMonitors(HMODULE user32) {
    if (user32 == nullptr)
        return {};
    const auto enumerate = reinterpret_cast<EnumDisplayMonitorsProc>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "EnumDisplayMonitors")));
    Enumeration found{reinterpret_cast<GetMonitorInfoProc>(
                          reinterpret_cast<void*>(::GetProcAddress(user32, "GetMonitorInfoA"))),
                      {}};
    if (enumerate == nullptr || found.getInfo == nullptr)
        return {};
    enumerate(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&found));
    return found.monitors;
}

std::vector<ViewRect> MonitorsInView(const std::vector<RECT>& monitors, POINT origin, SIZE size) {
    std::vector<ViewRect> inView;
    for (const RECT& monitor : monitors) {
        const LONG left = std::max(monitor.left - origin.x, LONG{0});
        const LONG top = std::max(monitor.top - origin.y, LONG{0});
        const LONG right = std::min(monitor.right - origin.x, size.cx);
        const LONG bottom = std::min(monitor.bottom - origin.y, size.cy);
        if (right > left && bottom > top)
            inView.push_back({static_cast<int>(left), static_cast<int>(top),
                              static_cast<int>(right - left), static_cast<int>(bottom - top)});
    }
    if (inView.size() < 2)
        inView.clear();
    return inView;
}

} // namespace lumivex
