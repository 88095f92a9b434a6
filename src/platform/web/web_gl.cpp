// The GL library of the page: the batching GL table over WebGL 2, in the canvas's context.
//
// Both library names of the settings load it, whatever they say: the page has one GL. Loading
// makes the WebGL 2 context, so a browser without WebGL 2 fails the load and start-up shows its
// message. A lost context shows that message too, until the browser gives the context back; the
// layer then makes its objects again and the view repaints.
#include "platform/web/web_platform.h"

#include "gl/BatchingGL.h"
#include "gl/FrameRateOverlay.h"
#include "platform/web/web_page.h"
#include "shell/unInitialize.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace lumivex {

void BindWebGLFunctions(); // web_es.cpp

namespace {

constexpr const char* Canvas = "#canvas";
// Samples a pixel of the offscreen picture: WebGL has no smooth lines, so the edges of every
// line are smoothed this way instead (the layer falls back to none where the system refuses).
constexpr int PictureSamples = 4;

struct GlState {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    std::unique_ptr<BatchingGL> layer; // made with the context
    std::string libraryName;           // the GL library's name, as the message gives it
    int width = 1;
    int height = 1;
    bool created = false; // the layer has its objects
    bool lost = false;
    std::uint64_t vertices = 0; // counted only for the frame-rate report
    void (*vertex)(GLfloat, GLfloat) = nullptr;
    FrameRateOverlay frameRate;
    GLEntryPoints overlayGL; // the layer's own functions: the text's vertices are not counted
};

GlState gl;
char glLibrary; // the handle of the one library: its address

void CountedVertex2f(GLfloat x, GLfloat y) {
    ++gl.vertices;
    gl.vertex(x, y);
}

EM_BOOL OnContextLost(int, const void*, void*) {
    gl.lost = true;
    gl.layer->ContextLost();
    PageShowMessage(OpenGLFailureCaption, OpenGLFailureText(gl.libraryName).c_str(),
                    GetPlatform().ErrorText(ERROR_WEB_CONTEXT_LOST).c_str());
    return EM_TRUE; // asks the browser for the context back
}

EM_BOOL OnContextRestored(int, const void*, void*) {
    gl.lost = false;
    if (gl.layer->ContextRestored()) {
        PageHideMessage();
        GetPlatform().InvalidateView();
    }
    return EM_TRUE;
}

bool MakeContext() {
    if (gl.context > 0)
        return true;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // The picture lives in the layer's own framebuffer; the canvas only shows it.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 2;
    gl.context = emscripten_webgl_create_context(Canvas, &attributes);
    if (gl.context <= 0) {
        gl.context = 0;
        return false;
    }
    gl.layer = std::make_unique<BatchingGL>();
    InstallBatchingGL(*gl.layer);
#define LUMIVEX_WEB_OVERLAY_BIND(ret, name, params, args)                                          \
    gl.overlayGL.name = reinterpret_cast<decltype(gl.overlayGL.name)>(BatchingGLProcAddress(#name));
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_WEB_OVERLAY_BIND)
#undef LUMIVEX_WEB_OVERLAY_BIND
    emscripten_set_webglcontextlost_callback(Canvas, nullptr, EM_FALSE, &OnContextLost);
    emscripten_set_webglcontextrestored_callback(Canvas, nullptr, EM_FALSE, &OnContextRestored);
    return true;
}

} // namespace

LibraryHandle WebPlatform::LoadLibrary(const std::string& name) {
    if (!MakeContext()) {
        lastError_ = ERROR_WEB_NO_WEBGL2;
        return nullptr;
    }
    if (gl.libraryName.empty())
        gl.libraryName = name;
    return &glLibrary;
}

void* WebPlatform::GetProcAddress(LibraryHandle library, const char* name) {
    if (library != &glLibrary)
        return nullptr;
    void* entry = BatchingGLProcAddress(name);
    if (frameRateReport_ && entry != nullptr && std::string_view(name) == "glVertex2f") {
        gl.vertex = reinterpret_cast<void (*)(GLfloat, GLfloat)>(entry);
        return reinterpret_cast<void*>(&CountedVertex2f);
    }
    return entry;
}

void WebPlatform::FreeLibrary(LibraryHandle) {}

DeviceContext WebPlatform::GetViewDeviceContext() {
    return 1; // the canvas
}

RenderContext WebPlatform::CreateGLContext(DeviceContext, int, int, int, int, int) {
    if (gl.context == 0)
        throw EWin32Error(ERROR_WEB_NO_WEBGL2, ErrorText(ERROR_WEB_NO_WEBGL2));
    emscripten_webgl_make_context_current(gl.context);
    BindWebGLFunctions();
    if (!gl.created && !gl.layer->Create(gl.width, gl.height, PictureSamples)) {
        // Nothing catches in the page: the message is all a person gets to see.
        PageShowMessage(OpenGLFailureCaption, OpenGLFailureText(gl.libraryName).c_str(),
                        gl.layer->Error().c_str());
        throw EWin32Error(0, gl.layer->Error());
    }
    gl.created = true;
    return static_cast<RenderContext>(gl.context);
}

void WebPlatform::ActivateGLContext(DeviceContext, RenderContext rc) {
    emscripten_webgl_make_context_current(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(rc));
}

void WebPlatform::DeactivateGLContext() {
    emscripten_webgl_make_context_current(0);
}

// The context belongs to the canvas for the page's life; the view only lets go of it.
void WebPlatform::DeleteGLContext(RenderContext) {}

void WebPlatform::ResizeGL(int width, int height) {
    gl.width = width;
    gl.height = height;
    emscripten_set_canvas_element_size(Canvas, width, height);
    if (gl.created)
        gl.layer->Resize(width, height);
}

void WebPlatform::PresentGL() {
    if (!gl.created || gl.lost)
        return;
    gl.layer->EndFrame();
    pacer_.Shown();
    if (frameRateReport_)
        gl.frameRate.CountShown(static_cast<std::uint64_t>(emscripten_get_now()));
}

bool WebPlatform::PicturesShown(std::uint64_t& shown) {
    shown = pacer_.PicturesShown();
    return true;
}

// ?fps: the rate of passes and of pictures shown on the picture as on Wayland, and on the console
// (which takes what standard error is on Linux) with the vertices drawn, from one measure.
bool WebPlatform::PresentView() {
    if (!frameRateReport_ || !gl.created || gl.lost)
        return false;
    if (gl.frameRate.Count(static_cast<std::uint64_t>(emscripten_get_now()))) {
        const FrameRateMeter& meter = gl.frameRate.Meter();
        std::printf("lumivex-gl: %.1f fps, %.0f vertices/s, %.1f shown/s\n", meter.Rate(),
                    static_cast<double>(gl.vertices) * 1000.0 /
                        static_cast<double>(meter.Elapsed()),
                    gl.frameRate.ShownMeter().Rate());
        gl.vertices = 0;
    }
    if (!gl.frameRate.HasText())
        return false;
    gl.frameRate.Draw(gl.overlayGL, gl.width, gl.height, background_);
    return true;
}

} // namespace lumivex
