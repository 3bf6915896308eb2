#include "graphics/graphic.h"
#include "gui/edit.h"
#include "gui_fixture.h"

namespace {
struct Changes {
    void change(CObject*) { count++; }
    int count = 0;
};
} // namespace

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
    /// Window x of the middle of character i.
    int middleOf(int i) {
        CGraphic* g = app.measureSurface();
        return 4 + g->textWidth(edit->text.sub(0, i)) + g->textWidth(edit->text.sub(i, 1)) / 2;
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

TEST_F(EditField, DeleteBackspaceAndWordMoves) {
    focusWith("path/to");
    win.keyDown(keyBackspace, modCommand);
    EXPECT_EQ(edit->text, CStr("path/"));
    win.keyDown(keyBackspace, 0);
    EXPECT_EQ(edit->text, CStr("path"));
    win.keyDown(keyHome, 0);
    win.keyDown(keyDelete, 0);
    EXPECT_EQ(edit->text, CStr("ath"));
    win.keyDown(keyBackspace, 0);
    EXPECT_EQ(edit->text, CStr("ath"));

    focusWith("one two  three");
    win.keyDown(keyHome, 0);
    win.keyDown(keyArrowRight, modCommand);
    EXPECT_EQ(edit->caret, 3);
    win.keyDown(keyArrowRight, modCommand);
    EXPECT_EQ(edit->caret, 8);
    win.keyDown(keyArrowLeft, modCommand);
    EXPECT_EQ(edit->caret, 3);
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

TEST_F(EditField, CommitNeedsEnterDiscardsOtherExits) {
    edit->commitNeedsEnter = true;
    focusWith("a");
    type("b");
    win.setKeyCtrl(nullptr);
    EXPECT_EQ(changes.count, 0);
    focusWith("a");
    type("b");
    win.keyDown(keyEnter, 0);
    EXPECT_EQ(changes.count, 1);
}

TEST_F(EditField, LiveChangeUppercaseAndCharacterFilter) {
    struct Filter {
        bool digitsOnly(CObject*, int& key, int) {
            if (key < '0' || key > '9') key = 0;
            return true;
        }
    } filter;
    edit->liveChange = true;
    edit->uppercase = true;
    focusWith("");
    type("ab");
    EXPECT_EQ(edit->text, CStr("AB"));
    EXPECT_EQ(changes.count, 2);
    edit->onChar = new _COnKey<Filter>(&filter, &Filter::digitsOnly);
    type("c1");
    EXPECT_EQ(edit->text, CStr("AB1"));
    EXPECT_EQ(changes.count, 3);
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

TEST_F(EditField, ClicksPlaceTheCaretAndDoubleClickSelectsAWord) {
    edit->text = "one two";
    win.mouseDown(middleOf(5) + 1, 5, btnLeft);
    EXPECT_EQ(win.keyCtrl, edit);
    EXPECT_EQ(edit->caret, 5);
    win.mouseMove(middleOf(1) - 1, 5, btnLeft);
    EXPECT_EQ(edit->selectedText(), CStr("ne tw"));
    win.mouseUp(middleOf(1) - 1, 5, btnLeft);
    win.mouseDown(middleOf(5), 5, btnLeft | btnDoubleClick);
    EXPECT_EQ(edit->selectedText(), CStr("two"));
    win.mouseDown(2, 5, btnLeft | btnDoubleClick);
    EXPECT_EQ(edit->selectedText(), CStr("one"));
}
