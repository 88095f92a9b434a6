// Entry point of lumivex-gl: the Linux back end of the window system in use under the portable
// start-up. A mode letter (/s, /c, /p, /a) goes to the start-up as on Windows; options make a
// screen-saver host's hack. Which back end runs is posix_backend.h's choice.
#include "platform/idle/idle_watcher.h"
#include "platform/options/hack_options.h"
#include "platform/posix/posix_backend.h"
#include "platform/posix/posix_signals.h"
#include "platform/wayland/wayland_platform.h"
#include "platform/x11/x11_platform.h"
#include "shell/unInitialize.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

int RunHostOptions(lumivex::PosixPlatform& platform, const lumivex::HostOptions& options) {
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
        const std::string problem =
            static_cast<lumivex::X11Platform&>(platform).HostIn(options.HostWindow);
        if (!problem.empty()) {
            std::fprintf(stderr, "lumivex-gl: %s\n", problem.c_str());
            return 1;
        }
    }
    return lumivex::RunWithOptions(options.Run);
}

// The platform of the window system in use; nullptr (the reason said) when none can be.
std::unique_ptr<lumivex::PosixPlatform> MakePlatform(const lumivex::HostOptions& options,
                                                     const std::vector<std::string>& arguments) {
    // Nothing to draw: no window system is asked anything.
    if (!options.Error.empty() || options.Help || options.Version)
        return std::make_unique<lumivex::X11Platform>();
    const lumivex::BackendChoice choice =
        lumivex::ChooseBackend(std::getenv("LUMIVEX_BACKEND"), std::getenv("WAYLAND_DISPLAY"),
                               std::getenv("DISPLAY"), lumivex::InGivenWindow(options, arguments));
    if (!choice.Error.empty()) {
        std::fprintf(stderr, "lumivex-gl: %s\n", choice.Error.c_str());
        return nullptr;
    }
    std::string fallbackProblem;
    if (choice.First == lumivex::Backend::Wayland) {
        auto wayland = std::make_unique<lumivex::WaylandPlatform>();
        const std::string problem = wayland->Connect();
        if (problem.empty())
            return wayland;
        // Asked to end while waiting: nothing was loaded or shown, so nothing is left to do.
        if (lumivex::TerminationRequested())
            return nullptr;
        const bool said = !choice.FallBack || wayland->Unanswered();
        if (said)
            std::fprintf(stderr, "lumivex-gl: %s%s\n", problem.c_str(),
                         choice.FallBack ? "; trying X11" : "");
        if (!choice.FallBack)
            return nullptr;
        // A compositor named but not there is worth naming should X11 fail too.
        const char* named = std::getenv("WAYLAND_DISPLAY");
        if (!said && named != nullptr && *named != '\0')
            fallbackProblem = problem;
    }
    auto x11 = std::make_unique<lumivex::X11Platform>();
    x11->SetFallbackProblem(fallbackProblem);
    return x11;
}

} // namespace

int main(int argc, char** argv) {
    // A logout or a closed terminal ends the saver as a close does, keeping the edits.
    lumivex::InstallTerminationSignals();
    try {
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        const lumivex::HostOptions options =
            lumivex::ParseHostOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
        // The watcher draws nothing and reads no settings: it runs the saver as a child.
        if (options.IdleSeconds > 0 && options.Error.empty() && !options.Help && !options.Version)
            return lumivex::RunIdleWatcher(options.IdleSeconds, argc > 0 ? argv[0] : nullptr);
        const std::unique_ptr<lumivex::PosixPlatform> platform = MakePlatform(options, arguments);
        if (platform == nullptr)
            return lumivex::TerminationRequested() ? 0 : 1;
        lumivex::SetPlatform(platform.get());
        if (!options.UsesOptions)
            return lumivex::RunProgram(argc, argv);
        return RunHostOptions(*platform, options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumivex-gl: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "lumivex-gl: unknown error\n");
    }
    return 1;
}
