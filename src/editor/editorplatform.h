// The windowing backend the editor opens inside a host's window.
#pragma once

class CPlatform;

/// A new backend on its own X connection; without a display it gives windows no view.
CPlatform* newEditorPlatform();
