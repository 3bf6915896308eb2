// The LV2 instrument's X11 UI: the same editor as the VST plug-in's, inside the host's window,
// acting on the engine of the plug-in instance the host hands over (instance-access). The
// host's idle calls drive the library's idle service and the editor, as the VST editor-idle
// request does.
#include <cstdint>
#include <cstring>

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "editor/editorhost.h"
#include "editor/synthwin.h"
#include "engine/synth.h"
#include "lv2/lv2plugin.h"

namespace {
struct CLv2Ui {
    explicit CLv2Ui(CLv2Plugin* instance) : plugin(instance), editor(instance->engine()) {}
    CLv2Plugin* plugin;
    CEditorHost editor;
};

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; f++)
        if (std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function, LV2UI_Controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (!pluginUri || std::strcmp(pluginUri, RWB_LV2_URI) != 0) return nullptr;
    auto* instance =
        static_cast<CLv2Plugin*>(const_cast<void*>(featureData(features, LV2_INSTANCE_ACCESS_URI)));
    if (!instance) return nullptr;
    auto* ui = new CLv2Ui(instance);
    // without a parent (or a display) the editor exists without a view, as for VST
    ui->editor.open(const_cast<void*>(featureData(features, LV2_UI__parent)));
    if (widget)
        *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->editor.viewId()));
    const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    if (resize && resize->ui_resize)
        resize->ui_resize(resize->handle, CSynthWin::kWidth, CSynthWin::kHeight);
    return ui;
}

void cleanup(LV2UI_Handle handle) {
    delete static_cast<CLv2Ui*>(handle);
}

// Everything reaches the engine directly: the ports carry nothing the editor shows.
void portEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<CLv2Ui*>(handle);
    ui->plugin->idle();
    ui->editor.idle();
    return 0;
}

const LV2UI_Idle_Interface idleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {RWB_LV2_UI_URI, instantiate, cleanup, portEvent,
                                     extensionData};
} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
