// The registry of the current user in the page: the portable store of regfile_store.h over one
// item of the browser's localStorage, which holds the registry-export text as the Linux program
// keeps it in ~/.config/lumivex-gl/registry.reg. The item is read as UTF-16 text (web_page.cpp), so
// that what is kept comes back character for character. A text that is not registry text is kept
// aside under an item of its own before it is replaced, never over an earlier one.
#include "platform/web/web_platform.h"

#include "platform/regfile/regfile_store.h"
#include "platform/web/web_page.h"

#include <cstdio>
#include <string>

namespace lumivex {

namespace {

constexpr const char* ItemName = "lumivex-gl/registry.reg";
constexpr const char* KeptAsideName = "lumivex-gl/registry.reg.unreadable";
constexpr int MaxKeptAside = 1000;

class LocalStorage final : public regfile::Storage {
  public:
    regfile::StoredText Read() override {
        regfile::StoredText stored;
        const int length = PageStorageLength(ItemName);
        if (length == -1)
            return stored; // Absent: the first run
        if (length < 0) {
            stored.State = regfile::StoredText::Failed;
            stored.Error = ERROR_WEB_STORAGE;
            return stored;
        }
        stored.State = regfile::StoredText::Read;
        stored.Bytes.resize(static_cast<std::size_t>(length));
        PageStorageCopy(ItemName, reinterpret_cast<std::uint8_t*>(stored.Bytes.data()), length);
        return stored;
    }

    bool CanWrite() override { return true; } // a full storage shows when writing

    std::uint32_t Write(std::string_view text, std::string_view foreign) override {
        if (!foreign.empty() && !KeepAside(foreign))
            return ERROR_WEB_STORAGE;
        return Store(ItemName, text) ? 0 : ERROR_WEB_STORAGE;
    }

  private:
    static bool Store(const char* name, std::string_view bytes) {
        return PageStorageWrite(name, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<int>(bytes.size())) != 0;
    }

    // Under ...unreadable, or ...unreadable.N when taken.
    static bool KeepAside(std::string_view foreign) {
        for (int n = 0; n < MaxKeptAside; ++n) {
            const std::string name =
                n == 0 ? KeptAsideName : std::string(KeptAsideName) + "." + std::to_string(n);
            if (PageStorageLength(name.c_str()) == -1)
                return Store(name.c_str(), foreign);
        }
        return false;
    }
};

LocalStorage storage;
regfile::Store store(storage);

} // namespace

KeyHandle WebPlatform::RegOpenKey(const std::string& path, RegAccess access) {
    return store.OpenKey(path, access, lastError_);
}

KeyHandle WebPlatform::RegCreateKey(const std::string& path) {
    return store.CreateKey(path, lastError_);
}

bool WebPlatform::RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) {
    return store.QueryValue(key, name, value, lastError_);
}

bool WebPlatform::RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                              const std::uint8_t* data, std::size_t size) {
    return store.SetValue(key, name, type, data, size, lastError_);
}

bool WebPlatform::RegCloseKey(KeyHandle key) {
    return store.CloseKey(key, lastError_);
}

// In the message box as the desktop tells it, and on the console. The page saves as it goes away,
// so the box is shown again when this tab shows the page next (a reload).
void WebPlatform::ReportSaveFailure(std::uint32_t error, bool) {
    const std::string text =
        std::string("lumivex-gl: cannot save the settings to localStorage (") + ItemName + ")";
    std::fprintf(stderr, "%s: %s\n", text.c_str(), ErrorText(error).c_str());
    PageShowLastingMessage("Lumivex GL", text.c_str(), ErrorText(error).c_str());
}

} // namespace lumivex
