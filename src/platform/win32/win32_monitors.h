// The screen the saver window covers and the monitors on it. Windows 95 and NT 4.0 know one
// screen only: there the virtual-screen metrics answer 0 and the monitor functions are missing,
// so both are asked for at run time and the one screen stands for the whole.
#pragma once

#include "platform/win32/win32_api.h"

#include <vector>

namespace lumivex {

using SystemMetricsProc = int(WINAPI*)(int);

// The virtual screen in screen coordinates (its left and top may be negative); the primary
// screen where the system has no virtual screen.
RECT VirtualScreen(SystemMetricsProc metrics = &::GetSystemMetrics);

// Every monitor in screen coordinates, the primary one first; empty where `user32` lacks
// EnumDisplayMonitors or GetMonitorInfoA.
std::vector<RECT> DisplayMonitors(HMODULE user32);

// The monitors as parts of a view whose top left corner is at `origin` on the screen and whose
// client area is `size`: clipped to it, those outside left out; empty unless two or more remain,
// as one monitor shows the one picture of the whole view.
std::vector<ViewRect> MonitorsInView(const std::vector<RECT>& monitors, POINT origin, SIZE size);

} // namespace lumivex
