#include "gui/edit.h"
#include "gui_fixture.h"

namespace {
struct Changes {
    void change(CObject*) { count++; }
    int count = 0;
};
} // namespace

// The text field's core: selection, typing over it, leaving with Escape or Enter, the clipboard.
// The plug-in's own dropdowns are not editable, so the field's options are not covered here.
class EditField : public GuiTest {
protected:
    EditField() {
        edit->setBounds(0, 0, 200, 20);
        edit->onChange = new _COnChange<Changes>(&changes, &Changes::change);
        win.addControl(edit);
        win.show(false);
        win.setFocus(true);
    }
    void focusWith(const char* s) {
        edit->text = s;
        win.setKeyCtrl(edit);
        edit->caret = edit->text.length() - 1;
        edit->selection = 0;
    }
    void type(const char* s) {
        for (; *s; s++)
            win.keyDown(*s, 0);
    }
    CWin win{&app, nullptr, wsNoBorder, "", 0, 0, 300, 100};
    CEdit* edit = new CEdit(&win);
    Changes changes;
};

TEST_F(EditField, ShiftLeftSelectsBackwards) {
    focusWith("abc");
    win.keyDown(keyArrowLeft, modShift);
    win.keyDown(keyArrowLeft, modShift);
    EXPECT_EQ(edit->caret, 0);
    EXPECT_EQ(edit->selection, 2);
    EXPECT_EQ(edit->selectedText(), CStr("bc"));
    win.keyDown('X', 0);
    EXPECT_EQ(edit->text, CStr("aX"));
    win.keyDown(keyHome, modShift);
    EXPECT_EQ(edit->selectedText(), CStr("aX"));
    win.keyDown(keyArrowRight, 0);
    EXPECT_EQ(edit->caret, 0);
    EXPECT_EQ(edit->selection, 0);
    win.keyDown(keyEnd, modShift);
    EXPECT_EQ(edit->selectedText(), CStr("X"));
}

TEST_F(EditField, EscapeRestoresAndUnchangedFocusLossIsSilent) {
    focusWith("keep");
    type("xy");
    EXPECT_EQ(edit->text, CStr("keepxy"));
    win.keyDown(keyEscape, 0);
    EXPECT_EQ(edit->text, CStr("keep"));
    EXPECT_EQ(win.keyCtrl, nullptr);
    EXPECT_EQ(changes.count, 0);

    focusWith("keep");
    win.setKeyCtrl(nullptr);
    EXPECT_EQ(changes.count, 0);

    focusWith("keep");
    type("s");
    win.keyDown(keyEnter, 0);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(edit->text, CStr("keeps"));
}

TEST_F(EditField, ClipboardCutCopyPasteAndUndo) {
    focusWith("hello world");
    win.keyDown('a', modCommand);
    win.keyDown('c', modCommand);
    EXPECT_EQ(processClipboard(), CStr("hello world"));
    win.keyDown(keyEnd, 0);
    win.keyDown(keyArrowLeft, modShift | modCommand);
    win.keyDown('X', modCommand);
    EXPECT_EQ(edit->text, CStr("hello "));
    EXPECT_EQ(platform->pasteText(), CStr("world"));
    win.keyDown(keyHome, 0);
    win.keyDown('v', modCommand);
    EXPECT_EQ(edit->text, CStr("worldhello "));
    EXPECT_EQ(edit->caret, 4);
    win.keyDown('z', modCommand);
    EXPECT_EQ(edit->text, CStr("hello world"));
    EXPECT_EQ(edit->selectedText(), CStr("hello world"));
}
