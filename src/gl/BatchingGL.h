// The fifteen GL entry points of the program over OpenGL ES 3.0 (WebGL 2), for systems that have
// no immediate mode.
//
// glBegin/glColor4f/glVertex2f/glEnd are collected, each vertex with the colour current when it
// was given, into one buffer allocated at construction; each run of vertices drawn with the same
// primitive and state goes out as one glDrawArrays. A run ends when the state really changes
// (the elements set the same state before every glBegin, which costs nothing), at glClear, when
// the buffer is full (between whole primitives) and at EndFrame. glFlush ends nothing: every
// element ends its Draw with one, and a draw call per element is what batching avoids.
//
// glOrtho, glLoadIdentity and glMatrixMode keep the projection and modelview matrices as the
// fixed-function pipeline does; their product goes to the shader, which transforms the vertices,
// so the floats handed to the ES side are exactly the ones the caller gave. The picture is drawn
// into an offscreen framebuffer that only glClear clears; EndFrame presents it to the default
// framebuffer. GL_LINE_SMOOTH and glHint are accepted and change nothing (ES has no line
// smoothing; a multisampled target smooths every edge instead); glLineWidth goes to the ES side,
// which clamps it to the widths it supports (1 on most WebGL implementations).
//
// The ES calls go through the process-wide table `ES`, bound by the back end (the browser's
// GLES3 functions) or by tests (a recorder). Points, lines and triangles are drawn; glBegin with
// another mode is accepted and draws nothing.
#pragma once

#include "gl/OpenGL12.h"

#include <cstddef>
#include <string>
#include <vector>

namespace lumivex {

using GLuint = unsigned int;
using GLboolean = unsigned char;
using GLchar = char;
using GLsizeiptr = long;
using GLintptr = long;

// ES constants the layer and its tests use. No GL_ prefix: a file that binds the table also
// includes the system's GLES header, which defines those names as macros.
namespace es {
enum : GLenum {
    POINTS = 0x0000,
    LINES = 0x0001,
    TRIANGLES = 0x0004,
    ZERO = 0,
    ONE = 1,
    BLEND = 0x0BE2,
    TEXTURE_2D = 0x0DE1,
    UNSIGNED_BYTE = 0x1401,
    FLOAT = 0x1406,
    RGBA = 0x1908,
    NEAREST = 0x2600,
    TEXTURE_MIN_FILTER = 0x2801,
    COLOR_BUFFER_BIT = 0x4000,
    RGBA8 = 0x8058,
    ARRAY_BUFFER = 0x8892,
    DYNAMIC_DRAW = 0x88E8,
    FRAGMENT_SHADER = 0x8B30,
    VERTEX_SHADER = 0x8B31,
    COMPILE_STATUS = 0x8B81,
    LINK_STATUS = 0x8B82,
    READ_FRAMEBUFFER = 0x8CA8,
    DRAW_FRAMEBUFFER = 0x8CA9,
    FRAMEBUFFER_COMPLETE = 0x8CD5,
    COLOR_ATTACHMENT0 = 0x8CE0,
    FRAMEBUFFER = 0x8D40,
    RENDERBUFFER = 0x8D41,
};
} // namespace es

// X(return type, name, parameter list, argument list); the signatures are those of <GLES3/gl3.h>.
#define LUMIVEX_ES_FUNCTIONS(X)                                                                    \
    X(GLuint, glCreateShader, (GLenum type), (type))                                               \
    X(void, glShaderSource,                                                                        \
      (GLuint shader, GLsizei count, const GLchar* const* string, const GLint* length),            \
      (shader, count, string, length))                                                             \
    X(void, glCompileShader, (GLuint shader), (shader))                                            \
    X(void, glGetShaderiv, (GLuint shader, GLenum pname, GLint * params), (shader, pname, params)) \
    X(void, glDeleteShader, (GLuint shader), (shader))                                             \
    X(GLuint, glCreateProgram, (), ())                                                             \
    X(void, glAttachShader, (GLuint program, GLuint shader), (program, shader))                    \
    X(void, glLinkProgram, (GLuint program), (program))                                            \
    X(void, glGetProgramiv, (GLuint program, GLenum pname, GLint * params),                        \
      (program, pname, params))                                                                    \
    X(void, glUseProgram, (GLuint program), (program))                                             \
    X(GLint, glGetUniformLocation, (GLuint program, const GLchar* name), (program, name))          \
    X(void, glUniformMatrix4fv,                                                                    \
      (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value),                  \
      (location, count, transpose, value))                                                         \
    X(void, glGenBuffers, (GLsizei n, GLuint * buffers), (n, buffers))                             \
    X(void, glBindBuffer, (GLenum target, GLuint buffer), (target, buffer))                        \
    X(void, glBufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage),        \
      (target, size, data, usage))                                                                 \
    X(void, glBufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, const void* data),  \
      (target, offset, size, data))                                                                \
    X(void, glVertexAttribPointer,                                                                 \
      (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,                \
       const void* pointer),                                                                       \
      (index, size, type, normalized, stride, pointer))                                            \
    X(void, glEnableVertexAttribArray, (GLuint index), (index))                                    \
    X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))         \
    X(void, glGenTextures, (GLsizei n, GLuint * textures), (n, textures))                          \
    X(void, glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures))                  \
    X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))                     \
    X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))   \
    X(void, glTexImage2D,                                                                          \
      (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,            \
       GLint border, GLenum format, GLenum type, const void* pixels),                              \
      (target, level, internalformat, width, height, border, format, type, pixels))                \
    X(void, glGenRenderbuffers, (GLsizei n, GLuint * renderbuffers), (n, renderbuffers))           \
    X(void, glDeleteRenderbuffers, (GLsizei n, const GLuint* renderbuffers), (n, renderbuffers))   \
    X(void, glBindRenderbuffer, (GLenum target, GLuint renderbuffer), (target, renderbuffer))      \
    X(void, glRenderbufferStorageMultisample,                                                      \
      (GLenum target, GLsizei samples, GLenum internalformat, GLsizei width, GLsizei height),      \
      (target, samples, internalformat, width, height))                                            \
    X(void, glGenFramebuffers, (GLsizei n, GLuint * framebuffers), (n, framebuffers))              \
    X(void, glDeleteFramebuffers, (GLsizei n, const GLuint* framebuffers), (n, framebuffers))      \
    X(void, glBindFramebuffer, (GLenum target, GLuint framebuffer), (target, framebuffer))         \
    X(void, glFramebufferTexture2D,                                                                \
      (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level),           \
      (target, attachment, textarget, texture, level))                                             \
    X(void, glFramebufferRenderbuffer,                                                             \
      (GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer),          \
      (target, attachment, renderbuffertarget, renderbuffer))                                      \
    X(GLenum, glCheckFramebufferStatus, (GLenum target), (target))                                 \
    X(void, glBlitFramebuffer,                                                                     \
      (GLint srcX0, GLint srcY0, GLint srcX1, GLint srcY1, GLint dstX0, GLint dstY0, GLint dstX1,  \
       GLint dstY1, GLbitfield mask, GLenum filter),                                               \
      (srcX0, srcY0, srcX1, srcY1, dstX0, dstY0, dstX1, dstY1, mask, filter))                      \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))  \
    X(void, glClearColor, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha),               \
      (red, green, blue, alpha))                                                                   \
    X(void, glClear, (GLbitfield mask), (mask))                                                    \
    X(void, glEnable, (GLenum cap), (cap))                                                         \
    X(void, glDisable, (GLenum cap), (cap))                                                        \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                     \
    X(void, glLineWidth, (GLfloat width), (width))

// One pointer per ES function; empty until bound.
struct ESEntryPoints {
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ENTRY_POINT_FIELD)
};

// The ES functions the batching layer draws with.
extern ESEntryPoints ES;

// Binds every ES entry point with `lookup` (name -> address); returns the names that were missing.
template <typename Lookup> std::vector<std::string> BindESEntryPoints(Lookup&& lookup) {
    ESEntryPoints& table = ES;
    std::vector<std::string> missing;
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ENTRY_POINT_BIND)
    return missing;
}

class BatchingGL {
  public:
    // Vertices held before a run is drawn: 1.5 MB, a multiple of two and three so that a full
    // buffer always ends on a whole line or triangle.
    static constexpr std::size_t DefaultCapacity = std::size_t{6} * 10922;

    explicit BatchingGL(std::size_t capacity = DefaultCapacity);
    BatchingGL(const BatchingGL&) = delete;
    BatchingGL& operator=(const BatchingGL&) = delete;

    // Makes the shaders, the vertex buffer and a width x height offscreen target with `samples`
    // samples a pixel (0: none; a count the system refuses falls back to none). False, with
    // Error() saying why, when the ES side cannot; the layer then draws nothing. Called once,
    // and again only through ContextRestored, when the old objects went with the old context.
    bool Create(int width, int height, int samples = 0);
    // A new drawing area: the target is made again at the new size, cleared to the clear colour.
    // A size the system refuses leaves the layer not ready, with Error() saying why, until a
    // later Resize to a size it makes.
    void Resize(int width, int height);
    // Draws what is pending and shows the picture on the default framebuffer. Call once an
    // animation frame, outside glBegin/glEnd.
    void EndFrame();
    // For a picture shown in parts (one part a surface, each with its own default framebuffer):
    // Resolve draws what is pending into the picture, once a frame; Present then copies the part
    // whose lower left corner is at (left, bottom) of the picture over the whole default
    // framebuffer of the current surface, which must be width x height. Nothing is read from
    // that framebuffer, so whatever the previous swap left in it does not matter. What of the
    // part lies outside the picture shows the clear colour.
    void Resolve();
    void Present(int left, int bottom, int width, int height);
    // Draws what is pending into the picture now (outside glBegin/glEnd), for a caller that has
    // the system draw each frame as it comes rather than all at the next Resolve.
    void Submit() {
        if (!inBegin_)
            Flush();
    }
    // The context is gone with every object in it: forget them; nothing is drawn until
    // ContextRestored makes them again (as Create did, at the current size).
    void ContextLost();
    bool ContextRestored();

    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }
    int Samples() const { return samples_; }

    // The fifteen entry points, with the behaviour of the fixed-function pipeline.
    void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void glMatrixMode(GLenum mode);
    void glLoadIdentity();
    void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                 GLdouble zFar);
    void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
    void glClear(GLbitfield mask);
    void glFlush() {}
    void glEnable(GLenum cap);
    void glBlendFunc(GLenum sfactor, GLenum dfactor);
    void glHint(GLenum target, GLenum mode);
    void glLineWidth(GLfloat width);
    void glBegin(GLenum mode);
    void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
        color_ = {red, green, blue, alpha};
    }
    void glVertex2f(GLfloat x, GLfloat y) {
        if (unit_ == 0)
            return; // outside glBegin/glEnd, or a mode that draws nothing
        if (count_ == vertices_.size())
            Flush();
        vertices_[count_++] = {x, y, color_};
    }
    void glEnd();

  private:
    struct Color {
        GLfloat Red, Green, Blue, Alpha;
    };
    struct Vertex {
        GLfloat X, Y;
        Color Rgba;
    };
    // What a run is drawn with, beyond its primitive and the matrix.
    struct DrawState {
        bool Blend = false;
        GLenum Source = es::ONE, Destination = es::ZERO;
        GLfloat LineWidth = 1.0f;
    };
    using Matrix = GLdouble[16]; // column by column, as GL keeps it

    void Flush();
    void Apply();
    bool MakeTarget();
    void ForgetObjects();
    void Fail(const char* why);
    void UseProgram(GLuint program);
    void BindFramebuffer(GLuint framebuffer);

    std::vector<Vertex> vertices_;
    std::size_t count_ = 0;
    std::size_t primitiveStart_ = 0; // first vertex of the open glBegin not yet drawn
    std::size_t unit_ = 0;           // vertices a primitive of the open glBegin, 0 when none
    bool inBegin_ = false;
    GLenum mode_ = es::LINES; // primitive of the pending run
    Color color_ = {1.0f, 1.0f, 1.0f, 1.0f};

    DrawState state_;      // as the caller set it
    DrawState drawnState_; // as the ES side has it
    Matrix projection_ = {};
    Matrix modelview_ = {};
    bool projectionMode_ = false;
    bool matrixChanged_ = true;
    GLint viewport_[4] = {0, 0, 0, 0};
    bool viewportChanged_ = true;
    Color clearColor_ = {0.0f, 0.0f, 0.0f, 0.0f};

    bool ready_ = false;
    std::string error_;
    int width_ = 1, height_ = 1, samples_ = 0, askedSamples_ = 0;
    GLuint lineProgram_ = 0, presentProgram_ = 0, buffer_ = 0;
    GLint transformLocation_ = -1;
    GLuint texture_ = 0, textureFramebuffer_ = 0;       // the picture as presented
    GLuint samplesBuffer_ = 0, samplesFramebuffer_ = 0; // the multisampled picture, if any
    GLuint usedProgram_ = 0, boundFramebuffer_ = 0;
};

// Points the process-wide GL table at `layer`'s entry points (one layer at a time).
void InstallBatchingGL(BatchingGL& layer);
// The layer's entry point called `name` (one of the fifteen), or nullptr, for a loader that
// binds by name; it draws through the layer installed last.
void* BatchingGLProcAddress(const char* name);

} // namespace lumivex
