#include "lv2ui.h"

#include <dlfcn.h>

#include <lv2/instance-access/instance-access.h>

#include "lilvnode.h"

namespace {

/// The path of a file URI; empty for other URIs.
std::string pathOf(const LilvNode* uri) {
    char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
    const std::string text = path ? path : "";
    lilv_free(path);
    return text;
}

} // namespace

bool CLv2Ui::find(LilvWorld* world, const LilvPlugin* plugin, Files& files) {
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    if (!uis) return false;
    CNode x11(world, LV2_UI__X11UI);
    bool found = false;
    LILV_FOREACH(uis, i, uis) {
        const LilvUI* ui = lilv_uis_get(uis, i);
        if (!lilv_ui_is_a(ui, x11.get())) continue;
        files = {lilv_node_as_uri(lilv_ui_get_uri(ui)), pathOf(lilv_ui_get_binary_uri(ui)),
                 pathOf(lilv_ui_get_bundle_uri(ui))};
        found = true;
        break;
    }
    lilv_uis_free(uis);
    return found;
}

bool CLv2Ui::open(LilvWorld* world, const LilvPlugin* plugin, LV2_Handle dsp,
                  const LV2_Feature* const* hostFeatures, unsigned long parent,
                  std::string& error) {
    close();
    Files files;
    if (!find(world, plugin, files)) {
        error = "the plug-in has no X11 UI";
        return false;
    }
    library = dlopen(files.binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = dlerror();
        return false;
    }
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    for (uint32_t i = 0; entry && !descriptor; ++i) {
        const LV2UI_Descriptor* d = entry(i);
        if (!d) break;
        if (files.uri == d->URI) descriptor = d;
    }
    if (!descriptor) {
        error = files.binary + " does not describe the UI " + files.uri;
        close();
        return false;
    }
    resizeData = {this, &CLv2Ui::resize};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
    const LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, dsp};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resizeData};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    std::vector<const LV2_Feature*> features{&parentFeature, &instanceFeature, &resizeFeature,
                                             &idleFeature};
    for (const LV2_Feature* const* f = hostFeatures; f && *f; ++f)
        features.push_back(*f);
    features.push_back(nullptr);
    LV2UI_Widget widget = nullptr;
    const char* pluginUri = lilv_node_as_uri(lilv_plugin_get_uri(plugin));
    handle = descriptor->instantiate(descriptor, pluginUri, files.bundle.c_str(), &CLv2Ui::write,
                                     this, &widget, features.data());
    if (!handle) {
        error = "the UI could not be made";
        close();
        return false;
    }
    if (descriptor->extension_data)
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
    return true;
}

int CLv2Ui::resize(LV2UI_Feature_Handle self, int w, int h) {
    auto* ui = static_cast<CLv2Ui*>(self);
    if (w <= 0 || h <= 0) return 1;
    ui->width = w;
    ui->height = h;
    return 0;
}

bool CLv2Ui::size(int& w, int& h) const {
    if (width <= 0 || height <= 0) return false;
    w = width;
    h = height;
    return true;
}

bool CLv2Ui::idle() {
    if (!handle) return false;
    return !idleInterface || idleInterface->idle(handle) == 0;
}

void CLv2Ui::close() {
    if (handle && descriptor) descriptor->cleanup(handle);
    handle = nullptr;
    descriptor = nullptr;
    idleInterface = nullptr;
    if (library) dlclose(library);
    library = nullptr;
    width = height = 0;
}
