// The editor's window: no platform window of its own, it lives as a view inside the host's
// window.
#pragma once

#include "gui/win.h"

class CPluginWin : public CWin {
public:
    CPluginWin(CApp* application, int w, int h);
    ~CPluginWin() override;

    void redraw() override;
    CPoint getPos(bool) override;
    void redrawRect(CRect r) override;
    /// Periodic work of the editor, run from the host's idle request.
    virtual void idle() {}

    /// Places the window inside the host's window; 0 (or a window that cannot be used) leaves
    /// it without a view.
    void reparent(long parentId);
    bool createWinAsControl(long parentId);
    bool hasView() const;
};
