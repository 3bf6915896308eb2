// Per-editor application object: bookkeeping of windows, menus and timers, the cross-window
// mouse state (hover, drag) and the drawing bracket that windows paint through.
#pragma once

#include "foundation/list.h"
#include "foundation/object.h"
#include "graphics/geometry.h"
// captionHeight, toolbarHeight, menuHeight and buttonHeight are the skin's layout constants
#include "graphics/skin_item.h"
#include "gui/delegate.h"

class CAppGui;
class CBitmap;
class CCtrl;
class CGraphic;
class CPlatform;
class CWin;
class CDragWin;

class CApp : public CObject {
public:
    /// Takes ownership of the platform; null gives the headless backend.
    explicit CApp(CPlatform* platformBackend = nullptr);
    ~CApp() override;
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;

    void addTimer(CCtrl* ctrl, int intervalMs, bool repeat);
    void killTimer(CCtrl* ctrl);
    /// One timer tick of 10 ms.
    void idle();
    bool startDraw(CWin* win, CGraphic** g, CRect r, bool direct);
    bool endDraw(CWin* win, CGraphic* g, CRect r, bool direct);
    void setHooverCtrl(CCtrl* ctrl, int x, int y);
    void updateHint(CCtrl* ctrl);
    void cancelHint();
    void killMenu(CWin* keep);
    void startDrag(CCtrl* ctrl);
    void endDrag();
    void nextWin(CWin* win, int modifiers);
    void run(CWin* win);
    /// Drains the platform's pending events; the editor's owner calls it from its idle.
    void processEvents();

    CPlatform* platform() const { return backend; }
    /// A surface to measure text on outside a paint pass.
    CGraphic* measureSurface();
    /// Forgets every reference the framework holds to ctrl; called as it is deleted.
    void forgetCtrl(CCtrl* ctrl);
    bool hasWin(const CWin* win) const { return allWindows.indexed(win) >= 0; }
    void registerWin(CWin* win);
    void unregisterWin(CWin* win);

    int cursor = 0;
    bool running = false;
    CList* menus;
    CList* windows;
    CList* timers;
    CList visibleWindows;
    CWin* mainWin = nullptr;
    CWin* activeMenu = nullptr;
    CDragWin* dragWin = nullptr;
    /// Hint window; this system never creates one.
    CWin* hintWin = nullptr;
    bool hintsEnabled = true;
    CCtrl* hintCtrl = nullptr;
    CCtrl* modalCtrl = nullptr;
    CCtrl* hoverCtrl = nullptr;
    COnChange* onHint = nullptr;
    bool useBackBuffer = true;
    CBitmap* backBuffer = nullptr;
    CAppGui* gui;
    COnChange* onDragEnd = nullptr;
    /// Key delegates consulted before any window's own handling.
    COnKey* onCtrlKey = nullptr;
    COnKey* onKey = nullptr;

private:
    CPlatform* backend;
    /// Every window alive in this application, shown or not.
    CList allWindows;
    CBitmap* measureBitmap = nullptr;
};

extern int borderSize;
extern int sleeptime;
extern int doubleClickTime;
extern int lastMouseTime;
extern int subMenuDelay;
extern CWin* lastWin;
extern CPoint lastMousePos;
extern int lastMouseBtn;
extern int lastModKey;
extern CCtrl* dragCtrl;
extern CCtrl* dragOverCtrl;
extern CList* dragList;

int screenWidth();
int screenHeight();
CRect screenRect();
CPoint mousePos();
void setMousePos(int x, int y);
CWin* winAtPos(int x, int y);
/// Platform timer callback: one application tick.
void eventLoopTimer(void* timer, CApp* app);
