// The view's rendering context: a GDI pixel format on the view's private device context and a
// WGL context from the system's OpenGL32.DLL, loaded by name (nothing links it). Every failed
// step raises EWin32Error with the system's code and text for it; nothing is undone.
#include "platform/win32/win32_wgl.h"

#include "gl/OpenGL12.h"
#include "platform/win32/win32_window.h"

#include <algorithm>
#include <memory>

namespace lumivex {

namespace {

// Whatever library the settings name for drawing, contexts come from the system's own.
constexpr const char* SystemGLLibrary = "OpenGL32.DLL";
constexpr int PaletteSize = 256;
constexpr int RequestDepthBits = 32;
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

using CreateLayerContextProc = HGLRC(WINAPI*)(HDC, int);
using MakeCurrentProc = BOOL(WINAPI*)(HDC, HGLRC);
using DeleteContextProc = BOOL(WINAPI*)(HGLRC);

bool IsBitmapContext(DWORD objectType) {
    return objectType == OBJ_METADC || objectType == OBJ_MEMDC || objectType == OBJ_ENHMETADC;
}

BYTE LayerType(int layer) {
    if (layer > 0)
        return PFD_OVERLAY_PLANE;
    if (layer < 0)
        return static_cast<BYTE>(PFD_UNDERLAY_PLANE);
    return PFD_MAIN_PLANE;
}

BYTE ToByte(int value) {
    return static_cast<BYTE>(std::clamp(value, 0, 255));
}

BYTE Channel(int index, int bits, int shift) {
    if (bits <= 0 || bits >= 31 || shift < 0 || shift >= 31)
        return 0;
    const int top = (1 << bits) - 1;
    return static_cast<BYTE>(((index >> shift) & top) * 255 / top);
}

} // namespace

struct Win32Platform::WglState {
    HMODULE system = nullptr; // the system's OpenGL32.DLL, held until the program ends
    CreateLayerContextProc createLayerContext = nullptr;
    MakeCurrentProc makeCurrent = nullptr;
    DeleteContextProc deleteContext = nullptr;
    std::vector<HGLRC> contexts; // made and not yet deleted
    HGLRC current = nullptr;
    int lastActivatedFormat = 0;

    WglState() = default;
    ~WglState();
    WglState(const WglState&) = delete;
    WglState& operator=(const WglState&) = delete;
    bool Bound() const { return makeCurrent != nullptr; }
};

void Win32Platform::StateDeleter::operator()(WglState* state) const {
    std::default_delete<WglState>()(state);
}

PIXELFORMATDESCRIPTOR PixelFormatRequest(DWORD objectType, int colorBits, int stencilBits,
                                         int accumBits, int auxBuffers, int layer) {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_SUPPORT_OPENGL |
                      (IsBitmapContext(objectType) ? PFD_DRAW_TO_BITMAP : PFD_DRAW_TO_WINDOW);
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = ToByte(colorBits);
    request.cAccumBits = ToByte(accumBits);
    request.cDepthBits = RequestDepthBits;
    request.cStencilBits = ToByte(stencilBits);
    request.cAuxBuffers = ToByte(auxBuffers);
    request.iLayerType = LayerType(layer);
    return request;
}

std::vector<PALETTEENTRY> FormatPaletteEntries(const PIXELFORMATDESCRIPTOR& format) {
    const int count = format.cColorBits >= 8 ? PaletteSize : 1 << format.cColorBits;
    std::vector<PALETTEENTRY> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        PALETTEENTRY& entry = entries[static_cast<std::size_t>(i)];
        entry.peRed = Channel(i, format.cRedBits, format.cRedShift);
        entry.peGreen = Channel(i, format.cGreenBits, format.cGreenShift);
        entry.peBlue = Channel(i, format.cBlueBits, format.cBlueShift);
        entry.peFlags = 0;
    }
    return entries;
}

void ReleaseViewContexts(Win32Platform::WglState* state) {
    if (state == nullptr || !state->Bound())
        return;
    if (state->current != nullptr)
        state->makeCurrent(nullptr, nullptr);
    state->current = nullptr;
    for (HGLRC context : state->contexts)
        state->deleteContext(context);
    state->contexts.clear();
}

namespace {

using WglState = Win32Platform::WglState;

[[noreturn]] void Fail(Platform& platform) {
    const std::uint32_t code = platform.GetLastError();
    throw EWin32Error(code, platform.ErrorText(code));
}

void BindContextFunctions(Platform& platform, WglState& wgl) {
    if (wgl.Bound())
        return;
    if (wgl.system == nullptr)
        wgl.system = static_cast<HMODULE>(platform.LoadLibrary(SystemGLLibrary));
    if (wgl.system == nullptr)
        Fail(platform);
    const auto createLayerContext = reinterpret_cast<CreateLayerContextProc>(
        platform.GetProcAddress(wgl.system, "wglCreateLayerContext"));
    const auto makeCurrent =
        reinterpret_cast<MakeCurrentProc>(platform.GetProcAddress(wgl.system, "wglMakeCurrent"));
    const auto deleteContext = reinterpret_cast<DeleteContextProc>(
        platform.GetProcAddress(wgl.system, "wglDeleteContext"));
    if (createLayerContext == nullptr || makeCurrent == nullptr || deleteContext == nullptr)
        Fail(platform);
    wgl.createLayerContext = createLayerContext;
    wgl.makeCurrent = makeCurrent;
    wgl.deleteContext = deleteContext;
}

// The palette stays selected into the device context for the context's life; it is not deleted.
void SetupFormatPalette(Platform& platform, HDC dc, const PIXELFORMATDESCRIPTOR& format) {
    struct {
        WORD palVersion;
        WORD palNumEntries;
        PALETTEENTRY palPalEntry[PaletteSize];
    } palette{};
    const std::vector<PALETTEENTRY> entries = FormatPaletteEntries(format);
    palette.palVersion = 0x300;
    palette.palNumEntries = static_cast<WORD>(entries.size());
    std::copy(entries.begin(), entries.end(), palette.palPalEntry);
    const HPALETTE handle = ::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette));
    if (handle == nullptr)
        Fail(platform);
    ::SelectPalette(dc, handle, FALSE);
    ::RealizePalette(dc);
}

} // namespace

DeviceContext Win32Platform::GetViewDeviceContext() {
    const HWND view = SaverViewWindow(window_.get());
    return view != nullptr ? reinterpret_cast<DeviceContext>(::GetDC(view)) : 0;
}

void Win32Platform::ReleaseViewDeviceContext(DeviceContext dc) {
    const HWND view = SaverViewWindow(window_.get());
    if (view != nullptr && dc != 0)
        ::ReleaseDC(view, reinterpret_cast<HDC>(dc));
}

RenderContext Win32Platform::CreateGLContext(DeviceContext dc, int colorBits, int stencilBits,
                                             int accumBits, int auxBuffers, int layer) {
    const HDC device = reinterpret_cast<HDC>(dc);
    const DWORD objectType = ::GetObjectType(device);
    if (objectType == 0)
        Fail(*this);
    PIXELFORMATDESCRIPTOR format =
        PixelFormatRequest(objectType, colorBits, stencilBits, accumBits, auxBuffers, layer);
    if (!EnsureOpenGL())
        Fail(*this);
    const int chosen = ::ChoosePixelFormat(device, &format);
    if (chosen == 0)
        Fail(*this);
    if (!::SetPixelFormat(device, chosen, &format))
        Fail(*this);
    // From here on the request holds the format the system actually chose.
    ::DescribePixelFormat(device, chosen, sizeof format, &format);
    if (wgl_ == nullptr)
        wgl_ = std::make_unique<WglState>();
    if ((format.dwFlags & PFD_NEED_PALETTE) != 0)
        SetupFormatPalette(*this, device, format);
    BindContextFunctions(*this, *wgl_);
    const HGLRC context = wgl_->createLayerContext(device, layer);
    if (context == nullptr)
        Fail(*this);
    wgl_->contexts.push_back(context);
    wgl_->lastActivatedFormat = 0;
    return reinterpret_cast<RenderContext>(context);
}

void Win32Platform::ActivateGLContext(DeviceContext dc, RenderContext rc) {
    if (wgl_ == nullptr || !wgl_->Bound())
        return;
    const HDC device = reinterpret_cast<HDC>(dc);
    const int format = ::GetPixelFormat(device);
    const auto context = reinterpret_cast<HGLRC>(rc);
    if (wgl_->makeCurrent(device, context))
        wgl_->current = context;
    // Nothing the program draws depends on per-format data, so only the format is noted.
    wgl_->lastActivatedFormat = format;
}

void Win32Platform::DeactivateGLContext() {
    if (wgl_ == nullptr || !wgl_->Bound())
        return;
    wgl_->makeCurrent(nullptr, nullptr);
    wgl_->current = nullptr;
}

void Win32Platform::DeleteGLContext(RenderContext rc) {
    if (rc == 0 || wgl_ == nullptr || !wgl_->Bound())
        return;
    const auto context = reinterpret_cast<HGLRC>(rc);
    auto found = std::find(wgl_->contexts.begin(), wgl_->contexts.end(), context);
    if (found == wgl_->contexts.end())
        return;
    if (wgl_->current == context)
        wgl_->current = nullptr;
    wgl_->deleteContext(context);
    wgl_->contexts.erase(found);
}

Win32Platform::WglState::~WglState() {
    ReleaseViewContexts(this);
    if (system != nullptr)
        ::FreeLibrary(system);
}

} // namespace lumivex
