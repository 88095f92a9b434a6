// The overlay's glyphs and drawing.
#include "gl/FrameRateOverlay.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace lumivex {

namespace {

constexpr GLenum GL_TRIANGLES = 0x0004;
constexpr int Margin = 3;    // around the text, inside the box
constexpr int Advance = 6;   // a glyph and the column between two
constexpr int GlyphRows = 9; // 7 above the baseline, 2 below it for the p
constexpr std::string_view GlyphChars = "0123456789. fps/,aehnow";

// Five columns a row, the leftmost pixel in bit 4, rows from the top down.
constexpr std::array<std::array<std::uint8_t, GlyphRows>, GlyphChars.size()> Glyphs = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E, 0x00, 0x00}, // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E, 0x00, 0x00}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F, 0x00, 0x00}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E, 0x00, 0x00}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02, 0x00, 0x00}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E, 0x00, 0x00}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E, 0x00, 0x00}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08, 0x00, 0x00}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E, 0x00, 0x00}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C, 0x00, 0x00}, // 9
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C, 0x00, 0x00}, // .
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // space
    {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08, 0x00, 0x00}, // f
    {0x00, 0x00, 0x1E, 0x11, 0x11, 0x11, 0x1E, 0x10, 0x10}, // p
    {0x00, 0x00, 0x0F, 0x10, 0x0E, 0x01, 0x1E, 0x00, 0x00}, // s
    {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10, 0x00, 0x00}, // /
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C, 0x04, 0x08}, // ,
    {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F, 0x00, 0x00}, // a
    {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00, 0x00}, // e
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11, 0x00, 0x00}, // h
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11, 0x00, 0x00}, // n
    {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E, 0x00, 0x00}, // o
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A, 0x00, 0x00}, // w
}};

void Rectangle(const GLEntryPoints& gl, int left, int bottom, int width, int height) {
    const auto x0 = static_cast<GLfloat>(left);
    const auto y0 = static_cast<GLfloat>(bottom);
    const auto x1 = static_cast<GLfloat>(left + width);
    const auto y1 = static_cast<GLfloat>(bottom + height);
    const GLfloat corners[6][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y0}, {x1, y1}, {x0, y1}};
    for (const auto& corner : corners)
        gl.glVertex2f(corner[0], corner[1]);
}

// Each row's runs of lit pixels as rectangles, the glyph's bottom row at `bottom`.
void DrawGlyph(const GLEntryPoints& gl, std::size_t glyph, int left, int bottom) {
    for (int row = 0; row < GlyphRows; ++row) {
        const unsigned bits = Glyphs[glyph][static_cast<std::size_t>(row)];
        const int y = bottom + GlyphRows - 1 - row;
        for (int column = 0; column < 5;) {
            int end = column;
            while (end < 5 && (bits & (0x10u >> end)) != 0)
                ++end;
            if (end > column)
                Rectangle(gl, left + column, y, end - column, 1);
            column = end + 1;
        }
    }
}

} // namespace

void FrameRateOverlay::CountShown(std::uint64_t now) {
    countsShown_ = true;
    shown_.Count(now);
}

int FrameRateOverlay::BoxHeight() {
    return GlyphRows + 2 * Margin;
}

bool FrameRateOverlay::Count(std::uint64_t now) {
    if (!meter_.Count(now))
        return false;
    if (countsShown_)
        std::snprintf(text_, sizeof text_, "%.1f passes/s, %.1f shown/s", meter_.Rate(),
                      shown_.Rate());
    else
        std::snprintf(text_, sizeof text_, "%.1f fps", meter_.Rate());
    const auto length = static_cast<int>(std::string_view(text_).size());
    boxWidth_ = std::max(boxWidth_, length * Advance - 1 + 2 * Margin);
    return true;
}

void FrameRateOverlay::Draw(const GLEntryPoints& gl, int viewWidth, int viewHeight,
                            std::uint32_t background) const {
    if (!HasText() || viewWidth <= 0 || viewHeight <= 0)
        return;
    const auto channel = [background](int shift) {
        return static_cast<GLfloat>((background >> shift) & 0xFF) / 255.0f;
    };
    const GLfloat ink = channel(0) + channel(8) + channel(16) > 1.5f ? 0.0f : 1.0f;
    gl.glViewport(0, 0, viewWidth, viewHeight);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0.0, viewWidth, 0.0, viewHeight, -1.0, 1.0);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    // Opaque colours: whatever blending the elements left on, the box covers what was there.
    gl.glBegin(GL_TRIANGLES);
    gl.glColor4f(channel(0), channel(8), channel(16), 1.0f);
    Rectangle(gl, 0, 0, boxWidth_, BoxHeight());
    gl.glColor4f(ink, ink, ink, 1.0f);
    int left = Margin;
    for (const char c : std::string_view(text_)) {
        const std::size_t glyph = GlyphChars.find(c);
        if (glyph != std::string_view::npos)
            DrawGlyph(gl, glyph, left, Margin);
        left += Advance;
    }
    gl.glEnd();
    gl.glFlush();
}

} // namespace lumivex
