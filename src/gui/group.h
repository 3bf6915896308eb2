// Controls that hold controls: alignment of children, hit-testing and clipped painting.
#pragma once

#include "foundation/list.h"
#include "gui/ctrl.h"

class CScrollbar;

class CGroup : public CCtrl {
public:
    explicit CGroup(CWin* ownerWin);
    ~CGroup() override;

    void paint(CGraphic* g, CRect r) override;
    /// Alignment pass over the children, recursing into nested groups.
    virtual void resized();
    virtual void addControl(CCtrl* c);
    /// Removes and deletes every child, first to last.
    virtual void clear();

    /// The control under a point of the group's content, or null.
    CCtrl* controlAtPos(int px, int py);
    void paintControls(CGraphic* g, CRect r, int ox, int oy);
    int count() const { return controls->getCount(); }
    CCtrl* control(int i) const { return asCtrl(controls->items(i)); }

    int bkColor = -1;
    CList* controls;

protected:
    void alignChildren();
};

void paintCtrl(CGraphic* g, CCtrl* c, CPoint origin, CRect r);

/// A group painted with the panel skin item.
class CPanel : public CGroup {
public:
    explicit CPanel(CWin* ownerWin) : CGroup(ownerWin) {}
    void paint(CGraphic* g, CRect r) override;
};

/// The group that holds a window's controls; it reports changes to the window.
class CClientGroup : public CGroup {
public:
    explicit CClientGroup(CWin* ownerWin) : CGroup(ownerWin) {}
    void _changed(CObject* obj, void* data) override;
    void notify(CStr text, CObject* obj) override;
};

/// A clipped content group with a horizontal and a vertical scrollbar.
class CScrollPanel : public CGroup {
public:
    explicit CScrollPanel(CWin* ownerWin);

    void paint(CGraphic* g, CRect r) override;
    void resized() override;
    void clear() override;

    void setScroll();
    void scrollXChanged(CObject* sender);
    void scrollYChanged(CObject* sender);

    CScrollbar* hScroll;
    CScrollbar* vScroll;
    CGroup* client;
    int contentWidth = 300;
    int contentHeight = 300;
};
