// The pixel format and the logical palette of the view's rendering context, shared by the
// context code and the saver window (which lets go of the contexts before its view goes).
#pragma once

#include "platform/win32/win32_api.h"

#include <vector>

namespace lumivex {

// The 40-byte request for a device context of the given object type (GetObjectType): RGBA,
// 32 depth bits, single-buffered, drawing to a bitmap for memory and metafile contexts and to
// the window otherwise; the main plane for layer 0, the overlay above it, the underlay below.
PIXELFORMATDESCRIPTOR PixelFormatRequest(DWORD objectType, int colorBits, int stencilBits,
                                         int accumBits, int auxBuffers, int layer);

// The palette a format with PFD_NEED_PALETTE is drawn through: 2^cColorBits entries (at most
// 256), each channel spread evenly over 0..255 by its bit count and shift.
std::vector<PALETTEENTRY> FormatPaletteEntries(const PIXELFORMATDESCRIPTOR& format);

// No context may outlive the view it draws on: makes none current and deletes them all.
void ReleaseViewContexts(Win32Platform::WglState* state);

} // namespace lumivex
