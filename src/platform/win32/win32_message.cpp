// Message boxes: the system's own, modal, owned by no window (the program shows none yet).
#include "platform/win32/win32_api.h"

namespace lumivex {

void Win32Platform::ShowMessage(const std::string& text, const std::string& caption,
                                std::uint32_t flags) {
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
}

} // namespace lumivex
