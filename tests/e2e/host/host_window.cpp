// Stands in for a screen-saver host's windows in the end-to-end runs: a grey window at the given
// geometry holding one black child window per further geometry (all WxH+X+Y), as a settings
// dialog holds its preview. Prints the id of each child (or of the window itself when there is
// none), one per line, once everything is mapped; then lives until it is killed, which takes
// its windows with it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <vector>

namespace {

bool Parse(const char* text, int& x, int& y, unsigned& width, unsigned& height) {
    return (XParseGeometry(text, &x, &y, &width, &height) & (WidthValue | HeightValue)) ==
           (WidthValue | HeightValue);
}

Window Make(Display* display, Window parent, const char* geometry, unsigned long pixel) {
    int x = 0, y = 0;
    unsigned width = 0, height = 0;
    if (!Parse(geometry, x, y, width, height))
        return 0;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = pixel;
    const Window window =
        XCreateWindow(display, parent, x, y, width, height, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(display, window);
    return window;
}

} // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || argc < 2) {
        std::fprintf(stderr, "usage: host_window WxH+X+Y [WxH+X+Y...] (needs $DISPLAY)\n");
        return 2;
    }
    const Window top = Make(display, DefaultRootWindow(display), argv[1], 0x808080);
    std::vector<Window> shown;
    for (int i = 2; i < argc && top != 0; ++i)
        shown.push_back(Make(display, top, argv[i], 0x000000));
    if (shown.empty())
        shown.push_back(top);
    XSync(display, False);
    for (Window window : shown) {
        if (window == 0) {
            std::fprintf(stderr, "host_window: bad geometry\n");
            return 2;
        }
        std::printf("%lu\n", window);
    }
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
