// Single-line text field: caret, selection, word moves, clipboard, and commit or cancel when
// the field loses the keyboard focus.
#pragma once

#include "gui/ctrl.h"

class CEdit : public CCtrl {
public:
    explicit CEdit(CWin* ownerWin);
    ~CEdit() override;

    void paint(CGraphic* g, CRect r) override;
    void mouseDown(int mx, int my, int state) override;
    void mouseMove(int mx, int my, int state) override;
    bool keyDown(int key, int state) override;
    bool setFocus(bool focus) override;

    /// Everything selected, caret at the end.
    void selectAll();
    void deleteSelection();
    CStr selectedText() const;
    /// Caret index for a text x position (0 = the left end of the text).
    int XToPos(int tx);
    void copyText(const CStr& s);
    CStr pasteText();
    bool hasFocus() const;

    int caret = -1;
    int anchor = 0;
    /// Signed count of selected characters from the caret; negative: to its left.
    int selection = 0;
    int scroll = 0;
    CStr savedText;
    bool unusedFlag = true;
    bool selectAllOnFocus = false;
    bool notifyOnlyIfChanged = true;
    bool commitNeedsEnter = false;
    bool liveChange = false;
    bool uppercase = false;
    bool cancelled = false;
    bool drawBackground = true;
    bool focusOnClick = true;
    /// Called with each typed character before insertion; may change or clear it.
    COnKey* onChar = nullptr;

private:
    bool specialKey(int key, int state);
    bool commandKey(int key);
    void typeChar(int key, int state);
    void selectWordAt(int p);
    int nextWordStep() const;
    int measure(const CStr& s);
    int measureFirst(int n) { return measure(text.sub(0, n)); }
    void paintFocused(CGraphic* g, CRect r);
};

/// Characters from pos back to the start of the previous word (space and "/" separate words).
int priorSpace(const CStr& s, int pos);
