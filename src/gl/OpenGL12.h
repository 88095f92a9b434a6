// OpenGL entry points of the program, bound by name at run time, and the library loader.
//
// Nothing links against libGL or opengl32: LoadOpenGL opens the GL and GLU libraries by name
// through the platform and binds one pointer per function listed in LUMIVEX_GL_FUNCTIONS.
// The same list expands into the table's fields and into the names to bind, so the two cannot
// drift apart. Tests bind a table of their own (a recorder, or do-nothing functions).
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32) && !defined(_WIN64)
#define LMVX_APIENTRY __attribute__((stdcall))
#else
#define LMVX_APIENTRY
#endif

namespace lumivex {

using GLenum = unsigned int;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLfloat = float;
using GLdouble = double;
using GLclampf = float;

enum : GLenum {
    GL_LINES = 0x0001,
    GL_SRC_ALPHA = 0x0302,
    GL_ONE_MINUS_SRC_ALPHA = 0x0303,
    GL_LINE_SMOOTH = 0x0B20,
    GL_BLEND = 0x0BE2,
    GL_LINE_SMOOTH_HINT = 0x0C52,
    GL_NICEST = 0x1102,
    GL_MODELVIEW = 0x1700,
    GL_PROJECTION = 0x1701,
    GL_DEPTH_BUFFER_BIT = 0x0100,
    GL_COLOR_BUFFER_BIT = 0x4000,
};

// X(return type, name, parameter list, argument list)
#define LUMIVEX_GL_FUNCTIONS(X)                                                                    \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))  \
    X(void, glMatrixMode, (GLenum mode), (mode))                                                   \
    X(void, glLoadIdentity, (), ())                                                                \
    X(void, glOrtho,                                                                               \
      (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,               \
       GLdouble zFar),                                                                             \
      (left, right, bottom, top, zNear, zFar))                                                     \
    X(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha),           \
      (red, green, blue, alpha))                                                                   \
    X(void, glClear, (GLbitfield mask), (mask))                                                    \
    X(void, glFlush, (), ())                                                                       \
    X(void, glEnable, (GLenum cap), (cap))                                                         \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                     \
    X(void, glHint, (GLenum target, GLenum mode), (target, mode))                                  \
    X(void, glLineWidth, (GLfloat width), (width))                                                 \
    X(void, glBegin, (GLenum mode), (mode))                                                        \
    X(void, glColor4f, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha),                  \
      (red, green, blue, alpha))                                                                   \
    X(void, glVertex2f, (GLfloat x, GLfloat y), (x, y))                                            \
    X(void, glEnd, (), ())

// What every entry-point list expands into (this one, and the ES list of the batching layer): a
// table field per function, empty until bound, and the binding of that field of `table` through
// `lookup` (name -> address), noted in `missing` when the name is not found.
// NOLINTBEGIN(bugprone-macro-parentheses): a declarator and a parameter list, not values
#define LUMIVEX_ENTRY_POINT_FIELD(ret, name, params, args)                                         \
    ret(LMVX_APIENTRY* name) params = nullptr;
// NOLINTEND(bugprone-macro-parentheses)
#define LUMIVEX_ENTRY_POINT_BIND(ret, name, params, args)                                          \
    table.name = reinterpret_cast<decltype(table.name)>(lookup(#name));                            \
    if (table.name == nullptr)                                                                     \
        missing.emplace_back(#name);

// One pointer per GL function.
struct GLEntryPoints {
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_ENTRY_POINT_FIELD)
};

// The process-wide table every drawing call goes through.
extern GLEntryPoints GL;

// Names of every entry point in table order.
const std::vector<const char*>& GLFunctionNames();

// Binds every entry point with `lookup` (name -> address); returns the names that were missing.
// Missing entries are left empty.
template <typename Lookup> std::vector<std::string> BindGLEntryPoints(Lookup&& lookup) {
    GLEntryPoints& table = GL;
    std::vector<std::string> missing;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_ENTRY_POINT_BIND)
    return missing;
}

void ClearGLEntryPoints();

// Libraries loaded by LoadOpenGL; nullptr when none.
extern LibraryHandle GLLibrary;
extern LibraryHandle GLULibrary;

// Loads both libraries and binds the entry points; false (and nothing loaded) on failure.
bool LoadOpenGL(const std::string& glName, const std::string& gluName);
// True when both libraries are loaded, otherwise loads the system's default pair.
bool EnsureOpenGL();
// Releases both libraries (if loaded) and empties every entry point.
void CloseOpenGL();

// A failed platform call while making the rendering context, told in the system's own terms.
class EPlatformError : public std::runtime_error {
  public:
    EPlatformError(std::uint32_t code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    std::uint32_t Code() const { return code_; }

  private:
    std::uint32_t code_;
};

// The Windows form of it, with the system's code and its text for it.
class EWin32Error : public EPlatformError {
  public:
    EWin32Error(std::uint32_t code, const std::string& systemText);
};

// "Win32 Error.  Code: %d.\n%s", or "A Win32 API function failed" for code 0.
std::string Win32ErrorMessage(std::uint32_t code, const std::string& systemText);

} // namespace lumivex
