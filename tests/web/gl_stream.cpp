// The GL call stream of the saver's first frames for a fixed seed and settings, written by the
// end-to-end tests' recording library (one line a call) with a line "frame N" before each idle
// pass. Built natively and by the web build for node, the two streams must be the same. Given a
// page's address instead of settings, it starts from its options as the page does.
//
//   gl_stream OUTPUT FRAMES WIDTHxHEIGHT [Setting=dword ... | ?name=value&name...]
#include "gl/OpenGL12.h"
#include "platform/options/hack_options.h"
#include "shell/fmCanvas.h"
#include "shell/unInitialize.h"
#include "support/FakePlatform.h"
#include "system/unGlobals.h"
#include "system/unRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace lumivex;

extern "C" {
#define LUMIVEX_RECGL_DECLARE(ret, name, params, args) ret name params;
LUMIVEX_GL_FUNCTIONS(LUMIVEX_RECGL_DECLARE)
#undef LUMIVEX_RECGL_DECLARE
void recgl_note(const char* text);
}

namespace {

FakePlatform* platform = nullptr;
int frames = 0;

// The saver window as RunSaverWindow makes it, then its passes, each after any paint asked for.
void DrawFrames() {
    TfrmCanvas form;
    form.Handle = platform->CreateSaverWindow(&form);
    form.ApplyDesignProperties();
    form.LumivexGL.InitRendering();
    form.FormCreate();
    int painted = 0;
    for (int frame = 1; frame <= frames; ++frame) {
        if (platform->InvalidateCount != painted) {
            painted = platform->InvalidateCount;
            form.OnPaint();
        }
        recgl_note(("frame " + std::to_string(frame)).c_str());
        form.OnIdle();
    }
    platform->DestroySaverWindow();
}

// "seed=7&tile" as the page hands it over: seed, 7, tile, "".
std::vector<std::string> AddressPairs(const char* query) {
    std::vector<std::string> pairs;
    std::istringstream in(query);
    for (std::string option; std::getline(in, option, '&');) {
        const std::size_t equals = option.find('=');
        pairs.push_back(option.substr(0, equals));
        pairs.push_back(equals == std::string::npos ? "" : option.substr(equals + 1));
    }
    return pairs;
}

} // namespace

int main(int argc, char** argv) {
    int width = 0;
    int height = 0;
    if (argc < 4 || std::sscanf(argv[3], "%dx%d", &width, &height) != 2) {
        std::fputs("usage: gl_stream OUTPUT FRAMES WxH [Setting=dword ... | ?options]\n", stderr);
        return 2;
    }
    setenv("LUMIVEX_RECGL_FILE", argv[1], 1);
    FakePlatform fake;
    platform = &fake;
    SetPlatform(&fake);
    fake.ScreenWidth = fake.ViewWidth = width;
    fake.ScreenHeight = fake.ViewHeight = height;
    fake.MillisecondsOfDay = 43210123; // 12:00:10.123, the seed without options
    std::map<std::string, void*> recgl;
#define LUMIVEX_RECGL_FIND(ret, entry, params, args)                                               \
    recgl[#entry] = reinterpret_cast<void*>(&::entry);
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_RECGL_FIND)
#undef LUMIVEX_RECGL_FIND
    fake.AddLibrary(DefaultOpenGLDLL, recgl);
    fake.AddLibrary(DefaultOpenGLUDLL);

    TRunOptions options;
    for (int i = 4; i < argc; ++i) {
        if (argv[i][0] == '?') {
            const HostOptions read = ParseAddressOptions(AddressPairs(argv[i] + 1));
            if (!read.Error.empty())
                return std::fprintf(stderr, "gl_stream: %s\n", read.Error.c_str()), 2;
            options = read.Run;
        } else if (const char* equals = std::strchr(argv[i], '=')) {
            fake.SetRegistryDword(SettingsKey,
                                  std::string(argv[i], static_cast<std::size_t>(equals - argv[i])),
                                  static_cast<std::int32_t>(std::strtol(equals + 1, nullptr, 0)));
        }
    }
    frames = std::atoi(argv[2]);
    SaverWindowRunner = &DrawFrames;
    return RunWithOptions(options);
}
