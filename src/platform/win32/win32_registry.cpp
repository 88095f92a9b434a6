// The settings' registry key under HKEY_CURRENT_USER, opened, read, written and closed with the
// system's own calls. Values come back with their type and bytes exactly as stored.
#include "platform/win32/win32_api.h"

#include <limits>

namespace lumivex {

namespace {

HKEY ToKey(KeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}

KeyHandle FromKey(HKEY key) {
    return reinterpret_cast<KeyHandle>(key);
}

// Another program may grow the value between the size query and the read; this many tries.
constexpr int QueryAttempts = 4;

} // namespace

KeyHandle Win32Platform::RegOpenKey(const std::string& path, RegAccess access) {
    HKEY key = nullptr;
    const REGSAM rights = access == RegAccess::AllAccess ? KEY_ALL_ACCESS : KEY_READ;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, rights, &key) != ERROR_SUCCESS)
        return 0;
    return FromKey(key);
}

KeyHandle Win32Platform::RegCreateKey(const std::string& path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return 0;
    return FromKey(key);
}

bool Win32Platform::RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) {
    if (key == 0)
        return false;
    for (int attempt = 0; attempt < QueryAttempts; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        std::vector<std::uint8_t> data(size);
        const LONG result = ::RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type,
                                               data.empty() ? nullptr : data.data(), &size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return false;
        data.resize(size);
        value.Type = type;
        value.Data = std::move(data);
        return true;
    }
    return false;
}

bool Win32Platform::RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                                const std::uint8_t* data, std::size_t size) {
    if (key == 0 || size > std::numeric_limits<DWORD>::max())
        return false;
    return ::RegSetValueExA(ToKey(key), name.c_str(), 0, type, data, static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

void Win32Platform::RegCloseKey(KeyHandle key) {
    if (key != 0)
        ::RegCloseKey(ToKey(key));
}

} // namespace lumivex
