// A fake of the whole Platform for unit tests: every call is appended to Log in the order it was
// made, and what each call answers is set through the public fields below.
//
// Log entries have the form "Name(arg,arg)", for example
//   "RegOpenKey(Software\Orvantix\Lumivex GL\Version 3.0,AllAccess)"
//   "RegSetValue(Rest,REG_DWORD,20)"      strings are shown without their NUL, dwords signed
//   "LoadLibrary(OpenGL32.DLL)"  "FreeLibrary(OpenGL32.DLL)"  "Sleep(250)"
// Use Calls("Reg") to pick out the entries that start with a prefix.
//
// Behaviour in brief:
// - Registry: an in-memory tree under HKEY_CURRENT_USER. Key paths and value names compare
//   without regard to case, as on Windows. Keys are created by RegCreateKey or SetRegistryValue.
// - Libraries: AddLibrary(name, {{"Symbol", address}}) makes a name loadable; names compare
//   without regard to case. LoadLibrary of anything else returns nullptr and sets LastError 126.
// - Clock: Sleep(ms) advances TickCount by ms (SleepAdvancesClock), so code that waits on
//   GetTickCount finishes without real time passing. AdvanceTicks() moves it by hand.
// - Saver window: CreateSaverWindow keeps the WindowEvents; Post*() queues events that
//   ProcessMessages and RunModal deliver. RunModal is the real modal loop (ModalLoop), bounded so
//   that a test never hangs: after MaxIdlePasses idle passes it idles no more, and where the
//   real loop would wait it requests a close itself, once (CloseWhenIdle), then ends.
#pragma once

#include "platform/ModalLoop.h"
#include "platform/Platform.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lumivex {

// Case-insensitive ordering for registry paths, value names and library names.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class FakePlatform : public Platform, private ModalLoop::Backend {
  public:
    FakePlatform();
    ~FakePlatform() override;

    // --- recording -------------------------------------------------------------------------
    std::vector<std::string> Log;
    // Entries of Log that start with `prefix`, in order.
    std::vector<std::string> Calls(const std::string& prefix) const;
    // How many entries of Log start with `prefix`.
    std::size_t CountOf(const std::string& prefix) const;
    void ClearLog() { Log.clear(); }

    // --- single-instance guard -------------------------------------------------------------
    bool GuardAlreadyExists = false; // another instance holds it
    bool GuardFails = false;         // no guard can be made (handle 0)
    GuardHandle GuardValue = 0x6A;
    int OpenGuards = 0; // created and not yet closed

    // --- windows ---------------------------------------------------------------------------
    WindowHandle ForegroundWindow = 0x1F0;
    WindowHandle DesktopWindow = 0xDE5;
    WindowHandle ActiveWindow = 0;

    // --- registry --------------------------------------------------------------------------
    using ValueMap = std::map<std::string, RegistryValue, NoCaseLess>;
    std::map<std::string, ValueMap, NoCaseLess> Registry;
    // Keys that exist but refuse the given access (RegOpenKey answers 0 for it).
    std::set<std::string, NoCaseLess> DenyAllAccess;
    std::set<std::string, NoCaseLess> DenyRead;
    bool CreateKeyFails = false;
    bool CommitFails = false; // closing a key opened for writing fails, as on a full disk
    // Value names whose RegSetValue fails; RegQueryValue of names in FailQuery fails too.
    std::set<std::string, NoCaseLess> FailSetValue;
    std::set<std::string, NoCaseLess> FailQuery;

    void SetRegistryValue(const std::string& key, const std::string& name, std::uint32_t type,
                          std::vector<std::uint8_t> data);
    void SetRegistryString(const std::string& key, const std::string& name, const std::string& text,
                           std::uint32_t type = REG_SZ);
    void SetRegistryDword(const std::string& key, const std::string& name, std::int32_t value);
    bool HasKey(const std::string& key) const;
    // nullptr when absent.
    const RegistryValue* FindValue(const std::string& key, const std::string& name) const;
    // The stored text (up to the first NUL) of a string value; "" when absent.
    std::string StringValue(const std::string& key, const std::string& name) const;
    // The stored dword read as signed; `fallback` when absent or not a 4-byte dword.
    std::int32_t DwordValue(const std::string& key, const std::string& name,
                            std::int32_t fallback = -1) const;
    int OpenKeys = 0; // opened and not yet closed

    // --- help, messages, screen-saver flag -------------------------------------------------
    struct Message {
        std::string Text, Caption;
        std::uint32_t Flags;
    };
    std::vector<Message> Messages;
    bool ScreenSaverRunning = false;

    // --- dynamic libraries -----------------------------------------------------------------
    void AddLibrary(const std::string& name, std::map<std::string, void*> symbols = {});
    // Libraries loaded and not yet freed, by name as loaded.
    std::vector<std::string> LoadedLibraries() const;

    // --- system facts and time -------------------------------------------------------------
    PlatformVersion Version{2, 5, 1};
    std::string SystemDirectory = "C:\\WINDOWS\\SYSTEM32";
    std::uint32_t TickCount = 100000;
    bool SleepAdvancesClock = true;
    std::uint32_t MillisecondsOfDay = 43200000; // noon
    std::uint32_t LastError = 0;
    bool FloatingPointMasked = false;
    void AdvanceTicks(std::uint32_t milliseconds) { TickCount += milliseconds; }

    // --- saver window ----------------------------------------------------------------------
    WindowEvents* Events = nullptr; // set by CreateSaverWindow, cleared by DestroySaverWindow
    WindowHandle SaverWindow = 0x5A7;
    int ScreenWidth = 1024, ScreenHeight = 768;
    int BoundsLeft = 0, BoundsTop = 0, BoundsWidth = 640, BoundsHeight = 480;
    std::uint32_t WindowColor = 0;
    int ViewCursor = crDefault;
    int ViewFocusCount = 0;
    std::map<TimerId, bool> TimerEnabled{{TimerHideMouse, false}, {TimerTick, true}};
    bool IdleInstalled = false;
    bool CapsLock = false;
    bool ApplicationWindowHidden = false;
    int CloseRequests = 0; // every RequestClose call
    int InvalidateCount = 0;
    int ViewWidth = 1024, ViewHeight = 768;
    std::vector<ViewRect> Monitors;     // what GetViewMonitors answers (not logged)
    std::vector<PictureState> Pictures; // every PictureChanged, in order (not logged)

    // The session is ending (a logout, a signal): RestPause stops early and RunModal ends with
    // OnEndSession and OnClose, without a close query (ModalLoop).
    bool SessionEnding = false;

    int MaxIdlePasses = 3;
    std::int64_t PicturesShownCount = -1; // apart from frames drawn (Wayland, the page); -1: none
    bool CloseWhenIdle = true;
    // Called once at the start of RunModal; may post events or throw to model a failing loop.
    std::function<void(FakePlatform&)> OnRunModal;

    // Queued input, delivered by ProcessMessages / RunModal in order.
    void PostKeyDown(std::uint16_t virtualKey);
    void PostMouseDown();
    void PostMouseMove(int x, int y);
    void PostTimer(TimerId timer);
    void PostPaint();
    // Something that happens between two events (a signal, say), run when its turn comes.
    void PostCall(std::function<void()> call);
    std::size_t PendingEvents() const { return pending_.size(); }

    // --- rendering context -----------------------------------------------------------------
    DeviceContext ViewDC = 0xDC;
    RenderContext NextContext = 0x6C;
    RenderContext CurrentContext = 0;
    bool CreateContextFails = false; // throws EWin32Error(LastError, ErrorText(LastError))

    // --- Platform --------------------------------------------------------------------------
    GuardHandle CreateInstanceGuard(const std::string& name, bool& alreadyExists) override;
    void CloseInstanceGuard(GuardHandle guard) override;
    WindowHandle GetForegroundWindow() override;
    void SetForegroundWindow(WindowHandle window) override;
    WindowHandle GetDesktopWindow() override;
    WindowHandle GetActiveWindow() override;
    void SetActiveWindow(WindowHandle window) override;
    KeyHandle RegOpenKey(const std::string& path, RegAccess access) override;
    KeyHandle RegCreateKey(const std::string& path) override;
    bool RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) override;
    bool RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::size_t size) override;
    bool RegCloseKey(KeyHandle key) override;
    void ReportSaveFailure(std::uint32_t error, bool mayWait) override;
    void ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                  std::uint32_t context) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;
    void SetScreenSaverRunning(bool running) override;
    LibraryHandle LoadLibrary(const std::string& name) override;
    void* GetProcAddress(LibraryHandle library, const char* name) override;
    void FreeLibrary(LibraryHandle library) override;
    PlatformVersion GetVersion() override;
    std::string GetSystemDirectory() override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override;
    std::uint32_t MillisecondsSinceMidnightUTC() override;
    std::uint32_t GetLastError() override;
    std::string ErrorText(std::uint32_t code) override;
    void MaskFloatingPointExceptions() override;
    WindowHandle CreateSaverWindow(WindowEvents* events) override;
    void RunModal() override;
    void DestroySaverWindow() override;
    void HideApplicationWindow() override;
    void GetScreenSize(int& width, int& height) override;
    void SetWindowBounds(int left, int top, int width, int height) override;
    void SetWindowColor(std::uint32_t color) override;
    void SetViewCursor(int cursor) override;
    void SetViewFocus() override;
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool IsTimerEnabled(TimerId timer) override;
    void SetIdleHandler(bool installed) override;
    bool IsCapsLockOn() override;
    void PictureChanged(const PictureState& picture) override { Pictures.push_back(picture); }
    void RequestClose() override;
    void ProcessMessages() override;
    bool IsSessionEnding() override { return SessionEnding; } // the modal loop asks it too
    bool PicturesShown(std::uint64_t& shown) override {
        shown = static_cast<std::uint64_t>(PicturesShownCount);
        return PicturesShownCount >= 0;
    }
    void InvalidateView() override;
    void FillViewRect(std::uint32_t color, int width, int height) override;
    void GetViewSize(int& width, int& height) override;
    std::vector<ViewRect> GetViewMonitors() override { return Monitors; }
    DeviceContext GetViewDeviceContext() override;
    void ReleaseViewDeviceContext(DeviceContext dc) override;
    RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits, int accumBits,
                                  int auxBuffers, int layer) override;
    void ActivateGLContext(DeviceContext dc, RenderContext rc) override;
    void DeactivateGLContext() override;
    void DeleteGLContext(RenderContext rc) override;

  private:
    struct OpenKey {
        std::string Path;
        RegAccess Access;
    };
    struct Library {
        std::string Name;
        std::map<std::string, void*> Symbols;
    };
    std::map<KeyHandle, OpenKey> keys_;
    KeyHandle nextKey_ = 0x100;
    std::map<std::string, std::map<std::string, void*>, NoCaseLess> libraries_;
    std::map<LibraryHandle, Library> loaded_;
    std::uintptr_t nextLibrary_ = 0x1000; // handles are never dereferenced
    std::deque<std::function<void(WindowEvents&)>> pending_;
    std::optional<ModalLoop> loop_; // while there is a saver window

    void Record(std::string entry) { Log.push_back(std::move(entry)); }
    ModalLoop* SaverLoop() override { return loop_ ? &*loop_ : nullptr; }
    void RunBoundedLoop();
    bool HandlePendingEvent() override;
    void WaitForEvent() override {}
};

} // namespace lumivex
