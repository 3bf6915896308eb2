// The LV2 instrument's X11 UI against a private X server, as a host embeds it: inside the host's
// window, given the plug-in instance, driven by the idle interface, opened and closed many
// times while the audio side runs. (Clicks reaching the instance: rwhost gui's tests.)
#include <gtest/gtest.h>

#include <cstdlib>

#include <lv2/instance-access/instance-access.h>

#include "lv2host.h"
#include "testinstall.h"

// after the LV2 headers: Xlib defines macros (Bool) that they use as names
#include <X11/Xlib.h>

using namespace lv2test;

namespace {
struct Resized {
    int width = 0, height = 0;
};

int resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* r = static_cast<Resized*>(handle);
    r->width = width;
    r->height = height;
    return 0;
}
} // namespace

class Lv2UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        library.addBundle(0, "ReWire.bundle");
        host = XOpenDisplay(nullptr);
        ASSERT_NE(host, nullptr);
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 40, 30, 400, 300, 0, 0,
                                     WhitePixel(host, DefaultScreen(host)));
        XMapWindow(host, parent);
        XSync(host, False);
        plugin = std::make_unique<Instance>(lib, uris);
        ASSERT_TRUE(plugin->valid());
        ASSERT_EQ(plugin->restore(chunkWith(0, 1, {0})), LV2_STATE_SUCCESS);
    }
    void TearDown() override {
        plugin.reset();
        if (host) {
            XDestroyWindow(host, parent);
            XCloseDisplay(host);
        }
    }

    LV2UI_Handle openUi(LV2UI_Widget& widget) {
        LV2UI_Resize resizer{&resized, resize};
        LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, plugin->handle};
        LV2_Feature resizeFeature{LV2_UI__resize, &resizer};
        LV2_Feature mapFeature{LV2_URID__map, &uris.map};
        const LV2_Feature* features[] = {&parentFeature, &instanceFeature, &resizeFeature,
                                         &mapFeature, nullptr};
        return lib.ui->instantiate(lib.ui, RWB_LV2_URI, RWB_LV2_BUNDLE, nullptr, nullptr, &widget,
                                   features);
    }
    bool isChildOfParent(Window w) {
        Window root = 0, up = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(host, w, &root, &up, &children, &count)) return false;
        if (children) XFree(children);
        return up == parent;
    }

    CTestInstall library;
    Library lib;
    UridMap uris;
    std::unique_ptr<Instance> plugin;
    Display* host = nullptr;
    Window parent = 0;
    Resized resized;
    const LV2UI_Idle_Interface* idle = nullptr;
};

TEST_F(Lv2UiTest, OpensInTheHostsWindowAHundredTimes) {
    idle = static_cast<const LV2UI_Idle_Interface*>(lib.ui->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);
    for (int i = 0; i < 100; i++) {
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui = openUi(widget);
        ASSERT_NE(ui, nullptr) << i;
        auto view = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
        ASSERT_NE(view, 0u) << i;
        EXPECT_TRUE(isChildOfParent(view)) << i;
        for (int n = 0; n < 3; n++)
            EXPECT_EQ(idle->idle(ui), 0);
        plugin->run(256); // the audio side goes on between the UI's calls
        lib.ui->cleanup(ui);
    }
    EXPECT_EQ(resized.width, 304);
    EXPECT_EQ(resized.height, 160);
}
