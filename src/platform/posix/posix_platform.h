// What every Linux back end (X11, Wayland) shares: POSIX services behind the platform interface.
// The settings file, the single-instance guard, libraries, the clock, errors and the help text do
// not depend on the window system; each back end adds its windows, input and GL context on top.
// Its methods are spread over the posix_*.cpp files, one concern per file.
#pragma once

#include "platform/Platform.h"

#include <memory>

namespace lumivex {

class PosixPlatform : public Platform {
  public:
    PosixPlatform();
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // posix_instance.cpp
    GuardHandle CreateInstanceGuard(const std::string& name, bool& alreadyExists) override;
    void CloseInstanceGuard(GuardHandle guard) override;

    // posix_registry.cpp
    KeyHandle RegOpenKey(const std::string& path, RegAccess access) override;
    KeyHandle RegCreateKey(const std::string& path) override;
    bool RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) override;
    bool RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                     const std::uint8_t* data, std::size_t size) override;
    bool RegCloseKey(KeyHandle key) override;
    void ReportSaveFailure(std::uint32_t error, bool mayWait) override;
    std::string SettingsWritableByOthers() override;

    // posix_system.cpp
    void ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                  std::uint32_t context) override;
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

    // The frame rate measured once a second (--fps), where the back end can show it.
    virtual void SetFrameRateReport(bool on) = 0;

    // Each concern keeps its state in a struct defined in its own file, made there on first use.
    struct RegistryState;
    struct SystemState;
    struct StateDeleter {
        StateDeleter() = default;
        template <typename State> StateDeleter(std::default_delete<State> /*made*/) {}
        void operator()(RegistryState* state) const;
        void operator()(SystemState* state) const;
    };
    template <typename State> using StatePtr = std::unique_ptr<State, StateDeleter>;

    // The code of a failure that ErrorText describes in words of its own (beyond errno's range).
    static constexpr std::uint32_t ErrorDescribed = 0x20000002;

  protected:
    std::uint32_t lastError_ = 0; // errno (or the window system's code) of the last failed call

  private:
    // posix_registry.cpp: why the settings' links are not followed, for ErrorSettingsRefused.
    std::string SettingsRefusal() const;

    std::string guardProblem_; // why the guard could not be had, for ErrorDescribed
    StatePtr<RegistryState> registry_;
    StatePtr<SystemState> system_;
};

} // namespace lumivex
