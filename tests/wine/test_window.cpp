// Another program's magenta window at X Y W H (Windows' screen coordinates), noting its handle and
// every key and click it gets; it brings itself forward, as a program may, once the answer is 1.
#include "test_dll_log.h"

#include <cstdlib>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char line[64];
    switch (message) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
        wsprintfA(line, message == WM_KEYDOWN ? "key %lu" : "click", wParam);
        lumivex_test::Note(line);
        return 0;
    case WM_TIMER:
        if (lumivex_test::Answer() == '1') {
            KillTimer(window, 1);
            lumivex_test::Note(SetForegroundWindow(window) ? "forward" : "forward refused");
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    windowClass.lpszClassName = "LumivexTestWindow";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(
        0, windowClass.lpszClassName, "Other program", WS_POPUP | WS_VISIBLE, atoi(__argv[1]),
        atoi(__argv[2]), atoi(__argv[3]), atoi(__argv[4]), nullptr, nullptr, instance, nullptr);
    char line[64];
    wsprintfA(line, "window %lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    lumivex_test::Note(line);
    SetTimer(window, 1, 100, nullptr);
    MSG message; // until Wine is stopped
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
