// The host's side of a plug-in editor on X11: a top-level window to open the editor in, its
// close button, and the pixels it shows. Only the UI thread of rwhost touches it.
#pragma once

#include <string>

typedef struct _XDisplay Display;

class CHostWindow {
public:
    CHostWindow() = default;
    ~CHostWindow();
    CHostWindow(const CHostWindow&) = delete;
    CHostWindow& operator=(const CHostWindow&) = delete;

    /// Connects to DISPLAY and maps a window of the given size; false with a message in error.
    bool open(int width, int height, const char* title, std::string& error);
    /// The X window id a plug-in opens its editor in.
    unsigned long id() const { return window; }
    /// Handles the pending events of the host's connection; false once the window was closed.
    bool pump();
    /// Gives the window a new fixed size.
    void resize(int width, int height);
    /// Gives the window the size of its first child window, the editor, when it has one.
    void fitToChild();
    int width() const { return windowWidth; }
    int height() const { return windowHeight; }
    /// Returns once the server has handled every request of this connection.
    void sync();
    /// Writes what the window shows, the editor included, as a PNG file.
    bool savePng(const std::string& path, std::string& error);

private:
    Display* display = nullptr;
    unsigned long window = 0;
    unsigned long deleteAtom = 0;
    void fixSize();

    int windowWidth = 0;
    int windowHeight = 0;
    bool closed = false;
};
