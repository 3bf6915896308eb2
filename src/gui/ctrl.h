// Base control: bounds inside its parent group, alignment, visibility, a timer slot and the
// event delegates through which an owner handles events without subclassing.
#pragma once

#include "foundation/object.h"
#include "graphics/geometry.h"
#include "gui/delegate.h"
#include "gui/platform.h"

class CApp;
class CGroup;
class CWin;

/// Type words of the control family.
enum { ctrlPlain = 1, ctrlGroup = 2, ctrlGroup2 = 3, ctrlWindow = 4 };

/// Alignment flags: keep the right or bottom edge, stretch, or place at a percentage.
enum {
    alignKeepRight = 8,
    alignKeepBottom = 16,
    alignStretchWidth = 0x200,
    alignStretchHeight = 0x400,
    alignPercentX = 0x800,
    alignPercentY = 0x1000,
};

/// Buttons word of the mouse handlers; the modifier bits share it.
enum { btnLeft = 1, btnRight = 2, btnDoubleClick = 8 };
enum { modShift = 16, modCommand = 32, modOption = 64 };

/// Key codes below 1; printable keys arrive as their character code.
enum {
    keyHome = -1,
    keyArrowLeft = -2,
    keyArrowUp = -3,
    keyArrowRight = -4,
    keyArrowDown = -5,
    keyEnd = -6,
    keyDelete = -7,
    keyBackspace = -8,
    keyEnter = -9,
    keyTab = -10,
    keyEscape = -11,
    keyPageUp = -12,
    keyPageDown = -13,
    keyCloseWindow = -18,
    keyZoomWindow = -25,
};

class CCtrl : public CObject {
public:
    explicit CCtrl(CWin* owner);
    ~CCtrl() override;
    CCtrl(const CCtrl&) = delete;
    CCtrl& operator=(const CCtrl&) = delete;

    virtual void redraw();
    virtual void paint(CGraphic* g, CRect r);
    virtual void mouseDown(int x, int y, int buttons);
    virtual void mouseMove(int x, int y, int buttons);
    virtual void mouseUp(int x, int y, int buttons);
    virtual bool keyDown(int key, int modifiers);
    virtual bool keyUp(int key, int modifiers);
    virtual void onTimer() {}
    virtual bool setFocus(bool focus) { return focus; }
    virtual bool mouseWheel(int x, int y, int state, int dx, int dy);
    virtual bool mouseOver(bool over, int, int) { return over; }
    virtual bool needUpdate() { return false; }
    virtual void _changed(CObject* obj, void* data);
    virtual void notify(CStr text, CObject* obj);
    virtual void setVisible(bool b) { visible = b; }

    void setBounds(int left, int top, int w, int h);
    void setAlign(int flags, int marginX, int marginY);
    CRect localRect() const { return asRect(0, 0, width, height); }
    bool containsLocal(int px, int py) const {
        return px >= 0 && px < width && py >= 0 && py < height;
    }

    bool visible = true;
    bool enabled = true;
    bool clip = false;
    int scrollX = 0;
    int scrollY = 0;
    CStr text;
    int align = 0;
    int alignX = 0;
    int alignY = 0;
    CWin* owner;
    CGroup* parent = nullptr;
    CPoint absPos{0, 0};
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int cursorShape = cursorArrow;
    bool wantsHover = false;
    bool tabStop = false;
    int timerInterval = 0;
    int timerLeft = 0;
    bool timerRepeat = false;

    COnChange* onChange = nullptr;
    COnPaint* onPaint = nullptr;
    COnMouse* onMouseDown = nullptr;
    COnMouse* onMouseMove = nullptr;
    COnMouse* onMouseUp = nullptr;
    COnKey* onKey = nullptr;
    COnKey* onKeyUp = nullptr;
    COnChange* onDrag = nullptr;
    COnMouse* onDrop = nullptr;
    COnMouse* onDragOver = nullptr;
    COnWheel* onWheel = nullptr;
    /// The owner's application (a window's own application).
    CApp* app;

private:
    void deleteDelegates();
};

inline CCtrl* asCtrl(void* p) {
    return static_cast<CCtrl*>(p);
}
bool isGroupCtrl(const CCtrl* c);
/// The control's rectangle in window coordinates, as of its last paint.
CRect ctrlBounds(const CCtrl* c);
