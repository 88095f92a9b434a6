// Construction and teardown of the Windows back end.
#include "platform/win32/win32_api.h"

namespace lumivex {

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform() {
    // The contexts go before the windows they were made on.
    wgl_.reset();
    window_.reset();
}

} // namespace lumivex
