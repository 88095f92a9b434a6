// Placeholder until the portable registry store lands: no stored settings.
#include "platform/web/web_platform.h"
namespace lumivex {
KeyHandle WebPlatform::RegOpenKey(const std::string&, RegAccess) {
    return 0;
}
KeyHandle WebPlatform::RegCreateKey(const std::string&) {
    return 0;
}
bool WebPlatform::RegQueryValue(KeyHandle, const std::string&, RegistryValue&) {
    return false;
}
bool WebPlatform::RegSetValue(KeyHandle, const std::string&, std::uint32_t, const std::uint8_t*,
                              std::size_t) {
    return false;
}
void WebPlatform::RegCloseKey(KeyHandle) {}
} // namespace lumivex
