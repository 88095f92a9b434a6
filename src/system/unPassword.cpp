// The screen-saver password: a routine of a system library, loaded by full path for one call.
// Where the platform has no such service (the NT family, Linux) the check lets the saver close.
#include "system/unPassword.h"

#include <cstdint>
#include <string>

// The system's routines use the standard calling convention of 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define LMVX_STDCALL __attribute__((stdcall))
#else
#define LMVX_STDCALL
#endif

namespace lumivex {

namespace {

constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;
constexpr const char* DesktopKey = "Control Panel\\Desktop";
constexpr const char* VerifyLibrary = "Password.cpl";
constexpr const char* VerifyRoutine = "VerifyScreenSavePwd";
constexpr const char* ChangeLibrary = "Mpr.dll";
constexpr const char* ChangeRoutine = "PwdChangePasswordA";
constexpr const char* ChangeProvider = "SCRSAVE";

using TVerifyScreenSavePwd = std::int32_t(LMVX_STDCALL*)(WindowHandle window);
using TPwdChangePassword = std::uint32_t(LMVX_STDCALL*)(const char* provider, WindowHandle window,
                                                        std::uint32_t reserved1,
                                                        std::uint32_t reserved2);

LibraryHandle LoadSystemLibrary(const char* fileName) {
    Platform& platform = GetPlatform();
    std::string path = platform.GetSystemDirectory();
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += fileName;
    return platform.LoadLibrary(path);
}

} // namespace

bool VerifyPassword(WindowHandle window) {
    Platform& platform = GetPlatform();
    if (platform.GetVersion().PlatformId == VER_PLATFORM_WIN32_NT)
        return true;
    if (platform.GetActiveWindow() != window)
        platform.SetActiveWindow(window);

    // The desktop key only has to exist; no value of it is read.
    KeyHandle key = platform.RegOpenKey(DesktopKey, RegAccess::AllAccess);
    if (key == 0)
        key = platform.RegOpenKey(DesktopKey, RegAccess::Read);
    if (key == 0)
        return true;

    bool result = true;
    LibraryHandle library = LoadSystemLibrary(VerifyLibrary);
    if (library != nullptr) {
        auto verify =
            reinterpret_cast<TVerifyScreenSavePwd>(platform.GetProcAddress(library, VerifyRoutine));
        if (verify != nullptr)
            result = verify(window) != 0;
        platform.FreeLibrary(library);
    }
    platform.RegCloseKey(key);
    return result;
}

void ChangePassword(WindowHandle parentWindow) {
    Platform& platform = GetPlatform();
    LibraryHandle library = LoadSystemLibrary(ChangeLibrary);
    if (library == nullptr)
        return;
    auto change =
        reinterpret_cast<TPwdChangePassword>(platform.GetProcAddress(library, ChangeRoutine));
    if (change != nullptr)
        (void)change(ChangeProvider, parentWindow, 0, 0);
    platform.FreeLibrary(library);
}

} // namespace lumivex
