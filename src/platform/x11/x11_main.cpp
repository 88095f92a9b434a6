// Entry point of lumivex-gl: the Linux back end under the portable start-up.
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_session.h"
#include "shell/unInitialize.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    lumivex::X11Platform platform;
    lumivex::SetPlatform(&platform);
    // A logout or a closed terminal ends the saver as a close does, keeping the edits.
    lumivex::InstallTerminationSignals();
    try {
        return lumivex::RunProgram(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumivex-gl: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "lumivex-gl: unknown error\n");
    }
    return 1;
}
