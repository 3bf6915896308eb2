#include "editor/editorhost.h"

#include <cstdint>

#include "editor/editorplatform.h"
#include "editor/synthwin.h"
#include "gui/app.h"

void CEditorHost::open(void* parentView) {
    if (editor) return;
    app = new CApp(newEditorPlatform());
    editor = new CSynthWin(app, synth);
    app->mainWin = editor;
    editor->reparent(static_cast<long>(reinterpret_cast<intptr_t>(parentView)));
    editor->show(true);
}

void CEditorHost::close() {
    if (!editor) return;
    editor->hide();
    delete editor;
    editor = nullptr;
    delete app;
    app = nullptr;
}

void CEditorHost::idle() {
    if (!editor) return;
    editor->idle();
    // the host gives the editor no thread of its own: its X events are handled here
    app->processEvents();
}

unsigned long CEditorHost::viewId() const {
    return editor ? editorViewId(app->platform(), editor) : 0;
}
