// The windowing backend the editor opens inside a host's window.
#pragma once

class CPlatform;
class CWin;

/// A new backend on its own X connection; without a display it gives windows no view.
CPlatform* newEditorPlatform();
/// The X window id of win's view on a backend made by newEditorPlatform, or 0.
unsigned long editorViewId(CPlatform* platform, CWin* win);
