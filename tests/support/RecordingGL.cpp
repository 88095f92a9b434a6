// Recording and silent GL tables for the unit tests. The recorder functions are generated from
// the same list as the table itself, so a new entry point is recorded without further work.
#include "support/RecordingGL.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iterator>
#include <utility>

namespace lumivex::testing {

namespace {
RecordingGL* activeRecorder = nullptr;

template <typename... Args> std::vector<double> ArgList(Args... args) {
    return {static_cast<double>(args)...};
}

#define LUMIVEX_GL_RECORDER(ret, name, params, args)                                               \
    ret LMVX_APIENTRY Record_##name params {                                                       \
        RecordGLCall(#name, ArgList args);                                                         \
        return ret();                                                                              \
    }
#define LUMIVEX_GL_SILENT(ret, name, params, args)                                                 \
    ret LMVX_APIENTRY Silent_##name params {                                                       \
        return ret();                                                                              \
    }
} // namespace

void RecordGLCall(const char* name, std::vector<double> args) {
    if (activeRecorder != nullptr)
        activeRecorder->calls_.push_back(GLCall{name, std::move(args)});
}

namespace {
// Unused parameters are the point of the silent table.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_RECORDER)
LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_SILENT)
#pragma GCC diagnostic pop
} // namespace

RecordingGL::RecordingGL() : saved_(GL) {
    assert(activeRecorder == nullptr && "one RecordingGL at a time");
    activeRecorder = this;
#define LUMIVEX_GL_BIND_RECORDER(ret, name, params, args) GL.name = &Record_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_BIND_RECORDER)
#undef LUMIVEX_GL_BIND_RECORDER
}

RecordingGL::~RecordingGL() {
    GL = saved_;
    activeRecorder = nullptr;
}

std::vector<std::string> RecordingGL::Names() const {
    std::vector<std::string> names;
    names.reserve(calls_.size());
    for (const GLCall& call : calls_)
        names.push_back(call.Name);
    return names;
}

std::size_t RecordingGL::Count(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(), [&](const GLCall& call) { return call.Name == name; }));
}

std::vector<GLCall> RecordingGL::Only(const std::string& name) const {
    std::vector<GLCall> selected;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(selected),
                 [&](const GLCall& call) { return call.Name == name; });
    return selected;
}

std::vector<GLCall> RecordingGL::Before(const std::string& name) const {
    const auto end = std::find_if(calls_.begin(), calls_.end(),
                                  [&](const GLCall& call) { return call.Name == name; });
    return {calls_.begin(), end};
}

::testing::AssertionResult StreamAt(const std::vector<GLCall>& calls, std::size_t from,
                                    const std::vector<GLCall>& expected) {
    // Some eight float ulps: far below any distance between two vertices or colours a test picks.
    constexpr double tolerance = 1e-6;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::size_t at = from + i;
        if (at >= calls.size())
            return ::testing::AssertionFailure() << "the stream ends at call " << at;
        const GLCall& actual = calls[at];
        bool same =
            actual.Name == expected[i].Name && actual.Args.size() == expected[i].Args.size();
        for (std::size_t k = 0; same && k < actual.Args.size(); ++k) {
            const double want = expected[i].Args[k];
            same = std::fabs(actual.Args[k] - want) <= tolerance * std::fmax(1.0, std::fabs(want));
        }
        if (!same) {
            ::testing::AssertionResult failure = ::testing::AssertionFailure();
            failure << "call " << at << " is " << actual.Name << "(";
            for (double arg : actual.Args)
                failure << arg << " ";
            failure << "), expected " << expected[i].Name << "(";
            for (double arg : expected[i].Args)
                failure << arg << " ";
            return failure << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TiledAt(const std::vector<GLCall>& calls, std::size_t from,
                                   const std::vector<GLCall>& group,
                                   const std::vector<GLCall>& next) {
    const auto atFirstTiles = [](const std::vector<GLCall>& calls) {
        std::vector<GLCall> tiled;
        for (int tile = 0; tile < 3; ++tile)
            for (GLCall call : calls) {
                if (call.Name == "glVertex2f")
                    call.Args[0] += tile * 0.87 * 38.197186;
                tiled.push_back(call);
            }
        return tiled;
    };
    ::testing::AssertionResult first = StreamAt(calls, from, atFirstTiles(group));
    return first ? StreamAt(calls, from + 28 * group.size(), atFirstTiles(next)) : first;
}

GLEntryPoints BindSilentGL() {
    const GLEntryPoints previous = GL;
#define LUMIVEX_GL_BIND_SILENT(ret, name, params, args) GL.name = &Silent_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_BIND_SILENT)
#undef LUMIVEX_GL_BIND_SILENT
    return previous;
}

} // namespace lumivex::testing
