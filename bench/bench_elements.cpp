// Cost of the element engine alone, and with the batching GL layer behind it: one Move and one
// Draw of every element of a picture (bench/Pictures.h) into a GL table whose functions do nothing
// but count vertices, or into the batching layer over ES functions that do nothing but count the
// vertices drawn. Reported per vertex and as vertices a second, on processor time.
#include "Pictures.h"
#include "gl/BatchingGL.h"
#include "gl/OpenGL12.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>

using namespace lumivex;
using namespace lumivex::bench;

namespace {
std::int64_t vertices = 0;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define LUMIVEX_GL_NOTHING(ret, name, params, args)                                                \
    ret LMVX_APIENTRY Nothing_##name params {                                                      \
        return ret();                                                                              \
    }
#define LUMIVEX_ES_NOTHING(ret, name, params, args)                                                \
    ret LMVX_APIENTRY NothingES_##name params {                                                    \
        return ret();                                                                              \
    }
LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_NOTHING)
LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_NOTHING)
#undef LUMIVEX_ES_NOTHING
#undef LUMIVEX_GL_NOTHING
#pragma GCC diagnostic pop

void LMVX_APIENTRY CountVertex(GLfloat x, GLfloat y) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
    ++vertices;
}

void BindNothingGL() {
#define LUMIVEX_GL_BIND_NOTHING(ret, name, params, args) GL.name = &Nothing_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_BIND_NOTHING)
#undef LUMIVEX_GL_BIND_NOTHING
    GL.glVertex2f = &CountVertex;
}

// A system that accepts everything and draws nothing; only the lines drawn are counted.
void LMVX_APIENTRY Succeed(GLuint, GLenum, GLint* status) {
    *status = 1;
}
GLuint LMVX_APIENTRY Shader(GLenum) {
    return 1;
}
GLuint LMVX_APIENTRY Program() {
    return 1;
}
GLenum LMVX_APIENTRY Complete(GLenum) {
    return es::FRAMEBUFFER_COMPLETE;
}
void LMVX_APIENTRY CountDrawn(GLenum mode, GLint, GLsizei count) {
    if (mode == es::LINES)
        vertices += count;
}
void BindNothingES() {
#define LUMIVEX_ES_BIND_NOTHING(ret, name, params, args) ES.name = &NothingES_##name;
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_BIND_NOTHING)
#undef LUMIVEX_ES_BIND_NOTHING
    ES.glCreateShader = &Shader;
    ES.glCreateProgram = &Program;
    ES.glGetShaderiv = &Succeed;
    ES.glGetProgramiv = &Succeed;
    ES.glCheckFramebufferStatus = &Complete;
    ES.glDrawArrays = &CountDrawn;
}

// frame(): one animation frame.
template <typename Frame> void Run(benchmark::State& state, Frame&& frame) {
    vertices = 0;
    // Processor time, so that other work on a busy machine does not count against a vertex.
    const std::clock_t start = std::clock();
    for (auto _ : state)
        frame();
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["vertices"] =
        static_cast<double>(vertices) / static_cast<double>(state.iterations());
    state.counters["ns_per_vertex"] = seconds * 1e9 / static_cast<double>(vertices);
    state.counters["vertices_per_s"] = static_cast<double>(vertices) / seconds;
    ClearGLEntryPoints();
}

void Elements(benchmark::State& state, void (*make)(TElementList&)) {
    TElementList list;
    make(list);
    BindNothingGL();
    Run(state, [&] { MoveAndDraw(list); });
}

void Batching(benchmark::State& state, void (*make)(TElementList&)) {
    TElementList list;
    make(list);
    BindNothingES();
    BatchingGL layer;
    InstallBatchingGL(layer);
    if (!layer.Create(1920, 1080)) {
        state.SkipWithError("the batching layer was not created");
        return;
    }
    Run(state, [&] {
        MoveAndDraw(list);
        layer.EndFrame();
    });
}

void BM_HeavyPicture(benchmark::State& state) {
    Elements(state, MakeHeavyPicture);
}
BENCHMARK(BM_HeavyPicture);

void BM_DefaultPicture(benchmark::State& state) {
    Elements(state, MakeDefaultPicture);
}
BENCHMARK(BM_DefaultPicture);

void BM_HeavyPictureBatching(benchmark::State& state) {
    Batching(state, MakeHeavyPicture);
}
BENCHMARK(BM_HeavyPictureBatching);

void BM_DefaultPictureBatching(benchmark::State& state) {
    Batching(state, MakeDefaultPicture);
}
BENCHMARK(BM_DefaultPictureBatching);

} // namespace

BENCHMARK_MAIN();
