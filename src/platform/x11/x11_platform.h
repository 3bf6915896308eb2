// The toolkit on X11: the editor as a child window of the host's window, menus and dropdown
// lists as override-redirect top-level windows, whole-window repaints through Cairo, and the
// CLIPBOARD selection. One Display connection of its own, used only from the thread that
// makes the editor calls; events are drained without blocking from the editor's idle.
#pragma once

#include <map>

#include "gui/platform.h"

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;
typedef struct _cairo_surface cairo_surface_t;

class CX11Platform : public CPlatform {
public:
    /// Opens its own connection; null uses DISPLAY. Without a display every window stays
    /// without a view.
    explicit CX11Platform(const char* displayName = nullptr);
    ~CX11Platform() override;

    CRect screenRect() override;
    CPoint mousePos() override;
    void setMousePos(int px, int py) override;
    CWin* winAtPos(int px, int py) override;

    bool embedView(CWin* win, long parent) override;
    void createTopLevel(CWin* win) override;
    void destroyView(CWin* win) override;
    bool hasView(CWin* win) override;
    void showWindow(CWin* win) override;
    void closeWindow(CWin* win) override;
    void placeWindow(CWin* win) override;
    CPoint windowPos(CWin* win) override;
    void invalidate(CWin* win) override;
    void setCapture(CWin*, bool) override {}
    void setCursor(CWin* win, int shape) override;
    CMenuEvent nextMenuEvent(CApp* app) override;
    void processEvents() override;
    void copyText(const CStr& text) override;
    CStr pasteText() override;

    bool connected() const { return display != nullptr; }
    /// X window id of win's view, or 0.
    unsigned long windowId(CWin* win);
    /// Whole-window repaints done so far.
    int paintCount() const { return paints; }

private:
    struct CView {
        CWin* win;
        bool embedded;
        bool mapped;
        bool dirty;
        unsigned long colormap;
        void* gc;
        cairo_surface_t* surface;
        int cursorShape;
    };

    CView* viewOf(CWin* win);
    CView* viewOfWindow(unsigned long xid);
    unsigned long createWindow(CWin* win, unsigned long parent, bool overrideRedirect,
                               unsigned long* colormap);
    void dispatch(XEvent& event);
    void answerSelectionRequest(XEvent& event);
    void paintDirty();
    void paintView(unsigned long xid, CView& v);
    void grabInput(unsigned long xid);
    void releaseInput();
    CWin* openMenuAt(CApp* app, int rootX, int rootY);
    bool trapErrors(unsigned long serialBefore);

    Display* display = nullptr;
    int screen = 0;
    void* visual = nullptr;
    int depth = 24;
    unsigned long selectionWindow = 0;
    unsigned long clipboardAtom = 0;
    unsigned long utf8Atom = 0;
    unsigned long targetsAtom = 0;
    unsigned long pasteAtom = 0;
    CStr clipboard;
    std::map<unsigned long, CView> views;
    std::map<int, unsigned long> cursors;
    int paints = 0;
};
