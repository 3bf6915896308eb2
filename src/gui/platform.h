// What the toolkit needs from the windowing system. One backend per build target: the X11
// backend for the plug-in, the headless backend for tests and for a missing display.
#pragma once

#include "foundation/str.h"
#include "graphics/geometry.h"

class CApp;
class CWin;

/// Outcome of one wait of a menu loop.
enum CMenuEvent {
    menuEventDispatched,   ///< an event went to its window; the loop ticks and goes on
    menuEventIdle,         ///< nothing arrived yet; the loop ticks and waits again
    menuEventOutsidePress, ///< a press outside every open menu: all menus close
    menuEventEscape,       ///< Escape: the loop ends, the menu stays as it is
    menuEventNoSource,     ///< nothing can ever arrive (no display): the loop ends
};

/// Mouse cursor shapes a window asks for. A control's shape is one of these; the resize shapes
/// are shown over a window's borders and corners.
enum CCursor {
    cursorParent = 0, ///< none set: the parent window's cursor
    cursorArrow = 1,
    cursorSizeLeft = 3,
    cursorSizeTop = 4,
    cursorSizeRight = 5,
    cursorSizeBottom = 6,
    cursorSizeTopRight = 7,
    cursorSizeTopLeft = 8,
    cursorSizeBottomLeft = 9,
    cursorSizeBottomRight = 10,
};

class CPlatform {
public:
    CPlatform() = default;
    CPlatform(const CPlatform&) = delete;
    CPlatform& operator=(const CPlatform&) = delete;
    virtual ~CPlatform() = default;

    virtual CRect screenRect() = 0;
    virtual CPoint mousePos() = 0;
    virtual void setMousePos(int x, int y) = 0;
    /// The framework window whose view lies under a screen point, or null.
    virtual CWin* winAtPos(int x, int y) = 0;

    /// Creates the view of win inside a host window; false leaves win without a view.
    virtual bool embedView(CWin* win, long parent) = 0;
    /// Creates the borderless top-level window of win.
    virtual void createTopLevel(CWin* win) = 0;
    /// Releases the view and window of win, whatever it has.
    virtual void destroyView(CWin* win) = 0;
    virtual bool hasView(CWin* win) = 0;
    virtual void showWindow(CWin* win) = 0;
    virtual void closeWindow(CWin* win) = 0;
    /// Places the platform window of win at its framework position and size.
    virtual void placeWindow(CWin* win) = 0;
    /// Top-left corner of win's view in screen coordinates.
    virtual CPoint windowPos(CWin* win) = 0;
    /// Marks win for a whole-window repaint on the next event pump.
    virtual void invalidate(CWin* win) = 0;
    virtual void setCapture(CWin* win, bool capture) = 0;
    virtual void setCursor(CWin* win, int shape) = 0;

    /// Waits for and dispatches one event while a menu is open.
    virtual CMenuEvent nextMenuEvent(CApp* app) = 0;
    /// Dispatches every pending event and repaints dirty windows without blocking.
    virtual void processEvents() = 0;

    virtual void copyText(const CStr& text) = 0;
    virtual CStr pasteText() = 0;
};

/// Backend of the process-wide screen functions: the platform of the newest live application,
/// else the headless one.
CPlatform* activePlatform();
