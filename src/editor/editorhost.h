// The editor's lifetime inside a host's window: the application object and the editor window
// exist from open to close, and the host's idle request refreshes them and handles their
// events. Each plug-in format owns one; every open builds the editor anew from the engine.
#pragma once

class CApp;
class CSynthControl;
class CSynthWin;

class CEditorHost {
public:
    explicit CEditorHost(CSynthControl* engine) : synth(engine) {}
    ~CEditorHost() { close(); }
    CEditorHost(const CEditorHost&) = delete;
    CEditorHost& operator=(const CEditorHost&) = delete;

    /// Builds the editor inside the host's window parentView (an X11 window id); does nothing
    /// while an editor exists. Without a usable display the editor exists without a view.
    void open(void* parentView);
    void close();
    /// The open editor's refresh (mapping rows, meters) and its window events.
    void idle();
    CSynthWin* getWindow() const { return editor; }
    /// The X window id of the open editor's view; 0 without one.
    unsigned long viewId() const;

private:
    CSynthControl* synth;
    // both set or both null
    CApp* app = nullptr;
    CSynthWin* editor = nullptr;
};
