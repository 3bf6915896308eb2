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
    /// Returns once the server has handled every request of this connection.
    void sync();
    /// Writes what the window shows, the editor included, as a PNG file.
    bool savePng(const std::string& path, std::string& error);

private:
    Display* display = nullptr;
    unsigned long window = 0;
    unsigned long deleteAtom = 0;
    int width = 0;
    int height = 0;
    bool closed = false;
};
