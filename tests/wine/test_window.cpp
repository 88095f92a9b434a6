// Another program's window for the tests: magenta, at the place its command line gives (X Y W H,
// in Windows' screen coordinates), noting in LUMIVEX_TEST_LOG its handle and every key and click
// it gets. Once the file LUMIVEX_TEST_ANSWER holds "1" it brings itself to the foreground, as a
// program may.
#include "test_dll_log.h"

#include <cstdlib>

namespace {

constexpr UINT_PTR PollTimer = 1;
bool cameForward = false;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char line[64];
    switch (message) {
    case WM_KEYDOWN:
        wsprintfA(line, "key %u", static_cast<unsigned>(wParam));
        lumivex_test::Note(line);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        lumivex_test::Note("click");
        return 0;
    case WM_TIMER:
        if (!cameForward && lumivex_test::Answer() == '1') {
            cameForward = true;
            lumivex_test::Note(SetForegroundWindow(window) ? "forward" : "forward refused");
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 5)
        return 2;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    windowClass.lpszClassName = "LumivexTestWindow";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(
        0, windowClass.lpszClassName, "Other program", WS_POPUP | WS_VISIBLE, atoi(__argv[1]),
        atoi(__argv[2]), atoi(__argv[3]), atoi(__argv[4]), nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    char line[64];
    wsprintfA(line, "window %lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    lumivex_test::Note(line);
    SetTimer(window, PollTimer, 100, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
