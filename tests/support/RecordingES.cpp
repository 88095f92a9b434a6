// The recording ES table, generated from the same list as the table itself.
#include "support/RecordingES.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <type_traits>

namespace lumivex::testing {

namespace {
RecordingES* active = nullptr;
GLuint lastName = 0;
int attachedSamples = 0;
double textureSide = 0;  // the longest side of the last texture image
double attachedSide = 0; // and of what the framebuffer checked last has attached

template <typename T> double Arg(T value) {
    if constexpr (std::is_arithmetic_v<T>)
        return static_cast<double>(value);
    else
        return 0.0;
}
// The out-parameters: glGen* names, the shader and program status.
double Arg(GLuint* names) {
    *names = ++lastName;
    return 0.0;
}
double Arg(GLint* status) {
    *status = active->ShadersCompile ? 1 : 0;
    return 0.0;
}

// What the functions that return something answer.
long Answer(const char* name) {
    if (std::strcmp(name, "glCheckFramebufferStatus") == 0)
        return attachedSamples <= active->MaxSamples && attachedSide <= active->MaxSize
                   ? long{es::FRAMEBUFFER_COMPLETE}
                   : 0;
    return std::strncmp(name, "glCreate", 8) == 0 ? ++lastName : 7; // 7: a uniform location
}

// Record{name}(arguments...)
struct Record {
    const char* Name;
    template <typename... Args> void operator()(Args... args) const {
        const double values[] = {0.0, Arg(args)...};
        if constexpr (sizeof...(args) == 5) {
            if (std::strcmp(Name, "glRenderbufferStorageMultisample") == 0) {
                attachedSamples = static_cast<int>(values[2]);
                attachedSide = std::max(values[4], values[5]);
            } else if (std::strcmp(Name, "glFramebufferTexture2D") == 0) {
                attachedSamples = 0;
                attachedSide = textureSide;
            }
        }
        if constexpr (sizeof...(args) == 9)
            textureSide = std::max(values[4], values[5]); // glTexImage2D
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
    Record_glBufferSubData(target, offset, size, data);
    const auto* floats = static_cast<const float*>(data);
    active->Uploaded.insert(active->Uploaded.end(), floats, floats + size / 4);
}

void LMVX_APIENTRY KeepTransform(GLint location, GLsizei count, GLboolean transpose,
                                 const GLfloat* value) {
    Record_glUniformMatrix4fv(location, count, transpose, value);
    std::copy(value, value + 16, active->Transform);
}
} // namespace

RecordingES::RecordingES() : saved_(ES) {
    assert(active == nullptr && "one RecordingES at a time");
    active = this;
    lastName = 0;
    attachedSamples = 0;
#define LUMIVEX_ES_BIND_RECORDER(ret, name, params, args) ES.name = &Record_##name;
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_BIND_RECORDER)
#undef LUMIVEX_ES_BIND_RECORDER
    ES.glBufferSubData = &Upload;
    ES.glUniformMatrix4fv = &KeepTransform;
}

RecordingES::~RecordingES() {
    ES = saved_;
    active = nullptr;
}

std::vector<GLCall> RecordingES::Of(std::initializer_list<std::string> names) const {
    std::vector<GLCall> selected;
    for (const GLCall& call : Calls)
        if (std::find(names.begin(), names.end(), call.Name) != names.end())
            selected.push_back(call);
    return selected;
}

} // namespace lumivex::testing
