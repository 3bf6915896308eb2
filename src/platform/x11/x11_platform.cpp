#include "platform/x11/x11_platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <string>
#include <vector>

#include "foundation/os.h"
#include "graphics/graphic.h"
#include "gui/app.h"
#include "gui/headless.h"
#include "gui/win.h"

namespace {
// Xlib keeps one error handler per process. Ours swallows the errors of the toolkit's own
// connections (a host may hand over a window id that is already gone) and passes every other
// error on to the handler that was installed before, which is usually the host's.
struct CErrorTrap {
    Display* display;
    unsigned long lastErrorSerial;
};
std::vector<CErrorTrap> traps;
XErrorHandler previousHandler = nullptr;

int toolkitErrorHandler(Display* d, XErrorEvent* e) {
    for (CErrorTrap& t : traps)
        if (t.display == d) {
            t.lastErrorSerial = e->serial;
            return 0;
        }
    return previousHandler ? previousHandler(d, e) : 0;
}

void watchErrors(Display* d) {
    if (traps.empty()) previousHandler = XSetErrorHandler(toolkitErrorHandler);
    traps.push_back({d, 0});
}

void unwatchErrors(Display* d) {
    for (size_t i = 0; i < traps.size(); i++)
        if (traps[i].display == d) {
            traps.erase(traps.begin() + long(i));
            break;
        }
    if (!traps.empty()) return;
    // give the previous handler back unless someone installed another one after ours
    XErrorHandler current = XSetErrorHandler(previousHandler);
    if (current != toolkitErrorHandler) XSetErrorHandler(current);
    previousHandler = nullptr;
}

unsigned long lastError(Display* d) {
    for (const CErrorTrap& t : traps)
        if (t.display == d) return t.lastErrorSerial;
    return 0;
}

constexpr long viewEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | Button1MotionMask |
                            StructureNotifyMask | KeyPressMask;
constexpr unsigned grabEvents = ButtonPressMask | ButtonReleaseMask | Button1MotionMask;
/// Bounded wait for another client's answer to a paste request.
constexpr int pasteWaitSteps = 200;
constexpr int pasteWaitStepMs = 5;

/// The X font cursor of each framework cursor that has one.
const struct {
    CCursor shape;
    unsigned font;
} fontCursors[] = {
    {cursorSizeLeft, XC_sb_h_double_arrow},        {cursorSizeRight, XC_sb_h_double_arrow},
    {cursorSizeTop, XC_sb_v_double_arrow},         {cursorSizeBottom, XC_sb_v_double_arrow},
    {cursorSizeTopRight, XC_top_right_corner},     {cursorSizeTopLeft, XC_top_left_corner},
    {cursorSizeBottomLeft, XC_bottom_left_corner}, {cursorSizeBottomRight, XC_bottom_right_corner},
};

/// X font cursor of a framework cursor shape; 0 keeps the parent's cursor.
unsigned fontCursorOf(int shape) {
    for (const auto& c : fontCursors)
        if (c.shape == shape) return c.font;
    return 0;
}

int keyCodeOf(KeySym sym) {
    switch (sym) {
    case XK_Return:
    case XK_KP_Enter:
        return keyEnter;
    case XK_Up:
        return keyArrowUp;
    case XK_Down:
        return keyArrowDown;
    case XK_Left:
        return keyArrowLeft;
    case XK_Right:
        return keyArrowRight;
    case XK_Home:
        return keyHome;
    case XK_End:
        return keyEnd;
    case XK_Prior:
        return keyPageUp;
    case XK_Next:
        return keyPageDown;
    default:
        return 0;
    }
}
} // namespace

CX11Platform::CX11Platform(const char* displayName) {
    display = XOpenDisplay(displayName);
    if (!display) return;
    watchErrors(display);
    screen = DefaultScreen(display);
    XVisualInfo info;
    if (XMatchVisualInfo(display, screen, 24, TrueColor, &info)) {
        visual = info.visual;
        depth = 24;
    } else {
        visual = DefaultVisual(display, screen);
        depth = DefaultDepth(display, screen);
    }
    selectionWindow =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, 0, 0);
    clipboardAtom = XInternAtom(display, "CLIPBOARD", False);
    utf8Atom = XInternAtom(display, "UTF8_STRING", False);
    targetsAtom = XInternAtom(display, "TARGETS", False);
    pasteAtom = XInternAtom(display, "RWB_PASTE", False);
}

CX11Platform::~CX11Platform() {
    if (!display) return;
    while (!views.empty())
        destroyView(views.begin()->second.win);
    for (auto& entry : cursors)
        XFreeCursor(display, entry.second);
    XDestroyWindow(display, selectionWindow);
    XSync(display, False);
    unwatchErrors(display);
    XCloseDisplay(display);
}

bool CX11Platform::trapErrors(unsigned long serialBefore) {
    XSync(display, False);
    return lastError(display) >= serialBefore;
}

CX11Platform::CView* CX11Platform::viewOf(CWin* win) {
    for (auto& entry : views)
        if (entry.second.win == win) return &entry.second;
    return nullptr;
}

CX11Platform::CView* CX11Platform::viewOfWindow(unsigned long xid) {
    auto it = views.find(xid);
    return it == views.end() ? nullptr : &it->second;
}

unsigned long CX11Platform::windowId(CWin* win) {
    for (auto& entry : views)
        if (entry.second.win == win) return entry.first;
    return 0;
}

CRect CX11Platform::screenRect() {
    if (!display) return asRect(0, 0, 1920, 1080);
    return asRect(0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen));
}

CPoint CX11Platform::mousePos() {
    if (!display) return asPoint(0, 0);
    Window root, child;
    int rx = 0, ry = 0, wx, wy;
    unsigned mask;
    XQueryPointer(display, RootWindow(display, screen), &root, &child, &rx, &ry, &wx, &wy, &mask);
    return asPoint(rx, ry);
}

void CX11Platform::setMousePos(int px, int py) {
    if (!display) return;
    XWarpPointer(display, None, RootWindow(display, screen), 0, 0, 0, 0, px, py);
    XFlush(display);
}

CWin* CX11Platform::winAtPos(int px, int py) {
    // top-level windows (menus, lists, the drag window) lie above the editor
    for (int pass = 0; pass < 2; pass++)
        for (auto& entry : views) {
            CView& v = entry.second;
            if (v.embedded != (pass == 1) || !v.mapped) continue;
            CPoint p = windowPos(v.win);
            if (px >= p.x && px < p.x + v.win->width && py >= p.y && py < p.y + v.win->height)
                return v.win;
        }
    return nullptr;
}

unsigned long CX11Platform::createWindow(CWin* win, unsigned long parent, bool overrideRedirect,
                                         unsigned long* colormap) {
    Visual* vis = static_cast<Visual*>(visual);
    *colormap = XCreateColormap(display, RootWindow(display, screen), vis, AllocNone);
    XSetWindowAttributes swa{};
    swa.colormap = *colormap;
    swa.border_pixel = 0;
    swa.background_pixmap = None;
    swa.override_redirect = overrideRedirect ? True : False;
    swa.event_mask = viewEvents;
    unsigned long mask = CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask;
    if (overrideRedirect) mask |= CWOverrideRedirect;
    int left = overrideRedirect ? win->x : 0;
    int top = overrideRedirect ? win->y : 0;
    return XCreateWindow(display, parent, left, top, unsigned(asMax(1, win->width)),
                         unsigned(asMax(1, win->height)), 0, depth, InputOutput, vis, mask, &swa);
}

bool CX11Platform::embedView(CWin* win, long parent) {
    if (!display || parent == 0 || viewOf(win)) return false;
    unsigned long serial = NextRequest(display);
    XWindowAttributes attr;
    if (!XGetWindowAttributes(display, Window(parent), &attr) || trapErrors(serial)) return false;
    unsigned long colormap = 0;
    Window xid = createWindow(win, Window(parent), false, &colormap);
    XMapWindow(display, xid);
    if (trapErrors(serial)) {
        XDestroyWindow(display, xid);
        XFreeColormap(display, colormap);
        XSync(display, False);
        return false;
    }
    GC gc = XCreateGC(display, xid, 0, nullptr);
    views[xid] = CView{win, true, true, true, colormap, gc, nullptr, 1};
    win->view = reinterpret_cast<void*>(xid);
    XFlush(display);
    return true;
}

void CX11Platform::createTopLevel(CWin* win) {
    if (!display || viewOf(win)) return;
    unsigned long colormap = 0;
    Window xid = createWindow(win, RootWindow(display, screen), true, &colormap);
    GC gc = XCreateGC(display, xid, 0, nullptr);
    views[xid] = CView{win, false, false, true, colormap, gc, nullptr, 1};
    win->handle = reinterpret_cast<void*>(xid);
}

void CX11Platform::destroyView(CWin* win) {
    unsigned long xid = windowId(win);
    if (!xid) return;
    CView v = views[xid];
    views.erase(xid);
    if (v.mapped && win->hasStyle(wsFloating)) releaseInput();
    if (v.surface) cairo_surface_destroy(v.surface);
    XFreeGC(display, static_cast<GC>(v.gc));
    XDestroyWindow(display, xid);
    XFreeColormap(display, v.colormap);
    XFlush(display);
    win->view = nullptr;
    win->handle = nullptr;
}

bool CX11Platform::hasView(CWin* win) {
    return viewOf(win) != nullptr;
}

void CX11Platform::grabInput(unsigned long xid) {
    // a press anywhere, even on another client's window, must reach the menu loop
    XGrabPointer(display, xid, True, grabEvents, GrabModeAsync, GrabModeAsync, None, None,
                 CurrentTime);
    XGrabKeyboard(display, xid, True, GrabModeAsync, GrabModeAsync, CurrentTime);
}

void CX11Platform::releaseInput() {
    XUngrabPointer(display, CurrentTime);
    XUngrabKeyboard(display, CurrentTime);
    for (auto& entry : views)
        if (entry.second.mapped && entry.second.win->hasStyle(wsFloating)) {
            grabInput(entry.first);
            break;
        }
}

void CX11Platform::showWindow(CWin* win) {
    unsigned long xid = windowId(win);
    if (!xid) return;
    CView& v = views[xid];
    v.dirty = true;
    if (v.embedded) return;
    XMoveResizeWindow(display, xid, win->x, win->y, unsigned(asMax(1, win->width)),
                      unsigned(asMax(1, win->height)));
    XMapRaised(display, xid);
    v.mapped = true;
    if (win->hasStyle(wsFloating)) {
        XSync(display, False);
        grabInput(xid);
    }
    XFlush(display);
}

void CX11Platform::closeWindow(CWin* win) {
    unsigned long xid = windowId(win);
    if (!xid) return;
    CView& v = views[xid];
    if (v.embedded) return;
    XUnmapWindow(display, xid);
    bool wasMapped = v.mapped;
    v.mapped = false;
    if (wasMapped && win->hasStyle(wsFloating)) releaseInput();
    XFlush(display);
}

void CX11Platform::placeWindow(CWin* win) {
    unsigned long xid = windowId(win);
    if (!xid) return;
    unsigned w = unsigned(asMax(1, win->width));
    unsigned h = unsigned(asMax(1, win->height));
    if (views[xid].embedded)
        XResizeWindow(display, xid, w, h);
    else
        XMoveResizeWindow(display, xid, win->x, win->y, w, h);
    views[xid].dirty = true;
}

CPoint CX11Platform::windowPos(CWin* win) {
    unsigned long xid = windowId(win);
    if (!xid) return win->hasStyle(wsEmbedded) ? asPoint(0, 0) : asPoint(win->x, win->y);
    Window child;
    int rx = 0, ry = 0;
    XTranslateCoordinates(display, xid, RootWindow(display, screen), 0, 0, &rx, &ry, &child);
    return asPoint(rx, ry);
}

void CX11Platform::setCursor(CWin* win, int shape) {
    unsigned long xid = windowId(win);
    if (!xid || views[xid].cursorShape == shape) return;
    views[xid].cursorShape = shape;
    unsigned font = fontCursorOf(shape);
    if (font == 0) {
        XUndefineCursor(display, xid);
        return;
    }
    if (!cursors.count(shape)) cursors[shape] = XCreateFontCursor(display, font);
    XDefineCursor(display, xid, cursors[shape]);
}

void CX11Platform::invalidate(CWin* win) {
    if (CView* v = viewOf(win)) v->dirty = true;
}

void CX11Platform::paintView(unsigned long xid, CView& v) {
    CWin* win = v.win;
    int w = win->width;
    int h = win->height;
    if (w < 1 || h < 1) return;
    if (v.surface && (cairo_image_surface_get_width(v.surface) != w ||
                      cairo_image_surface_get_height(v.surface) != h)) {
        cairo_surface_destroy(v.surface);
        v.surface = nullptr;
    }
    if (!v.surface) v.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(v.surface);
    win->graphic->setContext(cr);
    win->paint(0, asRect(0, 0, w, h));
    win->graphic->setContext(nullptr);
    cairo_destroy(cr);
    cairo_surface_flush(v.surface);
    // the image surface's xRGB words are what a 24-bit TrueColor ZPixmap holds
    XImage* image =
        XCreateImage(display, static_cast<Visual*>(visual), unsigned(depth), ZPixmap, 0,
                     reinterpret_cast<char*>(cairo_image_surface_get_data(v.surface)), unsigned(w),
                     unsigned(h), 32, cairo_image_surface_get_stride(v.surface));
    if (image) {
        XPutImage(display, xid, static_cast<GC>(v.gc), image, 0, 0, 0, 0, unsigned(w), unsigned(h));
        image->data = nullptr;
        XDestroyImage(image);
    }
    paints++;
}

void CX11Platform::paintDirty() {
    std::vector<unsigned long> dirty;
    for (auto& entry : views)
        if (entry.second.dirty && (entry.second.mapped || entry.second.embedded))
            dirty.push_back(entry.first);
    // invalidations made while painting wait for the next pass
    for (unsigned long xid : dirty)
        if (CView* v = viewOfWindow(xid)) {
            v->dirty = false;
            paintView(xid, *v);
        }
}

void CX11Platform::dispatch(XEvent& event) {
    if (event.type == SelectionRequest) {
        answerSelectionRequest(event);
        return;
    }
    CView* v = viewOfWindow(event.xany.window);
    if (!v) return;
    CWin* win = v->win;
    switch (event.type) {
    case Expose:
        v->dirty = true;
        break;
    case MapNotify:
        v->mapped = true;
        break;
    case UnmapNotify:
        if (!v->embedded) v->mapped = false;
        break;
    case ButtonPress:
        if (event.xbutton.button == Button1)
            win->mouseDown(event.xbutton.x, event.xbutton.y, btnLeft);
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1)
            win->mouseUp(event.xbutton.x, event.xbutton.y, btnLeft);
        break;
    case MotionNotify: {
        // only the newest position of a burst of drags matters
        while (XCheckTypedWindowEvent(display, event.xany.window, MotionNotify, &event)) {
        }
        if (event.xmotion.state & Button1Mask)
            win->mouseMove(event.xmotion.x, event.xmotion.y, btnLeft);
        break;
    }
    default:
        break;
    }
}

void CX11Platform::processEvents() {
    if (!display) return;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        dispatch(event);
    }
    paintDirty();
    XFlush(display);
}

CWin* CX11Platform::openMenuAt(CApp* app, int rootX, int rootY) {
    for (int i = app->menus->getCount() - 1; i >= 0; i--) {
        CWin* menu = static_cast<CWin*>(app->menus->items(i));
        if (!menu->visible) continue;
        CPoint p = windowPos(menu);
        if (rootX >= p.x && rootX < p.x + menu->width && rootY >= p.y && rootY < p.y + menu->height)
            return menu;
    }
    return nullptr;
}

CMenuEvent CX11Platform::nextMenuEvent(CApp* app) {
    if (!display) return menuEventNoSource;
    paintDirty();
    XFlush(display);
    // no event yet: the loop's tick sleeps its 10 ms and asks again, so timers keep running
    if (!XPending(display)) return menuEventIdle;
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
    case ButtonPress: {
        CWin* menu = openMenuAt(app, event.xbutton.x_root, event.xbutton.y_root);
        if (!menu) return menuEventOutsidePress;
        CPoint p = windowPos(menu);
        if (event.xbutton.button == Button1)
            menu->mouseDown(event.xbutton.x_root - p.x, event.xbutton.y_root - p.y, btnLeft);
        return menuEventDispatched;
    }
    case ButtonRelease:
    case MotionNotify: {
        CWin* menu = openMenuAt(app, event.xbutton.x_root, event.xbutton.y_root);
        if (!menu) menu = app->activeMenu;
        if (!menu) return menuEventDispatched;
        CPoint p = windowPos(menu);
        int mx = event.xbutton.x_root - p.x;
        int my = event.xbutton.y_root - p.y;
        if (event.type == MotionNotify && (event.xmotion.state & Button1Mask))
            menu->mouseMove(mx, my, btnLeft);
        else if (event.type == ButtonRelease && event.xbutton.button == Button1)
            menu->mouseUp(mx, my, btnLeft);
        return menuEventDispatched;
    }
    case KeyPress: {
        KeySym sym = XLookupKeysym(&event.xkey, 0);
        if (sym == XK_Escape) return menuEventEscape;
        int key = keyCodeOf(sym);
        if (key != 0 && app->activeMenu) app->activeMenu->keyDown(key, 0);
        return menuEventDispatched;
    }
    default:
        dispatch(event);
        return menuEventDispatched;
    }
}

void CX11Platform::copyText(const CStr& text) {
    setProcessClipboard(text);
    if (!display) return;
    clipboard = text;
    XSetSelectionOwner(display, clipboardAtom, selectionWindow, CurrentTime);
    XFlush(display);
}

CStr CX11Platform::pasteText() {
    if (!display) return processClipboard();
    Window owner = XGetSelectionOwner(display, clipboardAtom);
    if (owner == selectionWindow) return clipboard;
    if (owner == None) return CStr();
    XConvertSelection(display, clipboardAtom, utf8Atom, pasteAtom, selectionWindow, CurrentTime);
    XFlush(display);
    XEvent event;
    bool answered = false;
    for (int step = 0; step < pasteWaitSteps && !answered; step++) {
        answered = XCheckTypedWindowEvent(display, selectionWindow, SelectionNotify, &event);
        if (!answered) asSleep(pasteWaitStepMs);
    }
    if (!answered || event.xselection.property == None) return CStr();
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    CStr result;
    if (XGetWindowProperty(display, selectionWindow, pasteAtom, 0, 1 << 20, True, AnyPropertyType,
                           &type, &format, &count, &remaining, &data) == Success &&
        data && format == 8)
        result = CStr(std::string(reinterpret_cast<const char*>(data), count).c_str());
    if (data) XFree(data);
    return result;
}

void CX11Platform::answerSelectionRequest(XEvent& event) {
    XSelectionRequestEvent& req = event.xselectionrequest;
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.requestor = req.requestor;
    reply.selection = req.selection;
    reply.target = req.target;
    reply.time = req.time;
    reply.property = None;
    if (req.target == targetsAtom) {
        Atom offered[] = {Atom(targetsAtom), Atom(utf8Atom), XA_STRING};
        XChangeProperty(display, req.requestor, req.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(offered), 3);
        reply.property = req.property;
    } else if (req.target == utf8Atom || req.target == XA_STRING) {
        XChangeProperty(display, req.requestor, req.property, req.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(clipboard.asChar()),
                        clipboard.length());
        reply.property = req.property;
    }
    XSendEvent(display, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
}
