// The saver on Wine: finding out that it runs there, and the X drawable of the view's device
// context. Relies on the X11 driver's own escape and window property, both private to Wine: a
// driver that does not know the escape in this form (another driver, another layout, a 64-bit
// X side) refuses it by its size, and the context is left as Wine made it.
#include "platform/win32/win32_wine.h"

#include <cstdint>

namespace lumivex {

namespace {

// The X11 driver's escape as its header declares it, for a 32-bit process: XIDs are 32 bits.
constexpr int X11DriverEscape = 6789;
constexpr std::int32_t X11SetDrawable = 0;
constexpr std::int32_t X11GetDrawable = 1;
constexpr std::int32_t IncludeInferiors = 1; // X's subwindow mode, the one Wine uses here

struct X11SetDrawableRequest {
    std::int32_t code;
    std::uint32_t drawable;
    std::int32_t mode;
    RECT area; // the device context's area in the drawable
};

struct X11GetDrawableReply {
    std::int32_t code;
    std::uint32_t drawable;
    std::uint32_t glDrawable;
    std::int32_t pixelFormat;
};

static_assert(sizeof(X11SetDrawableRequest) == 28 && sizeof(X11GetDrawableReply) == 16);

// Where the X11 driver keeps the X window of a top-level window.
constexpr const char* WholeWindowProperty = "__wine_x11_whole_window";

using ExtEscapeProc = int(WINAPI*)(HDC, int, int, LPCSTR, int, LPSTR);
using GetPropProc = HANDLE(WINAPI*)(HWND, LPCSTR);

// Looked up rather than imported: the program's import table stays what Windows 98 loads.
template <typename Proc> Proc Lookup(const char* module, const char* name) {
    const HMODULE handle = ::GetModuleHandleA(module);
    if (handle == nullptr)
        return nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
}

} // namespace

bool RunningOnWine() {
    return Lookup<void*>("ntdll.dll", "wine_get_version") != nullptr;
}

bool RepairViewDrawable(HWND frame, HWND view, HDC viewDC) {
    static const auto extEscape = Lookup<ExtEscapeProc>("gdi32.dll", "ExtEscape");
    static const auto getProp = Lookup<GetPropProc>("user32.dll", "GetPropA");
    if (extEscape == nullptr || getProp == nullptr || viewDC == nullptr)
        return false;

    // The escape first brings the visible region up to date: what it reports is what a flush
    // would copy to.
    const std::int32_t query = X11GetDrawable;
    X11GetDrawableReply current{};
    if (extEscape(viewDC, X11DriverEscape, sizeof query, reinterpret_cast<LPCSTR>(&query),
                  sizeof current, reinterpret_cast<LPSTR>(&current)) <= 0 ||
        current.drawable != 0)
        return false;

    const auto frameWindow = static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(getProp(frame, WholeWindowProperty)));
    RECT frameArea{};
    RECT viewArea{};
    POINT viewOrigin{0, 0};
    if (frameWindow == 0 || !::GetWindowRect(frame, &frameArea) ||
        !::GetClientRect(view, &viewArea) || !::ClientToScreen(view, &viewOrigin))
        return false;
    // The saver window's X window covers its window rectangle.
    const LONG dx = viewOrigin.x - frameArea.left;
    const LONG dy = viewOrigin.y - frameArea.top;
    X11SetDrawableRequest request{};
    request.code = X11SetDrawable;
    request.drawable = frameWindow;
    request.mode = IncludeInferiors;
    request.area = {viewArea.left + dx, viewArea.top + dy, viewArea.right + dx,
                    viewArea.bottom + dy};
    return extEscape(viewDC, X11DriverEscape, sizeof request, reinterpret_cast<LPCSTR>(&request), 0,
                     nullptr) > 0;
}

} // namespace lumivex
