// Password.cpl for the tests: a stand-in for the system's screen-saver password check. It notes
// in the file LUMIVEX_TEST_LOG that it was loaded and every call it gets, and answers what the
// file LUMIVEX_TEST_ANSWER holds ("1" lets the saver close, anything else refuses).
#include "test_dll_log.h"

#include <cstdio>

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    char line[64];
    wsprintfA(line, "VerifyScreenSavePwd %lu",
              static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    lumivex_test::Note(line);
    return lumivex_test::Answer() == '1';
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        lumivex_test::Note("Password.cpl loaded");
    return TRUE;
}

// rundll32 Password.cpl,OtherWindow X Y W H: another program's magenta window there, noting its
// handle and every key and click it gets; it brings itself forward, as a program may, once the
// answer is 1.
LRESULT CALLBACK OtherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char line[64];
    if (message == WM_KEYDOWN || message == WM_LBUTTONDOWN) {
        wsprintfA(line, message == WM_KEYDOWN ? "key %lu" : "click", wParam);
        lumivex_test::Note(line);
    } else if (message == WM_TIMER && lumivex_test::Answer() == '1') {
        KillTimer(window, 1);
        lumivex_test::Note(SetForegroundWindow(window) ? "forward" : "forward refused");
    } else {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return 0;
}

extern "C" __declspec(dllexport) void CALLBACK OtherWindow(HWND, HINSTANCE, LPSTR place, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &OtherProcedure;
    windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    windowClass.lpszClassName = "LumivexTestWindow";
    RegisterClassA(&windowClass);
    int x = 0, y = 0, width = 0, height = 0;
    sscanf(place, "%d %d %d %d", &x, &y, &width, &height);
    const HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "Other program", WS_POPUP | WS_VISIBLE, x, y,
                        width, height, nullptr, nullptr, nullptr, nullptr);
    char line[64];
    wsprintfA(line, "window %lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    lumivex_test::Note(line);
    SetTimer(window, 1, 100, nullptr);
    MSG message; // until Wine is stopped
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}
