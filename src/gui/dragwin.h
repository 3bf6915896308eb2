// The small borderless window that follows the pointer during a drag and shows its text.
#pragma once

#include "gui/win.h"

class CDragWin : public CWin {
public:
    explicit CDragWin(CApp* application);
    void setText(const CStr& caption);
    CStr getText() const;

private:
    void paintText(CObject* sender, CGraphic* g, CRect r);
    CCtrl* label;
};
