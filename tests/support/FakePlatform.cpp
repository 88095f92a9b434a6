// The recording fake platform of the unit tests; see FakePlatform.h for what it models.
#include "support/FakePlatform.h"

#include "gl/OpenGL12.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lumivex {

namespace {

const char* AccessName(RegAccess access) {
    return access == RegAccess::AllAccess ? "AllAccess" : "Read";
}

std::string TypeName(std::uint32_t type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "type" + std::to_string(type);
    }
}

// How a value shows in the log: strings as text, 4-byte dwords as signed decimal, else hex.
std::string ShowData(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        const char* text = reinterpret_cast<const char*>(data);
        return std::string(text, std::find(text, text + size, '\0'));
    }
    if (type == REG_DWORD && size == 4) {
        std::uint32_t raw = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                            std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
        return std::to_string(static_cast<std::int32_t>(raw));
    }
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
        out += byte;
    }
    return out;
}

} // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

FakePlatform::FakePlatform() {
    AddLibrary("OpenGL32.DLL");
    AddLibrary("GLU32.DLL");
}

FakePlatform::~FakePlatform() = default;

std::vector<std::string> FakePlatform::Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& entry : Log)
        if (entry.compare(0, prefix.size(), prefix) == 0)
            out.push_back(entry);
    return out;
}

std::size_t FakePlatform::CountOf(const std::string& prefix) const {
    return Calls(prefix).size();
}

// --- single-instance guard -----------------------------------------------------------------

GuardHandle FakePlatform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    Record("CreateInstanceGuard(" + name + ")");
    alreadyExists = false;
    if (GuardFails)
        return 0;
    alreadyExists = GuardAlreadyExists;
    ++OpenGuards;
    return GuardValue;
}

void FakePlatform::CloseInstanceGuard(GuardHandle guard) {
    Record("CloseInstanceGuard(" + std::to_string(guard) + ")");
    if (guard != 0)
        --OpenGuards;
}

// --- windows -------------------------------------------------------------------------------

WindowHandle FakePlatform::GetForegroundWindow() {
    Record("GetForegroundWindow()");
    return ForegroundWindow;
}

void FakePlatform::SetForegroundWindow(WindowHandle window) {
    Record("SetForegroundWindow(" + std::to_string(window) + ")");
    ForegroundWindow = window;
}

WindowHandle FakePlatform::GetDesktopWindow() {
    Record("GetDesktopWindow()");
    return DesktopWindow;
}

WindowHandle FakePlatform::GetActiveWindow() {
    Record("GetActiveWindow()");
    return ActiveWindow;
}

void FakePlatform::SetActiveWindow(WindowHandle window) {
    Record("SetActiveWindow(" + std::to_string(window) + ")");
    ActiveWindow = window;
}

// --- registry ------------------------------------------------------------------------------

void FakePlatform::SetRegistryValue(const std::string& key, const std::string& name,
                                    std::uint32_t type, std::vector<std::uint8_t> data) {
    RegistryValue& value = Registry[key][name];
    value.Type = type;
    value.Data = std::move(data);
}

void FakePlatform::SetRegistryString(const std::string& key, const std::string& name,
                                     const std::string& text, std::uint32_t type) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetRegistryValue(key, name, type, std::move(data));
}

void FakePlatform::SetRegistryDword(const std::string& key, const std::string& name,
                                    std::int32_t value) {
    auto raw = static_cast<std::uint32_t>(value);
    SetRegistryValue(key, name, REG_DWORD,
                     {std::uint8_t(raw), std::uint8_t(raw >> 8), std::uint8_t(raw >> 16),
                      std::uint8_t(raw >> 24)});
}

bool FakePlatform::HasKey(const std::string& key) const {
    return Registry.count(key) != 0;
}

const RegistryValue* FakePlatform::FindValue(const std::string& key,
                                             const std::string& name) const {
    auto k = Registry.find(key);
    if (k == Registry.end())
        return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

std::string FakePlatform::StringValue(const std::string& key, const std::string& name) const {
    const RegistryValue* value = FindValue(key, name);
    if (value == nullptr)
        return "";
    std::string text(value->Data.begin(), value->Data.end());
    return text.substr(0, text.find('\0'));
}

std::int32_t FakePlatform::DwordValue(const std::string& key, const std::string& name,
                                      std::int32_t fallback) const {
    const RegistryValue* value = FindValue(key, name);
    if (value == nullptr || value->Type != REG_DWORD || value->Data.size() != 4)
        return fallback;
    const auto& d = value->Data;
    return static_cast<std::int32_t>(std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8 |
                                     std::uint32_t(d[2]) << 16 | std::uint32_t(d[3]) << 24);
}

KeyHandle FakePlatform::RegOpenKey(const std::string& path, RegAccess access) {
    Record("RegOpenKey(" + path + "," + AccessName(access) + ")");
    if (!HasKey(path)) {
        LastError = 2; // ERROR_FILE_NOT_FOUND
        return 0;
    }
    if ((access == RegAccess::AllAccess && DenyAllAccess.count(path) != 0) ||
        (access == RegAccess::Read && DenyRead.count(path) != 0)) {
        LastError = 5; // ERROR_ACCESS_DENIED
        return 0;
    }
    KeyHandle handle = nextKey_++;
    keys_[handle] = {path, access};
    ++OpenKeys;
    return handle;
}

KeyHandle FakePlatform::RegCreateKey(const std::string& path) {
    Record("RegCreateKey(" + path + ")");
    if (CreateKeyFails || DenyAllAccess.count(path) != 0) {
        LastError = 5;
        return 0;
    }
    // Parents come into being with the key, as on Windows.
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        Registry[path.substr(0, at)];
    Registry[path];
    KeyHandle handle = nextKey_++;
    keys_[handle] = {path, RegAccess::AllAccess};
    ++OpenKeys;
    return handle;
}

bool FakePlatform::RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) {
    Record("RegQueryValue(" + name + ")");
    auto open = keys_.find(key);
    if (open == keys_.end() || FailQuery.count(name) != 0) {
        LastError = 6; // ERROR_INVALID_HANDLE / unreadable
        return false;
    }
    const RegistryValue* stored = FindValue(open->second.Path, name);
    if (stored == nullptr) {
        LastError = 2;
        return false;
    }
    value = *stored;
    return true;
}

bool FakePlatform::RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                               const std::uint8_t* data, std::size_t size) {
    Record("RegSetValue(" + name + "," + TypeName(type) + "," + ShowData(type, data, size) + ")");
    auto open = keys_.find(key);
    if (open == keys_.end() || open->second.Access != RegAccess::AllAccess ||
        FailSetValue.count(name) != 0) {
        LastError = 5;
        return false;
    }
    SetRegistryValue(open->second.Path, name, type, std::vector<std::uint8_t>(data, data + size));
    return true;
}

bool FakePlatform::RegCloseKey(KeyHandle key) {
    auto open = keys_.find(key);
    Record("RegCloseKey(" + (open == keys_.end() ? std::to_string(key) : open->second.Path) + ")");
    if (open == keys_.end())
        return false;
    const bool failed = CommitFails && open->second.Access == RegAccess::AllAccess;
    keys_.erase(open);
    --OpenKeys;
    if (failed)
        LastError = 112; // ERROR_DISK_FULL
    return !failed;
}

void FakePlatform::ReportSaveFailure(std::uint32_t error, bool mayWait) {
    Record("ReportSaveFailure(" + std::to_string(error) + "," + std::to_string(mayWait) + ")");
}

// --- help, messages, screen-saver flag -----------------------------------------------------

void FakePlatform::ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                            std::uint32_t context) {
    Record("ShowHelp(" + std::to_string(owner) + "," + file + "," + std::to_string(command) + "," +
           std::to_string(context) + ")");
}

void FakePlatform::ShowMessage(const std::string& text, const std::string& caption,
                               std::uint32_t flags) {
    Record("ShowMessage(" + text + "," + caption + "," + std::to_string(flags) + ")");
    Messages.push_back({text, caption, flags});
}

void FakePlatform::SetScreenSaverRunning(bool running) {
    Record(std::string("SetScreenSaverRunning(") + (running ? "1" : "0") + ")");
    ScreenSaverRunning = running;
}

// --- dynamic libraries ---------------------------------------------------------------------

void FakePlatform::AddLibrary(const std::string& name, std::map<std::string, void*> symbols) {
    libraries_[name] = std::move(symbols);
}

std::vector<std::string> FakePlatform::LoadedLibraries() const {
    std::vector<std::string> names;
    for (const auto& [handle, library] : loaded_)
        names.push_back(library.Name);
    return names;
}

LibraryHandle FakePlatform::LoadLibrary(const std::string& name) {
    Record("LoadLibrary(" + name + ")");
    auto known = libraries_.find(name);
    if (known == libraries_.end()) {
        LastError = 126; // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    auto handle = reinterpret_cast<LibraryHandle>(nextLibrary_);
    nextLibrary_ += 0x10;
    loaded_[handle] = {name, known->second};
    return handle;
}

void* FakePlatform::GetProcAddress(LibraryHandle library, const char* name) {
    auto found = loaded_.find(library);
    Record("GetProcAddress(" + (found == loaded_.end() ? std::string("?") : found->second.Name) +
           "," + name + ")");
    if (found == loaded_.end())
        return nullptr;
    auto symbol = found->second.Symbols.find(name);
    if (symbol == found->second.Symbols.end()) {
        LastError = 127; // ERROR_PROC_NOT_FOUND
        return nullptr;
    }
    return symbol->second;
}

void FakePlatform::FreeLibrary(LibraryHandle library) {
    auto found = loaded_.find(library);
    Record("FreeLibrary(" + (found == loaded_.end() ? std::string("?") : found->second.Name) + ")");
    if (found != loaded_.end())
        loaded_.erase(found);
}

// --- system facts and time -----------------------------------------------------------------

PlatformVersion FakePlatform::GetVersion() {
    Record("GetVersion()");
    return Version;
}

std::string FakePlatform::GetSystemDirectory() {
    Record("GetSystemDirectory()");
    return SystemDirectory;
}

void FakePlatform::Sleep(std::uint32_t milliseconds) {
    Record("Sleep(" + std::to_string(milliseconds) + ")");
    if (SleepAdvancesClock)
        TickCount += milliseconds;
}

std::uint32_t FakePlatform::GetTickCount() {
    Record("GetTickCount()");
    return TickCount;
}

std::uint32_t FakePlatform::MillisecondsSinceMidnightUTC() {
    Record("MillisecondsSinceMidnightUTC()");
    return MillisecondsOfDay;
}

std::uint32_t FakePlatform::GetLastError() {
    Record("GetLastError()");
    return LastError;
}

std::string FakePlatform::ErrorText(std::uint32_t code) {
    Record("ErrorText(" + std::to_string(code) + ")");
    return "fake error " + std::to_string(code);
}

void FakePlatform::MaskFloatingPointExceptions() {
    Record("MaskFloatingPointExceptions()");
    FloatingPointMasked = true;
}

// --- saver window --------------------------------------------------------------------------

void FakePlatform::PostKeyDown(std::uint16_t virtualKey) {
    pending_.push_back([virtualKey](WindowEvents& e) { e.OnKeyDown(virtualKey); });
}

void FakePlatform::PostMouseDown() {
    pending_.push_back([](WindowEvents& e) { e.OnMouseDown(); });
}

void FakePlatform::PostMouseMove(int x, int y) {
    pending_.push_back([x, y](WindowEvents& e) { e.OnMouseMove(x, y); });
}

void FakePlatform::PostTimer(TimerId timer) {
    pending_.push_back([timer](WindowEvents& e) { e.OnTimer(timer); });
}

void FakePlatform::PostPaint() {
    pending_.push_back([](WindowEvents& e) { e.OnPaint(); });
}

void FakePlatform::PostCall(std::function<void()> call) {
    pending_.push_back([call = std::move(call)](WindowEvents&) { call(); });
}

bool FakePlatform::HandlePendingEvent() {
    if (pending_.empty())
        return false;
    auto event = std::move(pending_.front());
    pending_.pop_front();
    event(*Events);
    return true;
}

WindowHandle FakePlatform::CreateSaverWindow(WindowEvents* events) {
    Record("CreateSaverWindow()");
    Events = events;
    loop_.emplace(static_cast<ModalLoop::Backend&>(*this), events);
    return SaverWindow;
}

void FakePlatform::RunModal() {
    Record("RunModal()");
    if (OnRunModal)
        OnRunModal(*this);
    if (loop_)
        RunBoundedLoop();
    Record("RunModal:end");
}

// The real loop's turns; where it would idle for ever or wait, the fake stands in for the user.
void FakePlatform::RunBoundedLoop() {
    loop_->SetIdleHandler(IdleInstalled);
    int idlePasses = 0;
    bool closedByFake = false;
    for (ModalLoop::Turn turn = loop_->Step(); turn != ModalLoop::Turn::Ended;
         turn = loop_->Step()) {
        if (turn == ModalLoop::Turn::Idle && ++idlePasses >= MaxIdlePasses)
            loop_->SetIdleHandler(false);
        if (turn != ModalLoop::Turn::Waiting)
            continue;
        if (!CloseWhenIdle || closedByFake)
            break;
        closedByFake = true;
        Record("RunModal:close");
        loop_->RequestClose();
    }
}

void FakePlatform::DestroySaverWindow() {
    Record("DestroySaverWindow()");
    Events = nullptr;
    loop_.reset();
    pending_.clear();
}

void FakePlatform::HideApplicationWindow() {
    Record("HideApplicationWindow()");
    ApplicationWindowHidden = true;
}

void FakePlatform::GetScreenSize(int& width, int& height) {
    Record("GetScreenSize()");
    width = ScreenWidth;
    height = ScreenHeight;
}

void FakePlatform::SetWindowBounds(int left, int top, int width, int height) {
    Record("SetWindowBounds(" + std::to_string(left) + "," + std::to_string(top) + "," +
           std::to_string(width) + "," + std::to_string(height) + ")");
    BoundsLeft = left;
    BoundsTop = top;
    BoundsWidth = width;
    BoundsHeight = height;
}

void FakePlatform::SetWindowColor(std::uint32_t color) {
    Record("SetWindowColor(" + std::to_string(color) + ")");
    WindowColor = color;
}

void FakePlatform::SetViewCursor(int cursor) {
    Record("SetViewCursor(" + std::to_string(cursor) + ")");
    ViewCursor = cursor;
}

void FakePlatform::SetViewFocus() {
    Record("SetViewFocus()");
    ++ViewFocusCount;
}

void FakePlatform::SetTimerEnabled(TimerId timer, bool enabled) {
    Record("SetTimerEnabled(" + std::to_string(int(timer)) + "," + (enabled ? "1" : "0") + ")");
    TimerEnabled[timer] = enabled;
}

bool FakePlatform::IsTimerEnabled(TimerId timer) {
    Record("IsTimerEnabled(" + std::to_string(int(timer)) + ")");
    return TimerEnabled[timer];
}

void FakePlatform::SetIdleHandler(bool installed) {
    Record(std::string("SetIdleHandler(") + (installed ? "1" : "0") + ")");
    IdleInstalled = installed;
    Platform::SetIdleHandler(installed);
}

bool FakePlatform::IsCapsLockOn() {
    Record("IsCapsLockOn()");
    return CapsLock;
}

void FakePlatform::RequestClose() {
    Record("RequestClose()");
    ++CloseRequests;
    Platform::RequestClose();
}

void FakePlatform::ProcessMessages() {
    Record("ProcessMessages()");
    Platform::ProcessMessages();
}

void FakePlatform::InvalidateView() {
    Record("InvalidateView()");
    ++InvalidateCount;
}

void FakePlatform::FillViewRect(std::uint32_t color, int width, int height) {
    Record("FillViewRect(" + std::to_string(color) + "," + std::to_string(width) + "," +
           std::to_string(height) + ")");
}

void FakePlatform::GetViewSize(int& width, int& height) {
    Record("GetViewSize()");
    width = ViewWidth;
    height = ViewHeight;
}

// --- rendering context ---------------------------------------------------------------------

DeviceContext FakePlatform::GetViewDeviceContext() {
    Record("GetViewDeviceContext()");
    return ViewDC;
}

void FakePlatform::ReleaseViewDeviceContext(DeviceContext dc) {
    Record("ReleaseViewDeviceContext(" + std::to_string(dc) + ")");
}

RenderContext FakePlatform::CreateGLContext(DeviceContext dc, int colorBits, int stencilBits,
                                            int accumBits, int auxBuffers, int layer) {
    Record("CreateGLContext(" + std::to_string(dc) + "," + std::to_string(colorBits) + "," +
           std::to_string(stencilBits) + "," + std::to_string(accumBits) + "," +
           std::to_string(auxBuffers) + "," + std::to_string(layer) + ")");
    if (CreateContextFails)
        throw EWin32Error(LastError, "fake error " + std::to_string(LastError));
    return NextContext;
}

void FakePlatform::ActivateGLContext(DeviceContext dc, RenderContext rc) {
    Record("ActivateGLContext(" + std::to_string(dc) + "," + std::to_string(rc) + ")");
    CurrentContext = rc;
}

void FakePlatform::DeactivateGLContext() {
    Record("DeactivateGLContext()");
    CurrentContext = 0;
}

void FakePlatform::DeleteGLContext(RenderContext rc) {
    Record("DeleteGLContext(" + std::to_string(rc) + ")");
}

} // namespace lumivex
