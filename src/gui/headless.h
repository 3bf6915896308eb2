// Backend without a display: windows live only as framework objects. Tests script the events
// that a menu loop receives and read back what the framework asked of the platform.
#pragma once

#include <deque>
#include <functional>
#include <map>

#include "foundation/list.h"
#include "gui/platform.h"

class CHeadlessPlatform : public CPlatform {
public:
    CRect screenRect() override { return screen; }
    CPoint mousePos() override { return pointer; }
    void setMousePos(int px, int py) override { pointer = asPoint(px, py); }
    CWin* winAtPos(int px, int py) override;

    bool embedView(CWin* win, long parent) override;
    void createTopLevel(CWin* win) override;
    void destroyView(CWin* win) override;
    bool hasView(CWin* win) override;
    void showWindow(CWin* win) override;
    void closeWindow(CWin* win) override;
    void placeWindow(CWin*) override {}
    CPoint windowPos(CWin* win) override;
    void invalidate(CWin* win) override;
    void setCapture(CWin*, bool capture) override { captured = capture; }
    void setCursor(CWin*, int shape) override { cursor = shape; }
    CMenuEvent nextMenuEvent(CApp* app) override;
    void processEvents() override {}
    void copyText(const CStr& text) override;
    CStr pasteText() override;

    /// Steps a menu loop takes, one per wait; with none left the loop ends.
    std::deque<std::function<CMenuEvent()>> menuScript;
    std::map<const CWin*, int> invalidations;
    CRect screen{0, 0, 1920, 1080};
    CPoint pointer{0, 0};
    bool captured = false;
    int cursor = 0;
    int menuWaits = 0;

private:
    CList shown;
    CList withView;
};

/// The clipboard of a process without a display.
void setProcessClipboard(const CStr& text);
CStr processClipboard();
