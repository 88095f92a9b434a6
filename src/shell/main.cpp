// Entry point of lumivex-gl: the Linux back end under the portable start-up.
#include "platform/x11/x11_platform.h"
#include "shell/unInitialize.h"

int main(int argc, char** argv) {
    lumivex::X11Platform platform;
    lumivex::SetPlatform(&platform);
    return lumivex::RunProgram(argc, argv);
}
