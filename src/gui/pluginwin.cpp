#include "gui/pluginwin.h"

#include "gui/app.h"
#include "gui/platform.h"

CPluginWin::CPluginWin(CApp* application, int w, int h)
    : CWin(application, nullptr, wsEmbedded | wsNoBorder, "", 0, 0, w, h) {}

CPluginWin::~CPluginWin() {
    // detach the view now, so no event reaches this window once it is gone
    app->platform()->destroyView(this);
    view = nullptr;
}

bool CPluginWin::hasView() const {
    return app->platform()->hasView(const_cast<CPluginWin*>(this));
}

void CPluginWin::redraw() {
    if (hasView()) app->platform()->invalidate(this);
}

void CPluginWin::redrawRect(CRect) {
    redraw();
}

CPoint CPluginWin::getPos(bool) {
    return app->platform()->windowPos(this);
}

void CPluginWin::reparent(long parentId) {
    if (parentId == 0 || !createWinAsControl(parentId)) return;
    resized();
    style |= wsChild;
}

bool CPluginWin::createWinAsControl(long parentId) {
    return app->platform()->embedView(this, parentId);
}
