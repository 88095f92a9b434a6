// Cost of the element engine alone: one Move and one Draw of every element of a picture into a
// GL table whose functions do nothing but count vertices. Reported per emitted vertex.
//
//   heavy:   ten elements, one of each kind, 72 reflections, full-screen tiling
//   default: three elements (a line, a Bezier, a circle), 12 reflections
#include "elements/ElementsGL_.h"
#include "gl/OpenGL12.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>

using namespace lumivex;

namespace {
std::int64_t vertices = 0;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define LUMIVEX_GL_NOTHING(ret, name, params, args)                                                \
    ret LMVX_APIENTRY Nothing_##name params {                                                      \
        return ret();                                                                              \
    }
LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_NOTHING)
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

void Configure(TElement& element, TNumOfReflections reflections, bool fullScreen, bool alpha) {
    element.SetAlpha(alpha);
    element.SetNumOfReflections(reflections);
    element.SetFullScreen(fullScreen);
    element.Prepare();
}

void RunPicture(benchmark::State& state, TElementList& list) {
    BindNothingGL();
    vertices = 0;
    // Processor time, so that other work on a busy machine does not count against a vertex.
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        for (std::int32_t i = 0; i < list.Count(); ++i)
            list.Get(i)->Move();
        for (std::int32_t i = 0; i < list.Count(); ++i)
            list.Get(i)->Draw();
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["vertices"] =
        static_cast<double>(vertices) / static_cast<double>(state.iterations());
    state.counters["ns_per_vertex"] = seconds * 1e9 / static_cast<double>(vertices);
    ClearGLEntryPoints();
}

void BM_HeavyPicture(benchmark::State& state) {
    SetRandSeed(20240601);
    TElementList list;
    list.Add(new TLine);
    list.Add(new TLine2);
    list.Add(new TLine3);
    list.Add(new TBezier);
    list.Add(new TBezier2);
    list.Add(new TCircle);
    list.Add(new TCircle2);
    list.Add(new TCircle3);
    list.Add(new TTriangle);
    list.Add(new TTriangle2);
    for (std::int32_t i = 0; i < list.Count(); ++i)
        Configure(*list.Get(i), 72, true, true);
    RunPicture(state, list);
}
BENCHMARK(BM_HeavyPicture);

void BM_DefaultPicture(benchmark::State& state) {
    SetRandSeed(20240601);
    TElementList list;
    list.Add(new TLine);
    list.Add(new TBezier);
    list.Add(new TCircle);
    for (std::int32_t i = 0; i < list.Count(); ++i)
        Configure(*list.Get(i), 12, false, false);
    RunPicture(state, list);
}
BENCHMARK(BM_DefaultPicture);

} // namespace

BENCHMARK_MAIN();
