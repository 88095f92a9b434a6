// The view's device context under Wine, on a display (tests/wine/saver_view_on_display.sh): what
// is drawn on it lands where the view is on the screen, also after a window change.
#include "platform/win32/win32_wgl.h"
#include "platform/win32/win32_wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace lumivex {
namespace {

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);

void Pump() {
    for (int pass = 0; pass < 20; ++pass) {
        MSG message{};
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
        ::Sleep(10);
    }
}

// What the screen shows at a point, read back through the desktop's device context.
COLORREF ScreenAt(int x, int y) {
    const HDC screen = ::GetDC(nullptr);
    const COLORREF color = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return color;
}

void Fill(HDC dc, int width, int height, COLORREF color) {
    const HBRUSH brush = ::CreateSolidBrush(color);
    const RECT area{0, 0, width, height};
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
    ::GdiFlush();
    ::Sleep(50);
}

// A saver window away from the screen's corner, its view a private-DC child away from the
// window's corner, its pixel format set before the window shows, in the order the saver does it.
class WineViewOnDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* wanted = std::getenv("LUMIVEX_DISPLAY_TESTS");
        if (wanted == nullptr || std::string(wanted) != "1")
            GTEST_SKIP() << "runs on a virtual display: tests/wine/saver_view_on_display.sh";
        ASSERT_TRUE(RunningOnWine());
        const HINSTANCE instance = ::GetModuleHandleA(nullptr);
        WNDCLASSA frameClass{};
        frameClass.lpfnWndProc = ::DefWindowProcA;
        frameClass.hInstance = instance;
        frameClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        frameClass.lpszClassName = "WineViewTestFrame";
        WNDCLASSA viewClass{};
        viewClass.style = CS_OWNDC;
        viewClass.lpfnWndProc = ::DefWindowProcA;
        viewClass.hInstance = instance;
        viewClass.lpszClassName = "WineViewTestView";
        ::RegisterClassA(&frameClass);
        ::RegisterClassA(&viewClass);
        frame = ::CreateWindowExA(WS_EX_TOPMOST, frameClass.lpszClassName, "", WS_POPUP, 30, 40,
                                  200, 150, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(frame, nullptr);
        view = ::CreateWindowExA(0, viewClass.lpszClassName, "",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 10, 20,
                                 100, 80, frame, nullptr, instance, nullptr);
        ASSERT_NE(view, nullptr);
        dc = ::GetDC(view);
        opengl = ::LoadLibraryA("OpenGL32.DLL"); // the pixel format functions need it loaded
        ASSERT_NE(opengl, nullptr);
        PIXELFORMATDESCRIPTOR format = PixelFormatRequest(OBJ_DC, 32, 0, 0, 0, 0);
        const int chosen = ::ChoosePixelFormat(dc, &format);
        ASSERT_NE(chosen, 0);
        ASSERT_TRUE(::SetPixelFormat(dc, chosen, &format));
        ::ShowWindow(frame, SW_SHOW);
        ::UpdateWindow(frame);
        Pump();
    }
    void TearDown() override {
        if (frame != nullptr)
            ::DestroyWindow(frame);
        if (opengl != nullptr)
            ::FreeLibrary(opengl);
    }

    HWND frame = nullptr;
    HWND view = nullptr;
    HDC dc = nullptr;
    HMODULE opengl = nullptr;
};

TEST_F(WineViewOnDisplay, DrawingOnTheViewLandsAtItsPlaceOnTheScreen) {
    RepairViewDrawable(frame, view, dc);
    Fill(dc, 100, 80, Red);
    EXPECT_EQ(ScreenAt(30 + 10 + 2, 40 + 20 + 2), Red);
    EXPECT_EQ(ScreenAt(30 + 10 + 97, 40 + 20 + 77), Red);
    EXPECT_NE(ScreenAt(30 + 10 + 102, 40 + 20 + 2), Red) << "drawn beyond the view";
    EXPECT_NE(ScreenAt(30 + 5, 40 + 5), Red) << "drawn at the saver window's corner";
    // Once the context has its drawable, nothing is changed.
    EXPECT_FALSE(RepairViewDrawable(frame, view, dc));

    // A move works the context's region out again, and whatever Wine gives it then, the next
    // repair leaves it drawing at the view's new place.
    ::SetWindowPos(view, nullptr, 50, 40, 100, 80, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    RepairViewDrawable(frame, view, dc);
    Fill(dc, 100, 80, Green);
    EXPECT_EQ(ScreenAt(30 + 50 + 2, 40 + 40 + 2), Green);
    EXPECT_EQ(ScreenAt(30 + 50 + 97, 40 + 40 + 77), Green);
}

} // namespace
} // namespace lumivex
