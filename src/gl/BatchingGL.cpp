// The fifteen GL entry points batched over OpenGL ES 3.0.
#include "gl/BatchingGL.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace lumivex {

ESEntryPoints ES;

namespace {

// Attribute locations of the line program, fixed in its source.
constexpr GLuint PositionAttribute = 0;
constexpr GLuint ColorAttribute = 1;
// Read and draw bindings differ (after a resolve): the next bind is made whatever it binds.
constexpr GLuint NoFramebuffer = ~0u;

const char* const LineVertexShader = R"(#version 300 es
layout(location = 0) in vec2 position;
layout(location = 1) in vec4 color;
uniform mat4 transform;
out vec4 vertexColor;
void main() {
    vertexColor = color;
    gl_Position = transform * vec4(position, 0.0, 1.0);
    gl_PointSize = 1.0;
}
)";

const char* const LineFragmentShader = R"(#version 300 es
precision mediump float;
in vec4 vertexColor;
out vec4 fragColor;
void main() {
    fragColor = vertexColor;
}
)";

// One triangle over the whole target, from the vertex number alone.
const char* const PresentVertexShader = R"(#version 300 es
void main() {
    gl_Position = vec4(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0,
                       0.0, 1.0);
}
)";

// Pixel for pixel; the picture's alpha is what blending left there, not a transparency of the
// page, so the canvas gets opaque pixels.
const char* const PresentFragmentShader = R"(#version 300 es
precision mediump float;
uniform sampler2D picture;
out vec4 fragColor;
void main() {
    fragColor = vec4(texelFetch(picture, ivec2(gl_FragCoord.xy), 0).rgb, 1.0);
}
)";

void SetIdentity(GLdouble* m) {
    std::fill(m, m + 16, 0.0);
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

// a := a x b, both column by column.
void MultiplyInto(GLdouble* a, const GLdouble* b) {
    GLdouble product[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            GLdouble sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            product[column * 4 + row] = sum;
        }
    std::copy(product, product + 16, a);
}

GLuint CompileShader(GLenum type, const char* source) {
    const GLuint shader = ES.glCreateShader(type);
    ES.glShaderSource(shader, 1, &source, nullptr);
    ES.glCompileShader(shader);
    GLint compiled = 0;
    ES.glGetShaderiv(shader, es::COMPILE_STATUS, &compiled);
    if (compiled == 0) {
        ES.glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint LinkProgram(const char* vertexSource, const char* fragmentSource) {
    const GLuint vertex = CompileShader(es::VERTEX_SHADER, vertexSource);
    const GLuint fragment = CompileShader(es::FRAGMENT_SHADER, fragmentSource);
    GLuint program = 0;
    if (vertex != 0 && fragment != 0) {
        program = ES.glCreateProgram();
        ES.glAttachShader(program, vertex);
        ES.glAttachShader(program, fragment);
        ES.glLinkProgram(program);
        GLint linked = 0;
        ES.glGetProgramiv(program, es::LINK_STATUS, &linked);
        if (linked == 0)
            program = 0; // the context goes with the page; nothing worth reclaiming
    }
    if (vertex != 0)
        ES.glDeleteShader(vertex);
    if (fragment != 0)
        ES.glDeleteShader(fragment);
    return program;
}

} // namespace

BatchingGL::BatchingGL(std::size_t capacity)
    : vertices_(std::max<std::size_t>(6, capacity - capacity % 6)) {
    SetIdentity(projection_);
    SetIdentity(modelview_);
}

void BatchingGL::Fail(const char* why) {
    error_ = why;
    ForgetObjects();
}

void BatchingGL::ForgetObjects() {
    ready_ = false;
    lineProgram_ = presentProgram_ = buffer_ = 0;
    texture_ = textureFramebuffer_ = samplesBuffer_ = samplesFramebuffer_ = 0;
    transformLocation_ = -1;
    // A new context starts from the ES defaults.
    drawnState_ = DrawState{};
    usedProgram_ = boundFramebuffer_ = 0;
    matrixChanged_ = viewportChanged_ = true;
}

bool BatchingGL::Create(int width, int height, int samples) {
    ForgetObjects();
    error_.clear();
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    askedSamples_ = std::max(0, samples);
#define LUMIVEX_ES_BOUND(ret, name, params, args) &&ES.name != nullptr
    if (!(true LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_BOUND))) {
        Fail("The OpenGL ES functions are not bound.");
        return false;
    }
#undef LUMIVEX_ES_BOUND
    lineProgram_ = LinkProgram(LineVertexShader, LineFragmentShader);
    presentProgram_ = LinkProgram(PresentVertexShader, PresentFragmentShader);
    if (lineProgram_ == 0 || presentProgram_ == 0) {
        Fail("The drawing shaders did not compile.");
        return false;
    }
    transformLocation_ = ES.glGetUniformLocation(lineProgram_, "transform");

    // The vertex layout never changes, so the array state is set once and left bound.
    ES.glGenBuffers(1, &buffer_);
    ES.glBindBuffer(es::ARRAY_BUFFER, buffer_);
    ES.glBufferData(es::ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(Vertex)),
                    nullptr, es::DYNAMIC_DRAW);
    ES.glVertexAttribPointer(PositionAttribute, 2, es::FLOAT, 0, sizeof(Vertex), nullptr);
    ES.glVertexAttribPointer(ColorAttribute, 4, es::FLOAT, 0, sizeof(Vertex),
                             reinterpret_cast<const void*>(offsetof(Vertex, Rgba)));
    ES.glEnableVertexAttribArray(PositionAttribute);
    ES.glEnableVertexAttribArray(ColorAttribute);
    ready_ = MakeTarget();
    return ready_;
}

// The offscreen target: a texture the picture is presented from, and in front of it, with
// samples, a multisampled renderbuffer the lines are drawn into and resolved from.
bool BatchingGL::MakeTarget() {
    if (textureFramebuffer_ != 0) {
        ES.glDeleteFramebuffers(1, &textureFramebuffer_);
        ES.glDeleteTextures(1, &texture_);
    }
    if (samplesFramebuffer_ != 0) {
        ES.glDeleteFramebuffers(1, &samplesFramebuffer_);
        ES.glDeleteRenderbuffers(1, &samplesBuffer_);
        samplesFramebuffer_ = samplesBuffer_ = 0;
    }
    ES.glGenTextures(1, &texture_);
    ES.glBindTexture(es::TEXTURE_2D, texture_);
    ES.glTexParameteri(es::TEXTURE_2D, es::TEXTURE_MIN_FILTER, es::NEAREST);
    ES.glTexImage2D(es::TEXTURE_2D, 0, es::RGBA8, width_, height_, 0, es::RGBA, es::UNSIGNED_BYTE,
                    nullptr);
    ES.glGenFramebuffers(1, &textureFramebuffer_);
    ES.glBindFramebuffer(es::FRAMEBUFFER, textureFramebuffer_);
    ES.glFramebufferTexture2D(es::FRAMEBUFFER, es::COLOR_ATTACHMENT0, es::TEXTURE_2D, texture_, 0);
    boundFramebuffer_ = textureFramebuffer_;
    if (ES.glCheckFramebufferStatus(es::FRAMEBUFFER) != es::FRAMEBUFFER_COMPLETE) {
        // Too large, say: the programs stay, and the next size tries again.
        error_ = "The offscreen picture could not be made.";
        ES.glDeleteFramebuffers(1, &textureFramebuffer_);
        ES.glDeleteTextures(1, &texture_);
        texture_ = textureFramebuffer_ = 0;
        BindFramebuffer(0);
        return false;
    }
    error_.clear();
    samples_ = askedSamples_;
    if (samples_ > 0) {
        ES.glGenRenderbuffers(1, &samplesBuffer_);
        ES.glBindRenderbuffer(es::RENDERBUFFER, samplesBuffer_);
        ES.glRenderbufferStorageMultisample(es::RENDERBUFFER, samples_, es::RGBA8, width_, height_);
        ES.glGenFramebuffers(1, &samplesFramebuffer_);
        ES.glBindFramebuffer(es::FRAMEBUFFER, samplesFramebuffer_);
        ES.glFramebufferRenderbuffer(es::FRAMEBUFFER, es::COLOR_ATTACHMENT0, es::RENDERBUFFER,
                                     samplesBuffer_);
        boundFramebuffer_ = samplesFramebuffer_;
        if (ES.glCheckFramebufferStatus(es::FRAMEBUFFER) != es::FRAMEBUFFER_COMPLETE) {
            // More samples than the system has: draw without.
            ES.glDeleteFramebuffers(1, &samplesFramebuffer_);
            ES.glDeleteRenderbuffers(1, &samplesBuffer_);
            samplesFramebuffer_ = samplesBuffer_ = 0;
            samples_ = 0;
            BindFramebuffer(textureFramebuffer_);
        }
    }
    // A new target starts as a clear would leave it, not with whatever the system gives.
    ES.glClearColor(clearColor_.Red, clearColor_.Green, clearColor_.Blue, clearColor_.Alpha);
    ES.glClear(es::COLOR_BUFFER_BIT);
    if (samples_ > 0) {
        BindFramebuffer(textureFramebuffer_);
        ES.glClear(es::COLOR_BUFFER_BIT);
    }
    viewportChanged_ = true;
    return true;
}

// What is pending goes into the new target: the caller drew it after all. A target refused at
// the size before is tried again at this one.
void BatchingGL::Resize(int width, int height) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    if (ready_ || lineProgram_ != 0)
        ready_ = MakeTarget();
}

void BatchingGL::ContextLost() {
    count_ = primitiveStart_ = 0;
    ForgetObjects();
}

bool BatchingGL::ContextRestored() {
    return Create(width_, height_, askedSamples_);
}

void BatchingGL::UseProgram(GLuint program) {
    if (usedProgram_ != program) {
        ES.glUseProgram(program);
        usedProgram_ = program;
    }
}

void BatchingGL::BindFramebuffer(GLuint framebuffer) {
    if (boundFramebuffer_ != framebuffer) {
        ES.glBindFramebuffer(es::FRAMEBUFFER, framebuffer);
        boundFramebuffer_ = framebuffer;
    }
}

// Brings the ES side to the state the pending run was given, with calls only for what differs.
void BatchingGL::Apply() {
    BindFramebuffer(samples_ > 0 ? samplesFramebuffer_ : textureFramebuffer_);
    UseProgram(lineProgram_);
    if (viewportChanged_) {
        ES.glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        viewportChanged_ = false;
    }
    if (matrixChanged_) {
        GLdouble product[16];
        std::copy(projection_, projection_ + 16, product);
        MultiplyInto(product, modelview_);
        GLfloat transform[16];
        std::transform(product, product + 16, transform,
                       [](GLdouble value) { return static_cast<GLfloat>(value); });
        ES.glUniformMatrix4fv(transformLocation_, 1, 0, transform);
        matrixChanged_ = false;
    }
    if (state_.Blend != drawnState_.Blend) {
        if (state_.Blend)
            ES.glEnable(es::BLEND);
        else
            ES.glDisable(es::BLEND);
    }
    if (state_.Source != drawnState_.Source || state_.Destination != drawnState_.Destination)
        ES.glBlendFunc(state_.Source, state_.Destination);
    if (state_.LineWidth != drawnState_.LineWidth)
        ES.glLineWidth(state_.LineWidth);
    drawnState_ = state_;
}

void BatchingGL::Flush() {
    if (count_ == 0)
        return;
    if (ready_) {
        Apply();
        ES.glBufferSubData(es::ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count_ * sizeof(Vertex)),
                           vertices_.data());
        ES.glDrawArrays(mode_, 0, static_cast<GLsizei>(count_));
    }
    count_ = primitiveStart_ = 0;
}

void BatchingGL::Resolve() {
    if (!inBegin_)
        Flush();
    if (!ready_)
        return;
    if (samples_ > 0) {
        ES.glBindFramebuffer(es::READ_FRAMEBUFFER, samplesFramebuffer_);
        ES.glBindFramebuffer(es::DRAW_FRAMEBUFFER, textureFramebuffer_);
        ES.glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, es::COLOR_BUFFER_BIT,
                             es::NEAREST);
    }
    boundFramebuffer_ = NoFramebuffer;
}

void BatchingGL::Present(int left, int bottom, int width, int height) {
    if (!ready_ || width <= 0 || height <= 0)
        return;
    ES.glBindFramebuffer(es::READ_FRAMEBUFFER, textureFramebuffer_);
    ES.glBindFramebuffer(es::DRAW_FRAMEBUFFER, 0);
    boundFramebuffer_ = NoFramebuffer;
    // A part beyond the picture (a surface past the largest picture the GL makes) shows the
    // background there: what a copy from outside the picture gives is undefined.
    const int x0 = std::clamp(left, 0, width_);
    const int x1 = std::clamp(left + width, 0, width_);
    const int y0 = std::clamp(bottom, 0, height_);
    const int y1 = std::clamp(bottom + height, 0, height_);
    if (x0 != left || x1 != left + width || y0 != bottom || y1 != bottom + height) {
        ES.glClearColor(clearColor_.Red, clearColor_.Green, clearColor_.Blue, clearColor_.Alpha);
        ES.glClear(es::COLOR_BUFFER_BIT);
    }
    if (x0 < x1 && y0 < y1)
        ES.glBlitFramebuffer(x0, y0, x1, y1, x0 - left, y0 - bottom, x1 - left, y1 - bottom,
                             es::COLOR_BUFFER_BIT, es::NEAREST);
}

void BatchingGL::EndFrame() {
    Resolve();
    if (!ready_)
        return;
    BindFramebuffer(0);
    // A copy, not a blend.
    if (drawnState_.Blend) {
        ES.glDisable(es::BLEND);
        drawnState_.Blend = false;
    }
    ES.glViewport(0, 0, width_, height_);
    viewportChanged_ = true;
    UseProgram(presentProgram_);
    ES.glDrawArrays(es::TRIANGLES, 0, 3);
}

void BatchingGL::glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (inBegin_ || width < 0 || height < 0)
        return;
    const GLint asked[4] = {x, y, width, height};
    if (std::equal(asked, asked + 4, viewport_))
        return;
    Flush();
    std::copy(asked, asked + 4, viewport_);
    viewportChanged_ = true;
}

void BatchingGL::glMatrixMode(GLenum mode) {
    if (!inBegin_ && (mode == GL_PROJECTION || mode == GL_MODELVIEW))
        projectionMode_ = mode == GL_PROJECTION;
}

void BatchingGL::glLoadIdentity() {
    if (inBegin_)
        return;
    Flush();
    SetIdentity(projectionMode_ ? projection_ : modelview_);
    matrixChanged_ = true;
}

void BatchingGL::glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                         GLdouble zNear, GLdouble zFar) {
    if (inBegin_ || left == right || bottom == top || zNear == zFar)
        return;
    Flush();
    GLdouble ortho[16] = {};
    ortho[0] = 2.0 / (right - left);
    ortho[5] = 2.0 / (top - bottom);
    ortho[10] = -2.0 / (zFar - zNear);
    ortho[12] = -(right + left) / (right - left);
    ortho[13] = -(top + bottom) / (top - bottom);
    ortho[14] = -(zFar + zNear) / (zFar - zNear);
    ortho[15] = 1.0;
    MultiplyInto(projectionMode_ ? projection_ : modelview_, ortho);
    matrixChanged_ = true;
}

void BatchingGL::glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    if (inBegin_)
        return;
    const auto clamp = [](GLclampf value) { return std::clamp(value, 0.0f, 1.0f); };
    clearColor_ = {clamp(red), clamp(green), clamp(blue), clamp(alpha)};
}

void BatchingGL::glClear(GLbitfield mask) {
    if (inBegin_)
        return;
    Flush();
    if (!ready_ || (mask & GL_COLOR_BUFFER_BIT) == 0)
        return;
    // The whole target: the picture has no depth, and a clear ignores the viewport anyway.
    BindFramebuffer(samples_ > 0 ? samplesFramebuffer_ : textureFramebuffer_);
    ES.glClearColor(clearColor_.Red, clearColor_.Green, clearColor_.Blue, clearColor_.Alpha);
    ES.glClear(es::COLOR_BUFFER_BIT);
}

void BatchingGL::glEnable(GLenum cap) {
    if (inBegin_ || cap != GL_BLEND || state_.Blend)
        return; // GL_LINE_SMOOTH has nothing to turn on here
    Flush();
    state_.Blend = true;
}

void BatchingGL::glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (inBegin_ || (sfactor == state_.Source && dfactor == state_.Destination))
        return;
    Flush();
    state_.Source = sfactor;
    state_.Destination = dfactor;
}

// The only hint the program gives is for line smoothing, which ES does not have.
void BatchingGL::glHint(GLenum, GLenum) {}

void BatchingGL::glLineWidth(GLfloat width) {
    if (inBegin_ || !(width > 0.0f) || width == state_.LineWidth)
        return;
    Flush();
    state_.LineWidth = width;
}

void BatchingGL::glBegin(GLenum mode) {
    if (inBegin_)
        return;
    inBegin_ = true;
    const std::size_t unit = mode == es::POINTS      ? 1
                             : mode == es::LINES     ? 2
                             : mode == es::TRIANGLES ? 3
                                                     : 0;
    if (unit == 0)
        return;
    if (mode != mode_)
        Flush();
    mode_ = mode;
    unit_ = unit;
    primitiveStart_ = count_;
}

void BatchingGL::glEnd() {
    if (!inBegin_)
        return;
    // GL draws no part of an unfinished primitive; left in the buffer it would pair with the
    // next glBegin's vertices.
    if (unit_ != 0)
        count_ -= (count_ - primitiveStart_) % unit_;
    inBegin_ = false;
    unit_ = 0;
}

namespace {

// Stands in until a layer is installed: it was never created, so it draws nothing.
BatchingGL dormantLayer(6);
BatchingGL* installedLayer = &dormantLayer;

#define LUMIVEX_BATCHING_ENTRY(ret, name, params, args)                                            \
    ret LMVX_APIENTRY Batching_##name params {                                                     \
        return installedLayer->name args;                                                          \
    }
LUMIVEX_GL_FUNCTIONS(LUMIVEX_BATCHING_ENTRY)
#undef LUMIVEX_BATCHING_ENTRY

} // namespace

void InstallBatchingGL(BatchingGL& layer) {
    installedLayer = &layer;
#define LUMIVEX_BATCHING_BIND(ret, name, params, args) GL.name = &Batching_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_BATCHING_BIND)
#undef LUMIVEX_BATCHING_BIND
}

void* BatchingGLProcAddress(const char* name) {
#define LUMIVEX_BATCHING_LOOKUP(ret, entry, params, args)                                          \
    if (std::strcmp(name, #entry) == 0)                                                            \
        return reinterpret_cast<void*>(&Batching_##entry);
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_BATCHING_LOOKUP)
#undef LUMIVEX_BATCHING_LOOKUP
    return nullptr;
}

} // namespace lumivex
