// A small X client for the screen tests (no window manager runs there):
//   x_tool find <title>    prints "x y width height" of the window, status 1 if absent
//   x_tool close <title>   asks it to close, as a window manager's close button does
//   x_tool focus <title>   gives it the keyboard focus
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

namespace {

// The title as WM_NAME or, as SDL's message boxes set it, _NET_WM_NAME.
bool hasName(Display* d, Window w, const char* name) {
    char* title = nullptr;
    if (XFetchName(d, w, &title) && title != nullptr) {
        const bool match = std::strcmp(title, name) == 0;
        XFree(title);
        if (match) return true;
    }
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        const bool match = std::strlen(name) == count &&
                           std::memcmp(data, name, count) == 0;
        XFree(data);
        return match;
    }
    return false;
}

Window findByName(Display* d, Window w, const char* name) {
    if (hasName(d, w, name)) return w;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findByName(d, children[i], name);
    if (children) XFree(children);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s find|close|focus <window title>\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return 2;
    const Window w = findByName(d, DefaultRootWindow(d), argv[2]);
    if (w == 0) {
        XCloseDisplay(d);
        return 1;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "find") == 0) {
        XWindowAttributes a;
        XGetWindowAttributes(d, w, &a);
        Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
        std::printf("%d %d %d %d\n", x, y, a.width, a.height);
    } else if (std::strcmp(command, "close") == 0) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &e);
    } else if (std::strcmp(command, "focus") == 0) {
        XRaiseWindow(d, w);
        XSetInputFocus(d, w, RevertToPointerRoot, CurrentTime);
    } else {
        XCloseDisplay(d);
        return 2;
    }
    XSync(d, False);
    XCloseDisplay(d);
    return 0;
}
