// The X11 UI of an LV2 plug-in, found in lilv's list of the plug-in's UIs and loaded from its
// binary: ui:parent, instance-access, ui:resize and the idle interface.
#pragma once

#include <lilv/lilv.h>
#include <lv2/ui/ui.h>

#include <string>
#include <vector>

class CLv2Ui {
public:
    CLv2Ui() = default;
    CLv2Ui(const CLv2Ui&) = delete;
    CLv2Ui& operator=(const CLv2Ui&) = delete;
    ~CLv2Ui() { close(); }

    /// Where an X11 UI of a plug-in is.
    struct Files {
        std::string uri;
        std::string binary;
        std::string bundle;
    };
    /// The plug-in's first X11 UI; false when it has none.
    static bool find(LilvWorld* world, const LilvPlugin* plugin, Files& files);

    /// Instantiates the UI in the parent window; hostFeatures (null-terminated) are offered
    /// besides the UI's own. False with the reason in error.
    bool open(LilvWorld* world, const LilvPlugin* plugin, LV2_Handle dsp,
              const LV2_Feature* const* hostFeatures, unsigned long parent, std::string& error);
    /// The size the UI asked for through ui:resize.
    bool size(int& w, int& h) const;
    /// The UI's idle call; false once it asks to be closed.
    bool idle();
    void close();

private:
    static int resize(LV2UI_Feature_Handle self, int w, int h);
    static void write(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Handle handle = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    LV2UI_Resize resizeData{};
    int width = 0;
    int height = 0;
};
