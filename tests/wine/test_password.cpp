// Password.cpl for the tests: a stand-in for the system's screen-saver password check. It notes
// in the file LUMIVEX_TEST_LOG that it was loaded and every call it gets, and answers what the
// file LUMIVEX_TEST_ANSWER holds ("1" lets the saver close, anything else refuses).
#include "test_dll_log.h"

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
