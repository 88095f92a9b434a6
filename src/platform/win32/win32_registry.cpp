// The settings' registry key under HKEY_CURRENT_USER, opened, read, written and closed with the
// system's own calls. Values come back with their type and bytes exactly as stored. The registry
// calls return their error instead of setting the thread's last error; it is set from them, so
// that a save that failed can say why.
#include "platform/win32/win32_api.h"
#include "system/unRegistry.h"

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
    const LONG result =
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (result != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(result));
        return 0;
    }
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
    if (key == 0 || size > std::numeric_limits<DWORD>::max()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const LONG result =
        ::RegSetValueExA(ToKey(key), name.c_str(), 0, type, data, static_cast<DWORD>(size));
    ::SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

bool Win32Platform::RegCloseKey(KeyHandle key) {
    if (key == 0)
        return true;
    const LONG result = ::RegCloseKey(ToKey(key));
    ::SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

void Win32Platform::ReportSaveFailure(std::uint32_t error, bool mayWait) {
    // A message box, as the program shows its other failures, after a saver run that ends as
    // usual, when the edits just made are what was lost. The modes the display settings start
    // again and again (preview, configure) had nothing to lose and would nag, and while the
    // session ends a box would hold the system up: nothing is shown then.
    if (!mayWait)
        return;
    const std::string text = std::string("Lumivex GL cannot save its settings in the registry "
                                         "(HKEY_CURRENT_USER\\") +
                             SettingsKey + ").\n" + ErrorText(error);
    ::MessageBoxA(nullptr, text.c_str(), "Lumivex GL", MB_OK | MB_ICONWARNING);
}

} // namespace lumivex
