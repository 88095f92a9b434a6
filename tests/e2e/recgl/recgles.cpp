// Preloaded into a program that binds OpenGL ES through eglGetProcAddress (the Wayland back end):
// writes to LUMIVEX_RECGLES_FILE each vertex uploaded with glBufferSubData as the recording GL
// library writes it, "glColor4f r g b a" then "glVertex2f x y". Everything else goes to the
// system's functions unchanged.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using BufferSubData = void (*)(unsigned, long, long, const void*);
BufferSubData realBufferSubData = nullptr;

void RecordBufferSubData(unsigned target, long offset, long size, const void* data) {
    static std::FILE* out = [] {
        const char* name = std::getenv("LUMIVEX_RECGLES_FILE");
        return name != nullptr ? std::fopen(name, "w") : nullptr;
    }();
    for (long at = 0; out != nullptr && at + 24 <= size; at += 24) { // x y r g b a
        float v[6];
        std::memcpy(v, static_cast<const char*>(data) + at, sizeof v);
        std::fprintf(out, "glColor4f %.9g %.9g %.9g %.9g\nglVertex2f %.9g %.9g\n", v[2], v[3], v[4],
                     v[5], v[0], v[1]);
        std::fflush(out); // a run ended by a signal loses only what it drew last
    }
    realBufferSubData(target, offset, size, data);
}

} // namespace

extern "C" void (*eglGetProcAddress(const char* name))() {
    using ProcAddress = void (*(*)(const char*))();
    static const auto next = reinterpret_cast<ProcAddress>(dlsym(RTLD_NEXT, "eglGetProcAddress"));
    void (*found)() = next != nullptr ? next(name) : nullptr;
    if (found == nullptr || std::strcmp(name, "glBufferSubData") != 0)
        return found;
    realBufferSubData = reinterpret_cast<BufferSubData>(found);
    return reinterpret_cast<void (*)()>(&RecordBufferSubData);
}
