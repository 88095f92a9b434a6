// Preloaded into a program that binds OpenGL ES through eglGetProcAddress (the Wayland back end):
// writes to the file named by LUMIVEX_RECGLES_FILE every vertex uploaded to a buffer, one line
// "x y red green blue alpha" each, and each drawing transform, one line "transform m0 ... m15".
// The vertices come in the order they were given, however the batching layer groups them into
// uploads; the numbers are written as the recording GL library writes them, so the two compare
// as text. Everything else goes to the system's functions unchanged.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using ProcAddress = void (*(*)(const char*))();
using BufferSubData = void (*)(unsigned, long, long, const void*);
using BufferData = void (*)(unsigned, long, const void*, unsigned);
using UniformMatrix = void (*)(int, int, unsigned char, const float*);

BufferSubData realBufferSubData = nullptr;
BufferData realBufferData = nullptr;
UniformMatrix realUniformMatrix = nullptr;

std::FILE* Out() {
    static std::FILE* file = [] {
        const char* name = std::getenv("LUMIVEX_RECGLES_FILE");
        return name != nullptr ? std::fopen(name, "w") : nullptr;
    }();
    return file;
}

// Six floats a vertex, as the batching layer lays them out.
void WriteVertices(const void* data, long size) {
    std::FILE* f = Out();
    if (f == nullptr || data == nullptr)
        return;
    const auto count = static_cast<std::size_t>(size) / (6 * sizeof(float));
    for (std::size_t i = 0; i < count; ++i) {
        float v[6];
        std::memcpy(v, static_cast<const char*>(data) + i * sizeof v, sizeof v);
        std::fprintf(f, "%.9g %.9g %.9g %.9g %.9g %.9g\n", v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    // A run ended by a signal loses only what it drew last.
    std::fflush(f);
}

void RecordBufferSubData(unsigned target, long offset, long size, const void* data) {
    WriteVertices(data, size);
    realBufferSubData(target, offset, size, data);
}

void RecordBufferData(unsigned target, long size, const void* data, unsigned usage) {
    WriteVertices(data, size);
    realBufferData(target, size, data, usage);
}

void RecordUniformMatrix(int location, int count, unsigned char transpose, const float* value) {
    if (std::FILE* f = Out()) {
        std::fprintf(f, "transform");
        for (int i = 0; i < 16; ++i)
            std::fprintf(f, " %.9g", value[i]);
        std::fprintf(f, "\n");
    }
    realUniformMatrix(location, count, transpose, value);
}

// Swaps the system's function for the recording one, keeping the system's to call on.
template <typename Function> void (*Wrap(void (*found)(), Function& real, Function recording))() {
    if (found == nullptr)
        return nullptr;
    real = reinterpret_cast<Function>(found);
    return reinterpret_cast<void (*)()>(recording);
}

} // namespace

extern "C" void (*eglGetProcAddress(const char* name))() {
    static const auto next = reinterpret_cast<ProcAddress>(dlsym(RTLD_NEXT, "eglGetProcAddress"));
    void (*found)() = next != nullptr ? next(name) : nullptr;
    if (std::strcmp(name, "glBufferSubData") == 0)
        return Wrap(found, realBufferSubData, &RecordBufferSubData);
    if (std::strcmp(name, "glBufferData") == 0)
        return Wrap(found, realBufferData, &RecordBufferData);
    if (std::strcmp(name, "glUniformMatrix4fv") == 0)
        return Wrap(found, realUniformMatrix, &RecordUniformMatrix);
    return found;
}
