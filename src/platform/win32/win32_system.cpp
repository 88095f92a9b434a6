// The screen-saver flag, libraries, version, system directory, clock, error texts and the
// floating-point control word of the Windows back end.
#include "platform/win32/win32_api.h"

#include <vector>

namespace lumivex {

namespace {

// Not in every set of headers: the flag that tells the system a screen saver runs.
constexpr UINT ScreenSaverRunningAction = 97;
// The version record of Windows 95 and NT 4.0; later, longer forms are not known to them.
static_assert(sizeof(OSVERSIONINFOA) == 148);

} // namespace

void LoadFloatingPointControl(unsigned short control) {
    // Pending exception flags must not fire on the next instruction that waits.
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(control));
}

void Win32Platform::SetScreenSaverRunning(bool running) {
    UINT previous = 0; // what the system reports here is of no use
    ::SystemParametersInfoA(ScreenSaverRunningAction, running ? 1 : 0, &previous, 0);
}

LibraryHandle Win32Platform::LoadLibrary(const std::string& name) {
    if (name.empty()) {
        // An empty name would hand back a module already loaded, not a library of that name.
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // A library that is missing, or misses one of its own, is reported by the caller; the
    // system must not stop the saver with a dialog of its own.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = ::LoadLibraryA(name.c_str());
    const DWORD error = ::GetLastError();
    ::SetErrorMode(previousMode);
    ::SetLastError(error);
    return reinterpret_cast<LibraryHandle>(library);
}

void* Win32Platform::GetProcAddress(LibraryHandle library, const char* name) {
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void Win32Platform::FreeLibrary(LibraryHandle library) {
    if (library != nullptr)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

PlatformVersion Win32Platform::GetVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    // A failed query leaves platform 0, which is not the NT family: the password is still asked.
    ::GetVersionExA(&info);
    PlatformVersion version;
    version.PlatformId = info.dwPlatformId;
    version.Major = info.dwMajorVersion;
    version.Minor = info.dwMinorVersion;
    return version;
}

std::string Win32Platform::GetSystemDirectory() {
    std::vector<char> buffer(MAX_PATH);
    UINT length = ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        // Too small: the answer is the size needed, terminating NUL included.
        buffer.resize(length + 1);
        length = ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length >= buffer.size())
            return std::string();
    }
    return std::string(buffer.data(), length);
}

void Win32Platform::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::uint32_t Win32Platform::GetTickCount() {
    return ::GetTickCount();
}

std::uint32_t Win32Platform::MillisecondsSinceMidnightUTC() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
}

std::uint32_t Win32Platform::GetLastError() {
    return ::GetLastError();
}

std::string Win32Platform::ErrorText(std::uint32_t code) {
    char buffer[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    // The system ends its texts with a line break, which the error message already has.
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text;
}

void Win32Platform::MaskFloatingPointExceptions() {
    // Libraries loaded since the start (GL drivers among them) may have changed it.
    LoadFloatingPointControl(SaverFloatingPointControl);
}

} // namespace lumivex
