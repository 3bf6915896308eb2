// A framework window: a group with a platform presence, an optional caption, and the routing
// of mouse and keyboard input to its controls.
#pragma once

#include "gui/group.h"

class CClientGroup;

/// Style bits of a window.
enum {
    wsChild = 1,
    wsCaption = 4,
    wsCentered = 8,
    wsFloating = 16,
    wsEscapeHides = 32,
    wsSizeable = 64,
    wsMinimizeButton = 128,
    wsMaximizeButton = 0x100,
    wsMinimized = 0x200,
    wsMaximized = 0x80000,
    wsNoBorder = 0x100000,
    wsKeysToParent = 0x200000,
    wsBorderOnly = 0x400000,
    wsRefuseChildKeys = 0x800000,
    wsDockable = 0x1000000,
    wsEmbedded = 0x8000000,
};

/// Hit codes of the window frame.
enum {
    hitNone = 0,
    hitLeft = 2,
    hitTop = 4,
    hitRight = 8,
    hitBottom = 16,
    hitTopLeft = 32,
    hitTopRight = 64,
    hitBottomLeft = 128,
    hitBottomRight = 256,
    hitCaption = 8192,
};

class CWin : public CGroup {
public:
    CWin(CApp* application, CWin* parentWin, int winStyle, CStr caption, int left, int top, int w,
         int h);
    ~CWin() override;

    using CGroup::paint;
    void redraw() override;
    void mouseDown(int mx, int my, int buttons) override;
    void mouseMove(int mx, int my, int buttons) override;
    void mouseUp(int mx, int my, int buttons) override;
    bool keyDown(int key, int modifiers) override;
    bool keyUp(int key, int modifiers) override;
    bool setFocus(bool focus) override;
    bool mouseWheel(int mx, int my, int state, int dx, int dy) override;
    void resized() override;
    void addControl(CCtrl* c) override;
    void clear() override;

    virtual void createHandle();
    virtual void destroyHandle();
    virtual void show(bool modal);
    virtual void raise(bool) {}
    virtual void showMenu();
    virtual void showModal();
    virtual void hide();
    /// The paint pass of the platform view: the whole window or the rectangle r.
    virtual void paint(int, CRect r);
    virtual CPoint getSize();
    virtual CPoint getPos(bool);
    virtual void setPos(int left, int top);
    virtual bool hasFocus();
    virtual void setKeyCtrl(CCtrl* ctrl);
    virtual void redrawRect(CRect r);
    virtual void menuAction(int) {}

    bool nextCtrl();
    void setMouseCtrl(CCtrl* ctrl) { mouseCtrl = ctrl; }
    CPoint controlPos(CCtrl* ctrl);
    int getHitPos(int px, int py);
    bool hasStyle(int bits) const { return (style & bits) != 0; }
    void setSize(int w, int h);
    void move(int left, int top, int w, int h);
    void maximize();
    void restore();
    void minimize();
    void setCaption(CStr caption);
    void setCapture(bool capture);
    void killCapture() { setCapture(false); }
    void setCursor(int shape);
    void dropAt(int px, int py, int buttons);
    int border() const;

    void drawCaption(CObject* sender, CGraphic* g, CRect r);
    void captionMouseDown(CObject* sender, int mx, int my, int buttons);
    void captionMouseUp(CObject* sender, int mx, int my, int buttons);

    CClientGroup* clientGroup;
    CGroup* captionGroup = nullptr;
    bool modifierAlone = false;
    void* handle = nullptr;
    void* view = nullptr;
    int hitPos = 0;
    bool deleteOnClose = false;
    COnChange* onShow = nullptr;
    CRect savedRect{0, 0, 0, 0};
    CCtrl* mouseCtrl = nullptr;
    CCtrl* keyCtrl = nullptr;
    int style;
    CGraphic* graphic;
    void* mdiOwner = nullptr;
    CList* childWindows;
    /// The window's own key delegate; CCtrl::onKey is consulted later, after the key control.
    COnKey* onKey = nullptr;
    CWin* parentWin;

private:
    void startMoveOrResize(int code);
    void trackMoveOrResize();
    void routeDrag();
    int cursorForHit(int code, int fallback) const;
};
