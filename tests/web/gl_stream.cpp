// The GL call stream of the saver's first frames for a fixed seed and settings, written by the
// end-to-end tests' recording library (one line a call) with a line "frame N" before each idle
// pass. Built natively and by the web build for node, the two streams must be the same.
//
//   gl_stream OUTPUT FRAMES WIDTHxHEIGHT [Setting=dword ...]
#include "elements/GeometryGL_.h"
#include "gl/OpenGL12.h"
#include "shell/fmCanvas.h"
#include "support/FakePlatform.h"
#include "system/unGlobals.h"
#include "system/unRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace lumivex;

extern "C" {
#define LUMIVEX_RECGL_DECLARE(ret, name, params, args) ret name params;
LUMIVEX_GL_FUNCTIONS(LUMIVEX_RECGL_DECLARE)
#undef LUMIVEX_RECGL_DECLARE
void recgl_note(const char* text);
}

namespace {
constexpr std::uint32_t Seed = 43210123; // milliseconds since midnight: 12:00:10.123
}

int main(int argc, char** argv) {
    int width = 0;
    int height = 0;
    if (argc < 4 || std::sscanf(argv[3], "%dx%d", &width, &height) != 2) {
        std::fputs("usage: gl_stream OUTPUT FRAMES WIDTHxHEIGHT [Setting=dword ...]\n", stderr);
        return 2;
    }
    setenv("LUMIVEX_RECGL_FILE", argv[1], 1);
    FakePlatform platform;
    SetPlatform(&platform);
    platform.ScreenWidth = platform.ViewWidth = width;
    platform.ScreenHeight = platform.ViewHeight = height;
    for (int i = 4; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        if (equals != nullptr)
            platform.SetRegistryDword(
                SettingsKey, std::string(argv[i], static_cast<std::size_t>(equals - argv[i])),
                static_cast<std::int32_t>(std::strtol(equals + 1, nullptr, 0)));
    }
    SetRandSeed(Seed);
    SetDefaultSettings();
    LoadSettings();
    BindGLEntryPoints([](const char* name) -> void* {
#define LUMIVEX_RECGL_FIND(ret, entry, params, args)                                               \
    if (std::strcmp(name, #entry) == 0)                                                            \
        return reinterpret_cast<void*>(&::entry);
        LUMIVEX_GL_FUNCTIONS(LUMIVEX_RECGL_FIND)
#undef LUMIVEX_RECGL_FIND
        return nullptr;
    });

    // The saver window as RunSaverWindow makes it, then its idle passes, each after the paint the
    // last one asked for.
    TfrmCanvas form;
    form.Handle = platform.CreateSaverWindow(&form);
    form.ApplyDesignProperties();
    form.LumivexGL.InitRendering();
    form.FormCreate();
    int painted = 0;
    const int frames = std::atoi(argv[2]);
    for (int frame = 1; frame <= frames; ++frame) {
        if (platform.InvalidateCount != painted) {
            painted = platform.InvalidateCount;
            form.OnPaint();
        }
        recgl_note(("frame " + std::to_string(frame)).c_str());
        form.OnIdle();
    }
    return 0;
}
