// The engine's side of the editor: it owns the editor's application object and window while
// the host keeps the editor open, and drives them from the host's idle request.
#include <cstdint>

#include "editor/editorplatform.h"
#include "editor/synthwin.h"
#include "engine/synth.h"
#include "gui/app.h"

void CSynth::openEditor(int, void* parentView) {
    if (editor) return;
    app = new CApp(newEditorPlatform());
    editor = new CSynthWin(app, this);
    app->mainWin = editor;
    editor->reparent(static_cast<long>(reinterpret_cast<intptr_t>(parentView)));
    editor->show(true);
}

void CSynth::closeEditor() {
    if (!editor) return;
    editor->hide();
    delete editor;
    editor = nullptr;
    delete app;
    app = nullptr;
}

void CSynth::idleEditor() {
    if (!editor) return;
    editor->idle();
    // the host gives the editor no thread of its own: its X events are handled here
    app->processEvents();
}
