#include "app/WindowManager.h"

#include <QGuiApplication>

// After Qt's headers: Xlib's macros (None, Bool, Status...) would clash with
// their names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// A window manager that went leaves its check window named on the root: the
// requests on that window fail, and the name is then empty.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// The window that `property` of `window` names; 0 when none.
Window windowIn(Display* display, Window window, Atom property)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    Window named = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        data && type == XA_WINDOW && format == 32 && count == 1)
        named = *reinterpret_cast<const Window*>(data);
    if (data)
        XFree(data);
    return named;
}

} // namespace

QString X11WindowManagerName()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return QString();
    const XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Window manager = windowIn(display, DefaultRootWindow(display), check);
    QString name;
    // The check window names itself while its window manager runs.
    if (manager && windowIn(display, manager, check) == manager) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, manager, XInternAtom(display, "_NET_WM_NAME", False), 0, 256, False,
                               XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 8)
            name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
        if (data)
            XFree(data);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    return name;
}
