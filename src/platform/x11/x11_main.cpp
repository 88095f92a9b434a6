// Entry point of lumivex-gl: the Linux back end under the portable start-up. A mode letter
// (/s, /c, /p, /a) goes to the start-up as on Windows; options make a screen-saver host's hack.
#include "platform/options/hack_options.h"
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_session.h"
#include "shell/unInitialize.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {

int RunHostOptions(lumivex::X11Platform& platform, const lumivex::HostOptions& options) {
    if (!options.Error.empty()) {
        std::fprintf(stderr, "lumivex-gl: %s\n", options.Error.c_str());
        return 1;
    }
    if (options.Help) {
        std::fputs(lumivex::HostOptionsHelp().c_str(), stdout);
        return 0;
    }
    if (options.Version) {
        std::puts("lumivex-gl " LUMIVEX_VERSION);
        return 0;
    }
    if (!options.Display.empty())
        setenv("DISPLAY", options.Display.c_str(), 1);
    platform.SetFrameRateReport(options.FrameRate);
    if (options.Run.Hosted) {
        const std::string problem = platform.HostIn(options.HostWindow);
        if (!problem.empty()) {
            std::fprintf(stderr, "lumivex-gl: %s\n", problem.c_str());
            return 1;
        }
    }
    return lumivex::RunWithOptions(options.Run);
}

} // namespace

int main(int argc, char** argv) {
    lumivex::X11Platform platform;
    lumivex::SetPlatform(&platform);
    // A logout or a closed terminal ends the saver as a close does, keeping the edits.
    lumivex::InstallTerminationSignals();
    try {
        const lumivex::HostOptions options = lumivex::ParseHostOptions(
            std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
            std::getenv("XSCREENSAVER_WINDOW"));
        if (!options.UsesOptions)
            return lumivex::RunProgram(argc, argv);
        return RunHostOptions(platform, options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumivex-gl: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "lumivex-gl: unknown error\n");
    }
    return 1;
}
