// Loading and saving Settings. Values are read one by one: a value that cannot be read keeps
// its default and the others are still read, so a single damaged value never costs the user
// the rest of the stored settings when they are written back.
#include "system/unRegistry.h"

#include "platform/Platform.h"
#include "system/unGlobals.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace lumivex {

namespace {

constexpr std::int32_t MinElements = 1, MaxElements = 10;
constexpr std::int32_t MinReflections = 2, MaxReflections = 72;
constexpr std::int32_t MinRest = 0, MaxRest = 2000;

// An open key of the current user, closed when it goes out of scope.
class TRegistryKey {
  public:
    explicit TRegistryKey(KeyHandle key) : key_(key) {}
    ~TRegistryKey() { Close(); }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    bool IsOpen() const { return key_ != 0; }
    // False when what was written could not be kept.
    bool Close() {
        const KeyHandle key = key_;
        key_ = 0;
        return key == 0 || GetPlatform().RegCloseKey(key);
    }

    // Each Read leaves `out` untouched unless the value exists with a usable type and size.
    void ReadString(const char* name, std::string& out) {
        RegistryValue value;
        if (!GetPlatform().RegQueryValue(key_, name, value))
            return;
        if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ)
            return;
        auto end = std::find(value.Data.begin(), value.Data.end(), std::uint8_t(0));
        out.assign(value.Data.begin(), end);
    }
    void ReadInteger(const char* name, std::int32_t& out) {
        RegistryValue value;
        if (!GetPlatform().RegQueryValue(key_, name, value))
            return;
        if (value.Type != REG_DWORD || value.Data.size() != 4)
            return;
        const auto& d = value.Data;
        out = static_cast<std::int32_t>(std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8 |
                                        std::uint32_t(d[2]) << 16 | std::uint32_t(d[3]) << 24);
    }
    void ReadColor(const char* name, std::uint32_t& out) {
        auto number = static_cast<std::int32_t>(out);
        ReadInteger(name, number);
        out = static_cast<std::uint32_t>(number);
    }
    void ReadBool(const char* name, bool& out) {
        std::int32_t number = out ? 1 : 0;
        ReadInteger(name, number);
        out = number != 0;
    }

    bool WriteString(const char* name, const std::string& text) {
        // The terminating NUL is part of the stored data.
        return GetPlatform().RegSetValue(key_, name, REG_SZ,
                                         reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                         text.size() + 1);
    }
    bool WriteInteger(const char* name, std::int32_t number) {
        auto raw = static_cast<std::uint32_t>(number);
        const std::uint8_t data[4] = {std::uint8_t(raw), std::uint8_t(raw >> 8),
                                      std::uint8_t(raw >> 16), std::uint8_t(raw >> 24)};
        return GetPlatform().RegSetValue(key_, name, REG_DWORD, data, sizeof data);
    }
    bool WriteBool(const char* name, bool flag) { return WriteInteger(name, flag ? 1 : 0); }

  private:
    KeyHandle key_;
};

KeyHandle OpenExistingKey() {
    Platform& platform = GetPlatform();
    KeyHandle key = platform.RegOpenKey(SettingsKey, RegAccess::AllAccess);
    if (key == 0)
        key = platform.RegOpenKey(SettingsKey, RegAccess::Read);
    return key;
}

} // namespace

void LoadSettings() {
    {
        TRegistryKey key(OpenExistingKey());
        if (key.IsOpen()) {
            key.ReadString("OpenGLDLL", Settings.OpenGLDLL);
            key.ReadString("OpenGLUDLL", Settings.OpenGLUDLL);
            key.ReadBool("Alpha", Settings.Alpha);
            key.ReadColor("Background", Settings.Background);
            key.ReadBool("FullScreen", Settings.FullScreen);
            key.ReadBool("Monochrome", Settings.Monochrome);
            key.ReadColor("MonoColor", Settings.MonoColor);
            key.ReadInteger("NumOfElements", Settings.NumOfElements);
            key.ReadInteger("NumOfReflections", Settings.NumOfReflections);
            key.ReadBool("Reflected", Settings.Reflected);
            key.ReadInteger("Rest", Settings.Rest);
            key.ReadString("WallpaperDir", Settings.WallpaperDir);
        }
    }
    // The rest of the program relies on these ranges, whatever the registry held.
    ClampSettings();
}

void ClampSettings() {
    Settings.NumOfElements = std::clamp(Settings.NumOfElements, MinElements, MaxElements);
    Settings.NumOfReflections =
        std::clamp(Settings.NumOfReflections, MinReflections, MaxReflections);
    Settings.Rest = std::clamp(Settings.Rest, MinRest, MaxRest);
}

bool SaveSettings(std::uint32_t* error) {
    Platform& platform = GetPlatform();
    // The reason of the first failure: closing after a failed write may fail again.
    auto failed = [&platform, error] {
        if (error != nullptr)
            *error = platform.GetLastError();
        return false;
    };
    TRegistryKey key(platform.RegCreateKey(SettingsKey));
    if (!key.IsOpen())
        return failed();
    // The first failed write ends the saving; what follows stays as it was.
    const bool written =
        key.WriteString("OpenGLDLL", Settings.OpenGLDLL) &&
        key.WriteString("OpenGLUDLL", Settings.OpenGLUDLL) &&
        key.WriteBool("Alpha", Settings.Alpha) &&
        key.WriteBool("FullScreen", Settings.FullScreen) &&
        key.WriteBool("Monochrome", Settings.Monochrome) &&
        key.WriteInteger("MonoColor", static_cast<std::int32_t>(Settings.MonoColor)) &&
        key.WriteInteger("NumOfElements", Settings.NumOfElements) &&
        key.WriteInteger("NumOfReflections", Settings.NumOfReflections) &&
        key.WriteBool("Reflected", Settings.Reflected) && key.WriteInteger("Rest", Settings.Rest);
    if (!written) {
        failed();
        key.Close();
        return false;
    }
    return key.Close() || failed();
}

} // namespace lumivex
