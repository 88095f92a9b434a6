// Mpr.dll for the tests: notes the arguments of the password-change call in LUMIVEX_TEST_LOG.
#include "test_dll_log.h"

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND window, DWORD reserved1, DWORD reserved2) {
    char line[160];
    wsprintfA(line, "PwdChangePasswordA %s %lu %lu %lu", provider != nullptr ? provider : "(null)",
              static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
              static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    lumivex_test::Note(line);
    return 0;
}
