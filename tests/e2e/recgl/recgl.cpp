// A stand-in GL library that implements only the drawing functions the saver calls and writes
// every call, one per line, to the file named by LUMIVEX_RECGL_FILE. It has no GLX functions, so
// the saver must take its context functions from the system's GL library. The file is made as
// soon as the library is loaded.
#include <cstdio>
#include <cstdlib>

namespace {

// Opened once the variable is set: a driver linked with the library sets it after start-up.
std::FILE* Out() {
    static std::FILE* file = nullptr;
    if (file == nullptr)
        if (const char* name = std::getenv("LUMIVEX_RECGL_FILE"))
            file = std::fopen(name, "w");
    return file;
}

// The file appears as the library is loaded, before any call: a test sees whether it ran at all.
[[gnu::constructor]] void Loaded() {
    Out();
}

} // namespace

extern "C" {

// A line of the driver's own between the calls (the stream comparison of the web tests marks its
// frames with it).
void recgl_note(const char* text) {
    if (std::FILE* f = Out())
        std::fprintf(f, "%s\n", text);
}

void glViewport(int x, int y, int w, int h) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glViewport %d %d %d %d\n", x, y, w, h);
}
void glMatrixMode(unsigned mode) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glMatrixMode %#x\n", mode);
}
void glLoadIdentity() {
    if (std::FILE* f = Out())
        std::fprintf(f, "glLoadIdentity\n");
}
void glOrtho(double l, double r, double b, double t, double n, double fa) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glOrtho %.17g %.17g %.17g %.17g %.17g %.17g\n", l, r, b, t, n, fa);
}
void glClearColor(float r, float g, float b, float a) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glClearColor %.9g %.9g %.9g %.9g\n", r, g, b, a);
}
void glClear(unsigned mask) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glClear %#x\n", mask);
}
void glFlush() {
    if (std::FILE* f = Out()) {
        std::fprintf(f, "glFlush\n");
        std::fflush(f);
    }
}
void glEnable(unsigned cap) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glEnable %#x\n", cap);
}
void glBlendFunc(unsigned s, unsigned d) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glBlendFunc %#x %#x\n", s, d);
}
void glHint(unsigned target, unsigned mode) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glHint %#x %#x\n", target, mode);
}
void glLineWidth(float width) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glLineWidth %.9g\n", width);
}
void glBegin(unsigned mode) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glBegin %#x\n", mode);
}
void glColor4f(float r, float g, float b, float a) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glColor4f %.9g %.9g %.9g %.9g\n", r, g, b, a);
}
void glVertex2f(float x, float y) {
    if (std::FILE* f = Out())
        std::fprintf(f, "glVertex2f %.9g %.9g\n", x, y);
}
void glEnd() {
    if (std::FILE* f = Out())
        std::fprintf(f, "glEnd\n");
}

} // extern "C"
