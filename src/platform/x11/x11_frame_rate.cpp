// The frame rate of --fps on the picture, where the hosts' other savers show theirs: "N.N fps" at
// the bottom left, measured once a second, on a small box cleared to the background so that the
// trails elsewhere stay. It is drawn with GL after each frame: X drawing on the view would be
// painted over by the GL library's next flush of its own picture. The GL functions it needs are
// bound here, from the loaded GL library, and only when the rate is asked for, so that a run
// without --fps calls none but the drawing's own. The glyphs come from the server's "fixed" font.
#include "gl/OpenGL12.h"
#include "platform/FrameRateMeter.h"
#include "platform/x11/x11_glx.h"
#include "platform/x11/x11_window_state.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lumivex {

namespace {

constexpr int Margin = 3; // around the text, inside the box
constexpr std::string_view GlyphChars = "0123456789. fps";

enum : GLenum {
    GL_CURRENT_BIT = 0x0001,
    GL_VIEWPORT_BIT = 0x0800,
    GL_SCISSOR_BIT = 0x80000,
    GL_ENABLE_BIT = 0x2000,
    GL_SCISSOR_TEST = 0x0C11,
    GL_UNPACK_ALIGNMENT = 0x0CF5,
};

// One character as glBitmap takes it: rows from the bottom up, the leftmost pixel the high bit.
struct Glyph {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Bits;
};

} // namespace

struct X11Platform::FrameRateState {
    // The overlay's GL functions: those of the drawing and the few it adds.
    void(LMVX_APIENTRY* glPushAttrib)(GLbitfield) = nullptr;
    void(LMVX_APIENTRY* glPopAttrib)() = nullptr;
    void(LMVX_APIENTRY* glPushMatrix)() = nullptr;
    void(LMVX_APIENTRY* glPopMatrix)() = nullptr;
    void(LMVX_APIENTRY* glScissor)(GLint, GLint, GLsizei, GLsizei) = nullptr;
    void(LMVX_APIENTRY* glDisable)(GLenum) = nullptr;
    void(LMVX_APIENTRY* glPixelStorei)(GLenum, GLint) = nullptr;
    void(LMVX_APIENTRY* glRasterPos2f)(GLfloat, GLfloat) = nullptr;
    void(LMVX_APIENTRY* glBitmap)(GLsizei, GLsizei, GLfloat, GLfloat, GLfloat, GLfloat,
                                  const std::uint8_t*) = nullptr;
    GLEntryPoints drawing;

    bool usable = false;
    int ascent = 0;
    int descent = 0;
    int advance = 0;
    std::array<Glyph, GlyphChars.size()> glyphs;

    FrameRateMeter meter;
    char text[32] = {};
    int boxWidth = 0;
};

void X11Platform::StateDeleter::operator()(FrameRateState* state) const {
    std::default_delete<FrameRateState>()(state);
}

namespace {

using FrameRateState = X11Platform::FrameRateState;

bool BindOverlayGL(X11Platform& platform, FrameRateState& overlay) {
    bool complete = true;
    auto bind = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            platform.GetProcAddress(GLLibrary, name));
        complete = complete && entry != nullptr;
    };
    bind(overlay.glPushAttrib, "glPushAttrib");
    bind(overlay.glPopAttrib, "glPopAttrib");
    bind(overlay.glPushMatrix, "glPushMatrix");
    bind(overlay.glPopMatrix, "glPopMatrix");
    bind(overlay.glScissor, "glScissor");
    bind(overlay.glDisable, "glDisable");
    bind(overlay.glPixelStorei, "glPixelStorei");
    bind(overlay.glRasterPos2f, "glRasterPos2f");
    bind(overlay.glBitmap, "glBitmap");
#define LUMIVEX_OVERLAY_BIND(ret, name, params, args) bind(overlay.drawing.name, #name);
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_OVERLAY_BIND)
#undef LUMIVEX_OVERLAY_BIND
    return complete;
}

// Each character drawn once into a bitmap of the server's and read back.
bool LoadGlyphs(Display* display, Window window, FrameRateState& overlay) {
    XFontStruct* font = XLoadQueryFont(display, "fixed");
    if (font == nullptr)
        return false;
    overlay.ascent = font->ascent;
    overlay.descent = font->descent;
    overlay.advance = font->max_bounds.width;
    const int width = overlay.advance;
    const int height = font->ascent + font->descent;
    const Pixmap pixmap = XCreatePixmap(display, window, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 1);
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetFont(display, gc, font->fid);
    bool read = true;
    for (std::size_t i = 0; i < GlyphChars.size() && read; ++i) {
        XSetForeground(display, gc, 0);
        XFillRectangle(display, pixmap, gc, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height));
        XSetForeground(display, gc, 1);
        XDrawString(display, pixmap, gc, 0, font->ascent, &GlyphChars[i], 1);
        XImage* image = XGetImage(display, pixmap, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 1, XYPixmap);
        if (image == nullptr) {
            read = false;
            break;
        }
        Glyph& glyph = overlay.glyphs[i];
        const auto rowBytes = static_cast<std::size_t>((width + 7) / 8);
        glyph.Width = width;
        glyph.Height = height;
        glyph.Bits.assign(rowBytes * static_cast<std::size_t>(height), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (XGetPixel(image, x, y) != 0)
                    glyph.Bits[static_cast<std::size_t>(height - 1 - y) * rowBytes +
                               static_cast<std::size_t>(x / 8)] |=
                        static_cast<std::uint8_t>(0x80u >> (x % 8));
        XDestroyImage(image);
    }
    XFreeGC(display, gc);
    XFreePixmap(display, pixmap);
    XFreeFont(display, font);
    return read;
}

const Glyph* GlyphOf(const FrameRateState& overlay, char c) {
    const std::size_t at = GlyphChars.find(c);
    return at == std::string_view::npos ? nullptr : &overlay.glyphs[at];
}

void DrawOverlay(FrameRateState& overlay, int viewWidth, int viewHeight, std::uint32_t background) {
    const GLEntryPoints& gl = overlay.drawing;
    const int length = static_cast<int>(std::strlen(overlay.text));
    overlay.boxWidth = std::max(overlay.boxWidth, length * overlay.advance + 2 * Margin);
    const int boxHeight = overlay.ascent + overlay.descent + 2 * Margin;
    const auto channel = [background](int shift) {
        return static_cast<GLclampf>((background >> shift) & 0xFF) / 255.0f;
    };
    // Light text on a dark background, dark on a light one.
    const GLfloat ink = channel(0) + channel(8) + channel(16) > 1.5f ? 0.0f : 1.0f;

    overlay.glPushAttrib(GL_CURRENT_BIT | GL_VIEWPORT_BIT | GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT |
                         GL_ENABLE_BIT);
    gl.glViewport(0, 0, viewWidth, viewHeight);
    gl.glMatrixMode(GL_PROJECTION);
    overlay.glPushMatrix();
    gl.glLoadIdentity();
    gl.glEnable(GL_SCISSOR_TEST);
    overlay.glScissor(0, 0, overlay.boxWidth, boxHeight);
    gl.glClearColor(channel(0), channel(8), channel(16), 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    overlay.glDisable(GL_SCISSOR_TEST);
    overlay.glDisable(GL_BLEND);
    gl.glColor4f(ink, ink, ink, 1.0f);
    // From the centre, where the raster position is surely valid, to the text's baseline.
    overlay.glRasterPos2f(0.0f, 0.0f);
    overlay.glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(Margin - viewWidth / 2.0),
                     static_cast<GLfloat>(Margin + overlay.descent - viewHeight / 2.0), nullptr);
    for (int i = 0; i < length; ++i)
        if (const Glyph* glyph = GlyphOf(overlay, overlay.text[i]))
            overlay.glBitmap(glyph->Width, glyph->Height, 0.0f,
                             static_cast<GLfloat>(overlay.descent),
                             static_cast<GLfloat>(overlay.advance), 0.0f, glyph->Bits.data());
    overlay.glPopMatrix();
    gl.glMatrixMode(GL_MODELVIEW);
    overlay.glPopAttrib();
    gl.glFlush();
}

} // namespace

void X11Platform::PresentView() {
    WindowState* state = window_.get();
    if (!frameRateReport_ || state == nullptr || state->hostGone || !ViewContextCurrent(glx_.get()))
        return;
    if (frameRate_ == nullptr) {
        frameRate_ = std::make_unique<FrameRateState>();
        FrameRateState& overlay = *frameRate_;
        overlay.usable = BindOverlayGL(*this, overlay) &&
                         LoadGlyphs(state->display, state->view.window, overlay);
        if (overlay.usable)
            overlay.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    FrameRateState& overlay = *frameRate_;
    if (!overlay.usable)
        return;
    if (overlay.meter.Count(NowMilliseconds()))
        std::snprintf(overlay.text, sizeof overlay.text, "%.1f fps", overlay.meter.Rate());
    // Nothing to show before the first second has been measured.
    if (overlay.text[0] != '\0')
        DrawOverlay(overlay, state->width, state->height, state->background);
}

} // namespace lumivex
