// The Windows back end: USER32 for windows and input, GDI32 and the system's OpenGL32.DLL for
// the rendering context, KERNEL32 and ADVAPI32 for the rest. Its methods are spread over the
// win32_*.cpp files, one concern per file. Files that need the Windows headers include
// win32_api.h, which brings them in after this interface.
#pragma once

#include "platform/Platform.h"

#include <memory>

namespace lumivex {

class Win32Platform final : public Platform {
  public:
    Win32Platform();
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // win32_instance.cpp
    GuardHandle CreateInstanceGuard(const std::string& name, bool& alreadyExists) override;
    void CloseInstanceGuard(GuardHandle guard) override;

    // win32_desktop.cpp
    WindowHandle GetForegroundWindow() override;
    void SetForegroundWindow(WindowHandle window) override;
    WindowHandle GetDesktopWindow() override;
    WindowHandle GetActiveWindow() override;
    void SetActiveWindow(WindowHandle window) override;

    // win32_registry.cpp
    KeyHandle RegOpenKey(const std::string& path, RegAccess access) override;
    KeyHandle RegCreateKey(const std::string& path) override;
    bool RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) override;
    bool RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::size_t size) override;
    bool RegCloseKey(KeyHandle key) override;
    void ReportSaveFailure(std::uint32_t error, bool mayWait) override;

    // win32_help.cpp
    void ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                  std::uint32_t context) override;

    // win32_system.cpp
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

    // win32_message.cpp
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;

    // win32_window.cpp
    WindowHandle CreateSaverWindow(WindowEvents* events) override;
    void RunModal() override;
    void DestroySaverWindow() override;
    void HideApplicationWindow() override;
    void GetScreenSize(int& width, int& height) override;
    void GetScreenOrigin(int& left, int& top) override;
    std::vector<ViewRect> GetViewMonitors() override;
    void SetWindowBounds(int left, int top, int width, int height) override;
    void SetWindowColor(std::uint32_t color) override;
    void SetViewCursor(int cursor) override;
    void SetViewFocus() override;
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool IsTimerEnabled(TimerId timer) override;
    bool IsCapsLockOn() override;
    void InvalidateView() override;
    void FillViewRect(std::uint32_t color, int width, int height) override;
    void GetViewSize(int& width, int& height) override;

    // win32_wgl.cpp
    DeviceContext GetViewDeviceContext() override;
    void ReleaseViewDeviceContext(DeviceContext dc) override;
    RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits, int accumBits,
                                  int auxBuffers, int layer) override;
    void ActivateGLContext(DeviceContext dc, RenderContext rc) override;
    void DeactivateGLContext() override;
    void DeleteGLContext(RenderContext rc) override;

    // Each concern keeps its state in a struct defined in its own file, made there on first use;
    // the struct's destructor releases what it holds.
    struct WindowState;
    struct WglState;
    // Deletes each state beside its definition, where its type is complete; takes over what
    // std::make_unique made there.
    struct StateDeleter {
        StateDeleter() = default;
        template <typename State> StateDeleter(std::default_delete<State> /*made*/) {}
        void operator()(WindowState* state) const;
        void operator()(WglState* state) const;
    };
    template <typename State> using StatePtr = std::unique_ptr<State, StateDeleter>;

  private:
    // win32_window.cpp
    ModalLoop* SaverLoop() override;

    // The contexts go before the windows they were made on.
    StatePtr<WindowState> window_;
    StatePtr<WglState> wgl_;
};

// The x87 control word of the whole run: every exception masked, 64-bit precision, rounding to
// nearest. Invalid operations and divisions by zero give NaN and infinity instead of faults.
constexpr unsigned short SaverFloatingPointControl = 0x133F;
void LoadFloatingPointControl(unsigned short control);

} // namespace lumivex
