// Selection control: a closed box showing the selected entry, and a pop-up list window with
// its own menu loop. Arrow mode 2 steps through the entries without opening the list.
#pragma once

#include "foundation/stringlist.h"
#include "gui/edit.h"

class CScrollbar;
struct CGuiItem2;

/// Rewrites the text shown for an entry.
class COnText {
public:
    virtual ~COnText() = default;
    virtual void operator()(CObject* sender, CStr& text, int index) = 0;
};

template <class T> class _COnText : public COnText {
public:
    typedef void (T::*Handler)(CObject*, CStr&, int);
    _COnText(T* object, Handler method) : target(object), handler(method) {}
    void operator()(CObject* sender, CStr& s, int i) override { (target->*handler)(sender, s, i); }

private:
    T* target;
    Handler handler;
};

enum { arrowNone = 0, arrowDown = 1, arrowSteps = 2 };
enum { bkItem = -1, bkNone = -2, bkOutline = -3 };

class CDropdown : public CEdit {
public:
    explicit CDropdown(CWin* ownerWin);
    ~CDropdown() override;

    void paint(CGraphic* g, CRect r) override;
    void mouseDown(int mx, int my, int state) override;
    void mouseUp(int mx, int my, int state) override;
    bool mouseWheel(int mx, int my, int state, int dx, int dy) override;
    virtual int count();
    virtual int numItems() { return count(); }
    virtual CStr defaultText();
    virtual void add(CStr s);
    virtual CStr getItemText(int i);
    virtual void drawBkgnd(CGraphic* g, CRect r);

    /// Opens the pop-up list and returns when it closes.
    void drop();
    /// Moves the highlight of the open list and scrolls it into view.
    void setIndex(int i, bool redrawList);

    static constexpr int rowHeight = 16;

    CGuiItem2* item = nullptr;
    CStringList* items;
    int arrowMode = arrowDown;
    int bkMode = bkItem;
    int textColor = -1;
    /// Number of entries when they are not held in items.
    int entryCount = 0;
    int alignFlags = 2;
    int listWidth = -1;
    bool listMode = true;
    bool editable = false;
    int visibleRows = 8;
    CWin* popup = nullptr;
    CCtrl* rows = nullptr;
    CScrollbar* scrollbar = nullptr;
    bool accepted = false;
    bool arrowOnHover = false;
    int index = 0;
    int highlight = -1;
    COnText* onText = nullptr;
    COnChange* onBeforeDrop = nullptr;
    COnChange* onLeftButton = nullptr;

private:
    CStr shownText(int i);
    int rowAt(int ry) const;
    void selectEntry(int i);
    void redrawRows(CObject* sender);
    void paintRows(CObject* sender, CGraphic* g, CRect r);
    void rowMouseDown(CObject* sender, int mx, int my, int state);
    void rowMouseMove(CObject* sender, int mx, int my, int state);
    void rowMouseUp(CObject* sender, int mx, int my, int state);
    bool listKey(CObject* sender, int& key, int state);
    bool listWheel(CObject* sender, int mx, int my, int state, int dx, int dy);
};
