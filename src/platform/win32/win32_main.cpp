// Entry point of LMVXSVGL.SCR: the Windows back end under the portable start-up.
#include "platform/win32/win32_api.h"
#include "shell/unInitialize.h"

#include <cstdlib>
#include <exception>
#include <string>

namespace {

// Masking comes before every other piece of the program runs, static constructors included.
__attribute__((constructor(101))) void MaskFloatingPointAtLoad() {
    lumivex::LoadFloatingPointControl(lumivex::SaverFloatingPointControl);
}

// An error nothing else caught ends the program; the user sees why instead of a silent exit.
int ReportFatalError(const std::string& text) {
    ::MessageBoxA(nullptr, text.c_str(), "Lumivex GL", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    lumivex::Win32Platform platform;
    lumivex::SetPlatform(&platform);
    try {
        // The runtime splits the command line as every Windows program sees it.
        return lumivex::RunProgram(__argc, __argv);
    } catch (const std::exception& error) {
        return ReportFatalError(error.what());
    } catch (...) {
        return ReportFatalError("Unknown error");
    }
}
