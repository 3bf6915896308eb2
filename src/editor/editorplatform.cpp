#include "editor/editorplatform.h"

#include "platform/x11/x11_platform.h"

CPlatform* newEditorPlatform() {
    return new CX11Platform;
}
