// Vertices a second of the two pictures (bench/Pictures.h) drawn for real at 1920x1080 by the
// system's GL on an X display (Mesa's software rasterizer on Xvfb here): the way the saver draws
// them (immediate mode, a glFlush after each element, single-buffered), and through the batching
// layer over the same library's OpenGL ES 3 functions, without and with 4 samples a pixel. Every
// frame ends with glFinish, so the rasterizer's work counts; the time is wall-clock time, as the
// rasterizer runs on threads of its own.
//
//   bench/vertices.sh    (starts a virtual display and runs this and bench_elements)
#include "Pictures.h"
#include "gl/BatchingGL.h"
#include "gl/OpenGL12.h"
#include "view/LumivexGL_.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <type_traits>

using namespace lumivex;
using namespace lumivex::bench;

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

// GLX, bound by name so that building needs no GL headers (GL/glx.h attribute numbers).
enum : int { GLX_RGBA = 4, GLX_DEPTH_SIZE = 12 };
using ContextHandle = void*;
using ProcAddress = void* (*)(const unsigned char*);

struct Glx {
    Display* display = nullptr;
    Window window = 0;
    XVisualInfo* visual = nullptr;
    XVisualInfo* (*chooseVisual)(Display*, int, int*) = nullptr;
    ContextHandle (*createContext)(Display*, XVisualInfo*, ContextHandle, Bool) = nullptr;
    Bool (*makeCurrent)(Display*, XID, ContextHandle) = nullptr;
    void (*destroyContext)(Display*, ContextHandle) = nullptr;
    ProcAddress procAddress = nullptr;
    void (*finish)() = nullptr;
};

// The display and a mapped window of the picture's size, once; "" or what is missing.
std::string OpenGlx(Glx& glx) {
    void* library = dlopen("libGL.so.1", RTLD_NOW);
    if (library == nullptr)
        return "no libGL.so.1";
    const auto bind = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(library, name));
    };
    bind(glx.chooseVisual, "glXChooseVisual");
    bind(glx.createContext, "glXCreateContext");
    bind(glx.makeCurrent, "glXMakeCurrent");
    bind(glx.destroyContext, "glXDestroyContext");
    bind(glx.procAddress, "glXGetProcAddressARB");
    if (glx.procAddress == nullptr || glx.chooseVisual == nullptr)
        return "no GLX in libGL.so.1";
    bind(glx.finish, "glFinish");
    glx.display = XOpenDisplay(nullptr);
    if (glx.display == nullptr)
        return "no X display (run bench/vertices.sh)";
    int attributes[] = {GLX_RGBA, GLX_DEPTH_SIZE, 24, None};
    glx.visual = glx.chooseVisual(glx.display, DefaultScreen(glx.display), attributes);
    if (glx.visual == nullptr)
        return "no single-buffered RGBA visual";
    const Window root = RootWindow(glx.display, glx.visual->screen);
    XSetWindowAttributes window{};
    window.colormap = XCreateColormap(glx.display, root, glx.visual->visual, AllocNone);
    glx.window = XCreateWindow(glx.display, root, 0, 0, Width, Height, 0, glx.visual->depth,
                               InputOutput, glx.visual->visual, CWColormap, &window);
    XMapWindow(glx.display, glx.window);
    XSync(glx.display, False);
    return "";
}

std::int64_t vertices = 0;
void(LMVX_APIENTRY* drawVertex)(GLfloat, GLfloat) = nullptr;
void LMVX_APIENTRY CountVertex(GLfloat x, GLfloat y) {
    ++vertices;
    drawVertex(x, y);
}

// samples < 0: the system's GL as the saver uses it; otherwise the batching layer with that many
// samples a pixel. Each run has a context of its own, so no state leaks from one to the next.
void Draw(benchmark::State& state, void (*make)(TElementList&), int samples) {
    static Glx glx;
    static const std::string error = OpenGlx(glx);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const ContextHandle context = glx.createContext(glx.display, glx.visual, nullptr, True);
    if (context == nullptr || !glx.makeCurrent(glx.display, glx.window, context)) {
        state.SkipWithError("no GLX context");
        return;
    }
    const auto lookup = [&](const char* name) {
        return glx.procAddress(reinterpret_cast<const unsigned char*>(name));
    };
    BindGLEntryPoints(lookup);
    BatchingGL layer;
    if (samples >= 0) {
        BindESEntryPoints(lookup);
        InstallBatchingGL(layer);
        if (!layer.Create(Width, Height, samples)) {
            state.SkipWithError(layer.Error().c_str());
            return;
        }
    }
    drawVertex = GL.glVertex2f;
    GL.glVertex2f = &CountVertex;
    TCustomLumivexGL view;
    view.ContextReady = true;
    view.HandleResize(Width, Height);
    view.PaintSurface();
    TElementList list;
    make(list);
    const auto frame = [&] {
        MoveAndDraw(list);
        if (samples >= 0)
            layer.EndFrame();
        glx.finish();
    };
    frame();
    vertices = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        frame();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const auto frames = static_cast<double>(state.iterations());
    state.counters["vertices"] = static_cast<double>(vertices) / frames;
    state.counters["vertices_per_s"] = static_cast<double>(vertices) / seconds.count();
    state.counters["frames_per_s"] = frames / seconds.count();
    glx.makeCurrent(glx.display, None, nullptr);
    glx.destroyContext(glx.display, context);
    ClearGLEntryPoints();
}

void BM_DefaultPictureSystemGL(benchmark::State& state) {
    Draw(state, MakeDefaultPicture, -1);
}
void BM_DefaultPictureBatchingOverES(benchmark::State& state) {
    Draw(state, MakeDefaultPicture, static_cast<int>(state.range(0)));
}
void BM_HeavyPictureSystemGL(benchmark::State& state) {
    Draw(state, MakeHeavyPicture, -1);
}
void BM_HeavyPictureBatchingOverES(benchmark::State& state) {
    Draw(state, MakeHeavyPicture, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_DefaultPictureSystemGL)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_DefaultPictureBatchingOverES)
    ->ArgName("samples")
    ->Arg(0)
    ->Arg(4)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_HeavyPictureSystemGL)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_HeavyPictureBatchingOverES)
    ->ArgName("samples")
    ->Arg(0)
    ->Arg(4)
    ->UseRealTime()
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
