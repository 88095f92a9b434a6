// Message boxes on Linux: the text always goes to standard error, and when a display exists a
// small modal dialog shows the caption, the text and an OK button. The dialog closes on a click
// on OK, Return, Escape or the window manager's close button. LUMIVEX_NO_DIALOG=1 skips the
// dialog, for runs nobody watches.
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <vector>

namespace lumivex {

namespace {

constexpr int Margin = 16;
constexpr int ButtonWidth = 80, ButtonHeight = 26;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

bool DialogWanted() {
    const char* skip = std::getenv("LUMIVEX_NO_DIALOG");
    return skip == nullptr || std::strcmp(skip, "1") != 0;
}

class MessageDialog {
  public:
    // Takes over the font.
    MessageDialog(Display* display, XFontStruct* font, const std::string& text,
                  const std::string& caption)
        : display_(display), lines_(SplitLines(text)), font_(font) {
        int screen = DefaultScreen(display_);
        int lineHeight = font_->ascent + font_->descent;
        int textWidth = 0;
        for (const std::string& line : lines_)
            textWidth = std::max(textWidth, XTextWidth(font_, line.c_str(), int(line.size())));
        width_ = std::max(textWidth, ButtonWidth) + 2 * Margin;
        height_ = int(lines_.size()) * lineHeight + ButtonHeight + 3 * Margin;
        int left = std::max(0, (DisplayWidth(display_, screen) - width_) / 2);
        int top = std::max(0, (DisplayHeight(display_, screen) - height_) / 2);
        buttonLeft_ = (width_ - ButtonWidth) / 2;
        buttonTop_ = height_ - Margin - ButtonHeight;

        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), left, top,
                                      unsigned(width_), unsigned(height_), 1,
                                      BlackPixel(display_, screen), WhitePixel(display_, screen));
        XStoreName(display_, window_, caption.c_str());
        XSizeHints hints{};
        hints.flags = PPosition | PMinSize | PMaxSize;
        hints.x = left;
        hints.y = top;
        hints.min_width = hints.max_width = width_;
        hints.min_height = hints.max_height = height_;
        XSetWMNormalHints(display_, window_, &hints);
        Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
        Atom dialog = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        XChangeProperty(display_, window_, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&dialog), 1);
        deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &deleteWindow_, 1);
        XSelectInput(display_, window_,
                     ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
        gc_ = XCreateGC(display_, window_, 0, nullptr);
        XSetFont(display_, gc_, font_->fid);
        XSetForeground(display_, gc_, BlackPixel(display_, screen));
        XMapRaised(display_, window_);
    }

    ~MessageDialog() {
        XFreeGC(display_, gc_);
        XDestroyWindow(display_, window_);
        XFreeFont(display_, font_);
        XFlush(display_);
    }
    MessageDialog(const MessageDialog&) = delete;
    MessageDialog& operator=(const MessageDialog&) = delete;

    // Handles events until the dialog is answered or the program is told to end.
    void Run() {
        for (;;) {
            while (XPending(display_) == 0) {
                if (TerminationRequested())
                    return;
                pollfd sources[2] = {{ConnectionNumber(display_), POLLIN, 0},
                                     {TerminationPipe(), POLLIN, 0}};
                poll(sources, sources[1].fd >= 0 ? 2 : 1, -1);
            }
            XEvent event;
            XNextEvent(display_, &event);
            if (event.xany.window != window_)
                continue;
            switch (event.type) {
            case MapNotify:
                // Without a window manager nobody else gives the dialog the keyboard.
                XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
                break;
            case Expose:
                if (event.xexpose.count == 0)
                    Paint();
                break;
            case KeyPress: {
                KeySym key = XLookupKeysym(&event.xkey, 0);
                if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space)
                    return;
                break;
            }
            case ButtonPress:
                if (event.xbutton.x >= buttonLeft_ && event.xbutton.x < buttonLeft_ + ButtonWidth &&
                    event.xbutton.y >= buttonTop_ && event.xbutton.y < buttonTop_ + ButtonHeight)
                    return;
                break;
            case ClientMessage:
                if (Atom(event.xclient.data.l[0]) == deleteWindow_)
                    return;
                break;
            case DestroyNotify:
                return;
            default:
                break;
            }
        }
    }

  private:
    void Paint() {
        int lineHeight = font_->ascent + font_->descent;
        int y = Margin + font_->ascent;
        for (const std::string& line : lines_) {
            XDrawString(display_, window_, gc_, Margin, y, line.c_str(), int(line.size()));
            y += lineHeight;
        }
        XDrawRectangle(display_, window_, gc_, buttonLeft_, buttonTop_, ButtonWidth - 1,
                       ButtonHeight - 1);
        const char* ok = "OK";
        int okWidth = XTextWidth(font_, ok, 2);
        XDrawString(display_, window_, gc_, buttonLeft_ + (ButtonWidth - okWidth) / 2,
                    buttonTop_ + (ButtonHeight + font_->ascent - font_->descent) / 2, ok, 2);
        XFlush(display_);
    }

    Display* display_;
    std::vector<std::string> lines_;
    XFontStruct* font_;
    Window window_ = 0;
    GC gc_ = nullptr;
    Atom deleteWindow_ = None;
    int width_ = 0, height_ = 0, buttonLeft_ = 0, buttonTop_ = 0;
};

} // namespace

void X11Platform::ShowMessage(const std::string& text, const std::string& caption, std::uint32_t) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    // A hosted saver shows nothing outside the host's window.
    if (!DialogWanted() || hosted_)
        return;
    Display* display = XConnection();
    if (display == nullptr)
        return;
    XFontStruct* font = XLoadQueryFont(display, "fixed");
    if (font == nullptr)
        return; // nothing to draw with: standard error has the text
    MessageDialog dialog(display, font, text, caption);
    dialog.Run();
}

} // namespace lumivex
