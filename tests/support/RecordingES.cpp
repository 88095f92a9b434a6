// Recording and silent ES tables, generated from the same list as the table itself.
#include "support/RecordingES.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace lumivex::testing {

namespace {
RecordingES* active = nullptr;
GLuint lastName = 0;
int lastSamples = 0;

template <typename T> double Arg(T value) {
    if constexpr (std::is_arithmetic_v<T>)
        return static_cast<double>(value);
    else
        return 0.0;
}
// Answers through the out-parameters: glGen* names, the shader and program status.
double Arg(GLuint* names) {
    *names = ++lastName;
    return 0.0;
}
double Arg(GLint* status) {
    *status = active == nullptr || active->ShadersCompile ? 1 : 0;
    return 0.0;
}

// What the system answers to the functions that return something.
long Answer(const char* name) {
    if (std::strcmp(name, "glCheckFramebufferStatus") == 0)
        return lastSamples <= (active != nullptr ? active->MaxSamples : 4)
                   ? long{es::FRAMEBUFFER_COMPLETE}
                   : 0;
    if (std::strcmp(name, "glGetUniformLocation") == 0)
        return 7;
    return std::strncmp(name, "glCreate", 8) == 0 ? ++lastName : 0;
}

// Record{name}(arguments...). Logs nothing, and allocates nothing, while no recorder is alive.
struct Record {
    const char* Name;
    template <typename... Args> void operator()(Args... args) const {
        const double values[] = {0.0, Arg(args)...};
        if constexpr (sizeof...(args) == 5) {
            if (std::strcmp(Name, "glRenderbufferStorageMultisample") == 0)
                lastSamples = static_cast<int>(values[2]);
            else if (std::strcmp(Name, "glFramebufferTexture2D") == 0)
                lastSamples = 0;
        }
        if (active != nullptr)
            active->Calls.push_back(GLCall{Name, {values + 1, values + 1 + sizeof...(args)}});
    }
};

#define LUMIVEX_ES_RECORDER(ret, name, params, args)                                               \
    ret LMVX_APIENTRY Record_##name params {                                                       \
        Record{#name} args;                                                                        \
        if constexpr (!std::is_void_v<ret>)                                                        \
            return static_cast<ret>(Answer(#name));                                                \
    }
LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_RECORDER)
#undef LUMIVEX_ES_RECORDER

void LMVX_APIENTRY Upload(GLenum target, GLintptr offset, GLsizeiptr size, const void* data) {
    Record{"glBufferSubData"}(target, offset, size, data);
    if (active != nullptr) {
        const auto* floats = static_cast<const float*>(data);
        active->Uploads.emplace_back(floats,
                                     floats + size / static_cast<GLsizeiptr>(sizeof(float)));
    }
}

void LMVX_APIENTRY Transform(GLint location, GLsizei count, GLboolean transpose,
                             const GLfloat* value) {
    Record{"glUniformMatrix4fv"}(location, count, transpose, value);
    if (active != nullptr)
        std::copy(value, value + 16, active->Transform);
}

void BindRecorder() {
#define LUMIVEX_ES_BIND_RECORDER(ret, name, params, args) ES.name = &Record_##name;
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_BIND_RECORDER)
#undef LUMIVEX_ES_BIND_RECORDER
    ES.glBufferSubData = &Upload;
    ES.glUniformMatrix4fv = &Transform;
}
} // namespace

RecordingES::RecordingES() : saved_(ES) {
    assert(active == nullptr && "one RecordingES at a time");
    active = this;
    lastName = 0;
    lastSamples = 0;
    BindRecorder();
}

RecordingES::~RecordingES() {
    ES = saved_;
    active = nullptr;
}

std::size_t RecordingES::Count(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(
        Calls.begin(), Calls.end(), [&](const GLCall& call) { return call.Name == name; }));
}

std::vector<GLCall> RecordingES::Only(const std::string& name) const {
    std::vector<GLCall> selected;
    std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(selected),
                 [&](const GLCall& call) { return call.Name == name; });
    return selected;
}

ESEntryPoints BindSilentES() {
    const ESEntryPoints previous = ES;
    BindRecorder();
    return previous;
}

} // namespace lumivex::testing
