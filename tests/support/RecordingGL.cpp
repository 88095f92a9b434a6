// Recording and silent GL tables for the unit tests. The recorder functions are generated from
// the same list as the table itself, so a new entry point is recorded without further work.
#include "support/RecordingGL.h"

#include <algorithm>
#include <cassert>
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

GLEntryPoints BindSilentGL() {
    const GLEntryPoints previous = GL;
#define LUMIVEX_GL_BIND_SILENT(ret, name, params, args) GL.name = &Silent_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_BIND_SILENT)
#undef LUMIVEX_GL_BIND_SILENT
    return previous;
}

} // namespace lumivex::testing
