#include "hostwindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <memory>

namespace {
/// The 8-bit component of a pixel under a TrueColor mask.
unsigned component(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        shift++;
    const unsigned long max = mask >> shift;
    return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / max);
}

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
} // namespace

CHostWindow::~CHostWindow() {
    if (!display) return;
    if (window) XDestroyWindow(display, window);
    XCloseDisplay(display);
}

bool CHostWindow::open(int w, int h, const char* title, std::string& error) {
    display = XOpenDisplay(nullptr);
    if (!display) {
        error = "cannot open the X display (is DISPLAY set?)";
        return false;
    }
    windowWidth = w;
    windowHeight = h;
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                 static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                 BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, title);
    fixSize();
    deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom protocols[] = {static_cast<Atom>(deleteAtom)};
    XSetWMProtocols(display, window, protocols, 1);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify || event.xmap.window != window);
    return true;
}

void CHostWindow::fixSize() {
    // the editor has one size: tell window managers not to offer another
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = windowWidth;
    hints->min_height = hints->max_height = windowHeight;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

void CHostWindow::resize(int w, int h) {
    if (w <= 0 || h <= 0 || (w == windowWidth && h == windowHeight)) return;
    windowWidth = w;
    windowHeight = h;
    fixSize();
    XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSync(display, False);
}

void CHostWindow::fitToChild() {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
    XWindowAttributes attributes{};
    const bool known = count > 0 && XGetWindowAttributes(display, children[0], &attributes);
    if (children) XFree(children);
    if (known) resize(attributes.width, attributes.height);
}

bool CHostWindow::pump() {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage &&
            static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom)
            closed = true;
        if (event.type == DestroyNotify && event.xdestroywindow.window == window) closed = true;
    }
    return !closed;
}

void CHostWindow::sync() {
    XSync(display, False);
}

bool CHostWindow::savePng(const std::string& path, std::string& error) {
    std::unique_ptr<XImage, ImageDeleter> image(
        XGetImage(display, window, 0, 0, static_cast<unsigned>(windowWidth),
                  static_cast<unsigned>(windowHeight), AllPlanes, ZPixmap));
    if (!image) {
        error = "cannot read the window's pixels";
        return false;
    }
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, windowWidth, windowHeight));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error = "cannot make an image of the window's size";
        return false;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < windowHeight; y++) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < windowWidth; x++) {
            const unsigned long p = XGetPixel(image.get(), x, y);
            row[x] = (component(p, image->red_mask) << 16) |
                     (component(p, image->green_mask) << 8) | component(p, image->blue_mask);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return true;
}
