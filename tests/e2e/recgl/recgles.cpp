// Preloaded into a program that binds OpenGL ES through eglGetProcAddress (the Wayland back end):
// writes to LUMIVEX_RECGLES_FILE each vertex uploaded with glBufferSubData, "x y r g b a", and each
// transform, "transform m0 ... m15", formatted as the recording GL library does so both compare as
// text. Everything else goes to the system's functions unchanged.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using BufferSubData = void (*)(unsigned, long, long, const void*);
using UniformMatrix = void (*)(int, int, unsigned char, const float*);
BufferSubData realBufferSubData = nullptr;
UniformMatrix realUniformMatrix = nullptr;

std::FILE* Out() {
    static std::FILE* file = [] {
        const char* name = std::getenv("LUMIVEX_RECGLES_FILE");
        return name != nullptr ? std::fopen(name, "w") : nullptr;
    }();
    return file;
}

void Write(const char* prefix, const float* v, int count) {
    std::FILE* f = Out();
    std::fputs(prefix, f);
    for (int i = 0; i < count; ++i)
        std::fprintf(f, i == 0 && *prefix == 0 ? "%.9g" : " %.9g", v[i]);
    std::fputc('\n', f);
    std::fflush(f); // a run ended by a signal loses only what it drew last
}

void RecordBufferSubData(unsigned target, long offset, long size, const void* data) {
    for (long at = 0; Out() != nullptr && at + 24 <= size; at += 24) { // six floats a vertex
        float v[6];
        std::memcpy(v, static_cast<const char*>(data) + at, sizeof v);
        Write("", v, 6);
    }
    realBufferSubData(target, offset, size, data);
}

void RecordUniformMatrix(int location, int count, unsigned char transpose, const float* value) {
    if (Out() != nullptr)
        Write("transform", value, 16);
    realUniformMatrix(location, count, transpose, value);
}

template <typename Function> void (*Wrap(void (*found)(), Function& real, Function recording))() {
    real = reinterpret_cast<Function>(found);
    return found != nullptr ? reinterpret_cast<void (*)()>(recording) : nullptr;
}

} // namespace

extern "C" void (*eglGetProcAddress(const char* name))() {
    using ProcAddress = void (*(*)(const char*))();
    static const auto next = reinterpret_cast<ProcAddress>(dlsym(RTLD_NEXT, "eglGetProcAddress"));
    void (*found)() = next != nullptr ? next(name) : nullptr;
    if (std::strcmp(name, "glBufferSubData") == 0)
        return Wrap(found, realBufferSubData, &RecordBufferSubData);
    if (std::strcmp(name, "glUniformMatrix4fv") == 0)
        return Wrap(found, realUniformMatrix, &RecordUniformMatrix);
    return found;
}
