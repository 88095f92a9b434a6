// The single-instance guard: a named semaphore. The system deletes it when the last handle to
// it closes, so a saver that crashed never blocks the next start.
#include "platform/win32/win32_api.h"

namespace lumivex {

GuardHandle Win32Platform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    const HANDLE semaphore = ::CreateSemaphoreA(nullptr, 0, 1, name.c_str());
    // Read at once: anything called in between may reset it.
    alreadyExists = semaphore != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<GuardHandle>(semaphore);
}

void Win32Platform::CloseInstanceGuard(GuardHandle guard) {
    if (guard != 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(guard));
}

} // namespace lumivex
