#include "editor/editorplatform.h"

#include "platform/x11/x11_platform.h"

CPlatform* newEditorPlatform() {
    return new CX11Platform;
}

unsigned long editorViewId(CPlatform* platform, CWin* win) {
    return platform ? static_cast<CX11Platform*>(platform)->windowId(win) : 0;
}
