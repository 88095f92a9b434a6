// The browser back end: the page's canvas is the saver window, requestAnimationFrame drives the
// modal loop, localStorage holds the registry text, WebGL 2 (through the batching GL table) is the
// GL library. Its methods are spread over the web_*.cpp files, one concern per file; what needs
// JavaScript is in the EM_JS functions of web_page.h.
//
// The browser has one thread and must get it back between animation frames, so the modal loop
// cannot block: RunModal starts the animation loop and returns to the browser for good (the
// frames of the callers stay as they are, emscripten does not unwind them), and Sleep moves the
// clock the program sees ahead instead of waiting (see web_system.cpp).
#pragma once

#include "platform/PassPacer.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>

namespace lumivex {

// Error codes of the page's own, with the customer bit (29) that Windows leaves to programs; the
// others are errno numbers.
enum : std::uint32_t {
    ERROR_WEB_NO_WEBGL2 = 0x20000001,
    ERROR_WEB_CONTEXT_LOST = 0x20000002,
    ERROR_WEB_STORAGE = 0x20000003,
};

class WebPlatform final : public Platform {
  public:
    // web_system.cpp
    GuardHandle CreateInstanceGuard(const std::string& name, bool& alreadyExists) override;
    void CloseInstanceGuard(GuardHandle guard) override;
    WindowHandle GetForegroundWindow() override { return 0; }
    void SetForegroundWindow(WindowHandle) override {}
    WindowHandle GetDesktopWindow() override { return 0; }
    WindowHandle GetActiveWindow() override { return 0; }
    void SetActiveWindow(WindowHandle) override {}
    void ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                  std::uint32_t context) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;
    void SetScreenSaverRunning(bool) override {}
    PlatformVersion GetVersion() override;
    std::string GetSystemDirectory() override { return ""; }
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override;
    std::uint32_t MillisecondsSinceMidnightUTC() override;
    std::uint32_t GetLastError() override { return lastError_; }
    std::string ErrorText(std::uint32_t code) override;
    void MaskFloatingPointExceptions() override {} // WebAssembly raises no floating-point traps
    // The program's clock and the pace of its passes and pictures.
    PassPacer& Pacer() { return pacer_; }

    // web_registry.cpp
    KeyHandle RegOpenKey(const std::string& path, RegAccess access) override;
    KeyHandle RegCreateKey(const std::string& path) override;
    bool RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) override;
    bool RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::size_t size) override;
    bool RegCloseKey(KeyHandle key) override;
    // The page saves as it goes away, when no message can be seen: the console has it.
    void ReportSaveFailure(std::uint32_t error, bool mayWait) override;

    // web_gl.cpp: the GL library is WebGL 2 drawn through the batching table; both library names
    // load it, and neither loads without WebGL 2.
    LibraryHandle LoadLibrary(const std::string& name) override;
    void* GetProcAddress(LibraryHandle library, const char* name) override;
    void FreeLibrary(LibraryHandle library) override;
    DeviceContext GetViewDeviceContext() override;
    void ReleaseViewDeviceContext(DeviceContext) override {}
    RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits, int accumBits,
                                  int auxBuffers, int layer) override;
    void ActivateGLContext(DeviceContext dc, RenderContext rc) override;
    void DeactivateGLContext() override;
    void DeleteGLContext(RenderContext rc) override;
    // The drawing area changed size (device pixels).
    void ResizeGL(int width, int height);
    // Shows what the idle passes and paints drew since the last call.
    void PresentGL();
    bool PicturesShown(std::uint64_t& shown) override;

    // web_window.cpp
    WindowHandle CreateSaverWindow(WindowEvents* events) override;
    void RunModal() override;
    void DestroySaverWindow() override;
    void HideApplicationWindow() override {}
    void GetScreenSize(int& width, int& height) override;
    void SetWindowBounds(int left, int top, int width, int height) override;
    void SetWindowColor(std::uint32_t color) override;
    void SetViewCursor(int cursor) override;
    void SetViewFocus() override {}
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool IsTimerEnabled(TimerId timer) override;
    bool IsCapsLockOn() override;
    // The input that ends the saver leaves the page as it is: nothing closes it but the browser.
    void RequestClose() override {}
    bool IsSessionEnding() override;
    void InvalidateView() override;
    void FillViewRect(std::uint32_t color, int width, int height) override;
    void GetViewSize(int& width, int& height) override;

    // The page is going away (closed, reloaded, left): the saver window closes as at the end of
    // a session, and the settings are saved if this tab keeps them.
    void EndSession();
    // The frame rate on the picture, and with the vertices drawn on the console, once a second
    // (web_gl.cpp).
    void SetFrameRateReport(bool on) { frameRateReport_ = on; }
    bool PresentView() override;

    // web_picture.cpp
    void PictureChanged(const PictureState& picture) override;

  protected:
    ModalLoop* SaverLoop() override;

  private:
    // A page holds one platform, so each concern keeps its state in its own file.
    PassPacer pacer_;
    bool frameRateReport_ = false;
    std::uint32_t background_ = 0; // the window's colour, which the frame rate's box takes
    std::uint32_t lastError_ = 0;
};

} // namespace lumivex
