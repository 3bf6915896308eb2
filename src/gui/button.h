// The simple controls: push button, text label, engraved separator and the caption buttons.
#pragma once

#include "gui/ctrl.h"

class CButton : public CCtrl {
public:
    explicit CButton(CWin* ownerWin) : CCtrl(ownerWin) {}
    void paint(CGraphic* g, CRect r) override;
    void mouseDown(int mx, int my, int buttons) override;
    /// A left-button release over the button is the click.
    void mouseUp(int mx, int my, int buttons) override;
    void setText(CStr caption) { text = caption; }
};

class CLabel : public CCtrl {
public:
    explicit CLabel(CWin* ownerWin);
    void paint(CGraphic* g, CRect r) override;
    void setText(CStr caption) { text = caption; }

    int textAlign = 2;
    /// Negative: the text colour of the window background item.
    int textColor = -1;
    int textFlags = 0;
    /// Negative: no background.
    int bkColor = -1;
};

enum { sepVertical = 2, sepHorizontal = 4 };

class CSeparator : public CCtrl {
public:
    explicit CSeparator(CWin* ownerWin) : CCtrl(ownerWin) {}
    void paint(CGraphic* g, CRect r) override;

    int orientation = sepHorizontal;
};

enum { winButtonClose = 1, winButtonMaximize = 2, winButtonMinimize = 3 };

class CWindowButton : public CButton {
public:
    explicit CWindowButton(CWin* ownerWin);
    void paint(CGraphic* g, CRect r) override;
    void mouseUp(int mx, int my, int buttons) override;

    CWin* window = nullptr;
    int kind = 0;
    CStr hint;
};
