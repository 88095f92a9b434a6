// The one interface through which the portable code reaches the operating system.
//
// Every service the saver needs from the system - the single-instance guard, windows and
// their events, timers, the idle loop, the keyboard state, the cursor, the registry, dynamic
// libraries, the help, message boxes, the GL context, the clock - is a virtual here. Each back
// end (x11/, win32/) implements it once; unit tests use the recording fake in tests/support.
// No OS header may be included by this file or by anything portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumivex {

using WindowHandle = std::intptr_t; // HWND / X Window; 0 = none
using LibraryHandle = void*;        // HMODULE / dlopen handle; nullptr = none
using KeyHandle = std::intptr_t;    // HKEY; 0 = none
using GuardHandle = std::intptr_t;  // semaphore / lock file; 0 = none
using DeviceContext = std::intptr_t;
using RenderContext = std::intptr_t;

// Registry value types, with their Windows numbers (they are what the file format stores).
enum : std::uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_DWORD_BIG_ENDIAN = 5,
    REG_LINK = 6,
    REG_MULTI_SZ = 7,
    REG_QWORD = 11,
};

enum class RegAccess { AllAccess, Read };

// Raw registry value: its type and its bytes exactly as stored (strings keep their NUL).
struct RegistryValue {
    std::uint32_t Type = REG_NONE;
    std::vector<std::uint8_t> Data;
};

struct PlatformVersion {
    std::uint32_t PlatformId = 2; // 1 = Windows 95/98/ME, 2 = NT family
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
};

// Message box kinds (the Windows MB_* bits the program uses).
enum : std::uint32_t { MB_OK = 0x0, MB_ICONINFORMATION = 0x40 };
// Help command used in configure mode.
enum : std::uint32_t { HELP_CONTEXT = 1 };

// Timers of the saver window.
enum TimerId : int { TimerHideMouse = 1, TimerTick = 2 };

// Cursor shapes of the view.
enum : int { crDefault = 0, crNone = -1 };

// Windows virtual-key codes (winuser.h); back ends translate their keys to these. Letters and
// digits are their upper-case character ('A', '7'); the keypad digits and the function keys run
// on from their first code.
enum : std::uint16_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_CLEAR = 12,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18, // Alt
    VK_PAUSE = 19,
    VK_CAPITAL = 20,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_SNAPSHOT = 44,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_LWIN = 91,
    VK_RWIN = 92,
    VK_APPS = 93,
    VK_NUMPAD0 = 96,
    VK_NUMPAD9 = 105,
    VK_MULTIPLY = 106,
    VK_ADD = 107,
    VK_SEPARATOR = 108,
    VK_SUBTRACT = 109,
    VK_DECIMAL = 110,
    VK_DIVIDE = 111,
    VK_F1 = 112,
    VK_F24 = 135,
    VK_NUMLOCK = 144,
    VK_SCROLL = 145,
    VK_OEM_1 = 186,      // ;
    VK_OEM_PLUS = 187,   // =
    VK_OEM_COMMA = 188,  // ,
    VK_OEM_MINUS = 189,  // -
    VK_OEM_PERIOD = 190, // .
    VK_OEM_2 = 191,      // /
    VK_OEM_3 = 192,      // `
    VK_OEM_4 = 219,      // [
    VK_OEM_5 = 220,      // backslash
    VK_OEM_6 = 221,      // ]
    VK_OEM_7 = 222,      // '
    VK_OEM_102 = 226,    // < of the key beside the left Shift
};

// A picture as the view made it: the generator's state when its elements began, the settings
// they were made with and the pace it runs at. The same state and settings on a view of the same
// monitors make the same picture again, pass for pass.
struct PictureState {
    std::uint32_t Seed = 0;
    std::int32_t NumOfElements = 0;
    std::int32_t NumOfReflections = 0;
    bool Alpha = false;
    bool Reflected = false;
    bool FullScreen = false;
    bool Monochrome = false;
    std::uint32_t MonoColor = 0;  // COLORREF
    float BaseAngle = 0.0f;       // degrees
    std::int32_t Rest = 0;        // ms
    std::uint32_t Background = 0; // COLORREF, which the first paint clears to
};

// A part of the view, in the view's pixels from its top left corner.
struct ViewRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// What the saver window hears from the system. The portable form implements it; the back end's
// modal loop calls it. Every call happens on the one window thread.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    virtual void OnKeyDown(std::uint16_t virtualKey) = 0;
    virtual void OnMouseDown() = 0;
    virtual void OnMouseMove(int x, int y) = 0;
    virtual void OnTimer(TimerId timer) = 0;
    virtual void OnPaint() = 0;
    virtual void OnResize(int width, int height) = 0;
    // The close query: true lets the modal loop end.
    virtual bool OnCloseQuery() = 0;
    // After an allowed close query, before the modal loop ends.
    virtual void OnClose() = 0;
    // The application's idle handler; only called while installed (SetIdleHandler).
    virtual void OnIdle() = 0;
    // The session ends (logout, the program told to stop, the host's window gone): the window
    // closes without a close query, OnClose follows and the modal loop ends.
    virtual void OnEndSession() {}
};

class ModalLoop;

class Platform {
  public:
    virtual ~Platform() = default;

    // --- single-instance guard -------------------------------------------------------------
    // Creates (or opens) the named guard. alreadyExists is true when another live process
    // holds it. Returns 0 when no guard could be made at all.
    virtual GuardHandle CreateInstanceGuard(const std::string& name, bool& alreadyExists) = 0;
    virtual void CloseInstanceGuard(GuardHandle guard) = 0;

    // --- top-level windows -----------------------------------------------------------------
    virtual WindowHandle GetForegroundWindow() = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual WindowHandle GetDesktopWindow() = 0;
    virtual WindowHandle GetActiveWindow() = 0;
    virtual void SetActiveWindow(WindowHandle window) = 0;

    // --- registry, under HKEY_CURRENT_USER; key paths use backslashes ----------------------
    // Open an existing key; 0 when it does not exist or cannot be opened with that access.
    virtual KeyHandle RegOpenKey(const std::string& path, RegAccess access) = 0;
    // Open the key, creating it and missing parents; 0 on failure.
    virtual KeyHandle RegCreateKey(const std::string& path) = 0;
    // False when the value does not exist or cannot be read.
    virtual bool RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) = 0;
    // False when the value could not be written.
    virtual bool RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                             const std::uint8_t* data, std::size_t size) = 0;
    // Closing a key opened for writing commits what was written to it; false when that failed
    // (GetLastError tells why).
    virtual bool RegCloseKey(KeyHandle key) = 0;
    // Tells the user that the settings could not be saved, and why (a GetLastError code). With
    // mayWait false nobody is there to acknowledge a message: the session ends, or the system
    // started the program without a saver to watch.
    virtual void ReportSaveFailure(std::uint32_t error, bool mayWait) = 0;
    // Why someone other than the user may have written the settings just loaded ("where: why"),
    // empty when nobody else can. The code such settings name must not run as the user's.
    virtual std::string SettingsWritableByOthers() { return ""; }

    // --- help, messages, screen-saver flag -------------------------------------------------
    virtual void ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                          std::uint32_t context) = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             std::uint32_t flags) = 0;
    virtual void SetScreenSaverRunning(bool running) = 0;

    // --- dynamic libraries -----------------------------------------------------------------
    virtual LibraryHandle LoadLibrary(const std::string& name) = 0;
    virtual void* GetProcAddress(LibraryHandle library, const char* name) = 0;
    virtual void FreeLibrary(LibraryHandle library) = 0;

    // --- system facts and time -------------------------------------------------------------
    virtual PlatformVersion GetVersion() = 0;
    // The system directory as the system reports it (may or may not end in a backslash).
    virtual std::string GetSystemDirectory() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t GetTickCount() = 0;
    virtual std::uint32_t MillisecondsSinceMidnightUTC() = 0;
    // The code of the last failed system call and the system's text for a code.
    virtual std::uint32_t GetLastError() = 0;
    virtual std::string ErrorText(std::uint32_t code) = 0;
    // Mask every floating-point exception for the rest of the run.
    virtual void MaskFloatingPointExceptions() = 0;

    // --- the saver window ------------------------------------------------------------------
    // Creates the full-screen saver window with its view; events go to `events`.
    virtual WindowHandle CreateSaverWindow(WindowEvents* events) = 0;
    // Runs the modal loop until a close request is allowed by the close query.
    virtual void RunModal() = 0;
    virtual void DestroySaverWindow() = 0;
    // Keeps the application's own main window out of the task bar.
    virtual void HideApplicationWindow() = 0;
    virtual void GetScreenSize(int& width, int& height) = 0;
    // Where the screen's top left corner is, in the coordinates of SetWindowBounds: not 0, 0 where
    // monitors lie left of or above the primary one.
    virtual void GetScreenOrigin(int& left, int& top) {
        left = 0;
        top = 0;
    }
    virtual void SetWindowBounds(int left, int top, int width, int height) = 0;
    virtual void SetWindowColor(std::uint32_t color) = 0;
    virtual void SetViewCursor(int cursor) = 0;
    virtual void SetViewFocus() = 0;
    virtual void SetTimerEnabled(TimerId timer, bool enabled) = 0;
    virtual bool IsTimerEnabled(TimerId timer) = 0;
    virtual bool IsCapsLockOn() = 0;
    // Marks the view for repainting; the paint arrives as OnPaint.
    virtual void InvalidateView() = 0;
    // Without a GL context the view paints its background with the window system.
    virtual void FillViewRect(std::uint32_t color, int width, int height) = 0;
    virtual void GetViewSize(int& width, int& height) = 0;
    // After each frame the view drew: a single-buffered view has nothing to show, but a back end
    // may add to the picture here (the frame rate the user asked for). True when it drew with a
    // viewport and projection of its own, which the view then sets again.
    virtual bool PresentView() { return false; }
    // The pictures the saver window has shown, where the back end shows them at the display's
    // pace rather than one a frame drawn; false where every frame drawn is what is shown.
    virtual bool PicturesShown(std::uint64_t& /*shown*/) { return false; }
    // The monitors the view spans, each to show a kaleidoscope of its own; empty (or one) when
    // the view shows one picture, as it does wherever the system has no say.
    virtual std::vector<ViewRect> GetViewMonitors() { return {}; }
    // The view made a new picture or changed its pace; a back end that offers the picture to
    // keep (the page's link) takes it from here.
    virtual void PictureChanged(const PictureState&) {}

    // --- rendering context of the view -----------------------------------------------------
    virtual DeviceContext GetViewDeviceContext() = 0;
    virtual void ReleaseViewDeviceContext(DeviceContext dc) = 0;
    // Makes a context on the device context; throws EPlatformError on failure (EWin32Error on
    // Windows).
    virtual RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits,
                                          int accumBits, int auxBuffers, int layer) = 0;
    virtual void ActivateGLContext(DeviceContext dc, RenderContext rc) = 0;
    virtual void DeactivateGLContext() = 0;
    virtual void DeleteGLContext(RenderContext rc) = 0;

    // --- the saver window's modal loop (ModalLoop.h) ----------------------------------------
    // These go to SaverLoop(), and do nothing while there is no saver window.
    virtual void SetIdleHandler(bool installed);
    // Asks the modal loop to end; the loop runs the close query once for all pending requests.
    virtual void RequestClose();
    // Handles the pending window events (keys, mouse, timers, paints, close requests), a bounded
    // number of them; the close query is left to the loop.
    virtual void ProcessMessages();
    // True once the session is ending (see WindowEvents::OnEndSession); waits stop early then.
    virtual bool IsSessionEnding() { return false; }

  protected:
    // The saver window's modal loop; nullptr while there is no saver window.
    virtual ModalLoop* SaverLoop() = 0;
};

// The process-wide platform; set once by main (or by a test) before anything else runs.
Platform& GetPlatform();
void SetPlatform(Platform* platform);

} // namespace lumivex
