// Test helper for the display test: waits for a top-level window with an exact
// title, tells whether it is mapped, then asks it to close as a window manager
// would (WM_DELETE_WINDOW). Usage: x11window [--settle] TITLE SECONDS [OTHER].
// Exit 0 when the window appeared mapped (its size and place said) and was
// asked to close. With OTHER, it waits for that window too and says whether
// TITLE is stacked above or below it. With --settle, it first waits until the
// window manager has placed the window and tells where, with the frame's
// extents when the window manager tells them (_NET_FRAME_EXTENTS).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string titleOf(Display* display, Window window)
{
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

Window find(Display* display, Window root, const std::string& wanted);

// The root's child that holds `window`: the window manager's frame.
Window frameOf(Display* display, Window window)
{
    Window rootReturn, parent, *children = nullptr;
    unsigned int count = 0;
    Window top = window;
    while (XQueryTree(display, top, &rootReturn, &parent, &children, &count) && parent != rootReturn) {
        if (children)
            XFree(children);
        children = nullptr;
        top = parent;
    }
    if (children)
        XFree(children);
    return top;
}

// The position of the root's child that holds `window`, bottom first; -1 when none.
int stackIndex(Display* display, Window window)
{
    const Window top = frameOf(display, window);
    Window rootReturn, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &rootReturn, &parent, &children, &count))
        return -1;
    int index = -1;
    for (unsigned int i = 0; i < count; ++i)
        if (children[i] == top)
            index = int(i);
    if (children)
        XFree(children);
    return index;
}

Window find(Display* display, Window root, const std::string& wanted)
{
    Window rootReturn, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (titleOf(display, children[i]) == wanted)
            found = children[i];
        else
            found = find(display, children[i], wanted);
    }
    if (children)
        XFree(children);
    return found;
}

// The window's client area on the screen.
void positionOf(Display* display, Window window, int& x, int& y)
{
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

// The frame extents the window manager tells (_NET_FRAME_EXTENTS), if any.
bool frameExtents(Display* display, Window window, long extents[4])
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const bool told = XGetWindowProperty(display, window, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4,
                                         False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
                      data && count == 4 && format == 32;
    if (told)
        for (int i = 0; i < 4; ++i)
            extents[i] = reinterpret_cast<const long*>(data)[i];
    if (data)
        XFree(data);
    return told;
}

// Where the window manager finally shows the window. weston's keeps the X
// server's idea of the place stale (its frame window where it was made, at
// 0,0) until the window asks for a change: same-size configure requests make
// it tell. The place counts once the window manager has told its frame's
// extents or moved the frame window, and the place has held for a second
// since.
void settle(Display* display, Window window, const XWindowAttributes& attributes,
            std::chrono::steady_clock::time_point deadline)
{
    int x = 0, y = 0;
    positionOf(display, window, x, y);
    long extents[4] = {};
    bool told = false;
    auto since = std::chrono::steady_clock::now();
    for (int tick = 0; std::chrono::steady_clock::now() < deadline; ++tick) {
        if (tick % 5 == 0) {
            XResizeWindow(display, window, unsigned(attributes.width), unsigned(attributes.height));
            XFlush(display);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        XWindowAttributes frame{};
        const bool wasTold = told;
        told = frameExtents(display, window, extents) ||
               (XGetWindowAttributes(display, frameOf(display, window), &frame) && (frame.x != 0 || frame.y != 0));
        int nowX = 0, nowY = 0;
        positionOf(display, window, nowX, nowY);
        if (nowX != x || nowY != y || told != wasTold) {
            x = nowX;
            y = nowY;
            since = std::chrono::steady_clock::now();
        }
        if (told && std::chrono::steady_clock::now() - since >= std::chrono::seconds(1))
            break;
    }
    std::printf("placed at %d,%d", x, y);
    if (frameExtents(display, window, extents))
        std::printf(" frame %ld,%ld,%ld,%ld", extents[0], extents[1], extents[2], extents[3]);
    std::printf(told ? "\n" : " (not told)\n");
    std::fflush(stdout);
}

// A window that goes between two requests (another program's, or one of the
// editor's being replaced) makes the request fail: the probe goes on.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

int main(int argc, char** argv)
{
    const bool settling = argc > 1 && std::strcmp(argv[1], "--settle") == 0;
    if (settling) {
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: x11window [--settle] TITLE SECONDS [OTHER]\n");
        return 2;
    }
    const std::string wanted = argv[1];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    Display* display = nullptr;
    while (!(display = XOpenDisplay(nullptr))) {
        if (std::chrono::steady_clock::now() > deadline)
            return 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    XSetErrorHandler(ignoreErrors);
    Window window = 0;
    XWindowAttributes attributes{};
    while (true) {
        window = find(display, DefaultRootWindow(display), wanted);
        if (window && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "window \"%s\" %s\n", wanted.c_str(), window ? "not mapped" : "not found");
            return 4;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Where the window stands on the screen (its client area's top-left corner).
    int x = 0, y = 0;
    positionOf(display, window, x, y);
    std::printf("mapped %dx%d at %d,%d\n", attributes.width, attributes.height, x, y);
    std::fflush(stdout);
    if (settling)
        settle(display, window, attributes, deadline);
    if (argc == 4) {
        Window other = 0;
        XWindowAttributes otherAttributes{};
        while (!(other = find(display, DefaultRootWindow(display), argv[3])) ||
               !XGetWindowAttributes(display, other, &otherAttributes) || otherAttributes.map_state != IsViewable) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::fprintf(stderr, "window \"%s\" not shown\n", argv[3]);
                return 4;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        // The program raises its windows once the other is shown.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        std::printf("stacked %s\n", stackIndex(display, window) > stackIndex(display, other) ? "above" : "below");
    }

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
