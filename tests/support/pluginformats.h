// The formats the same instrument ships in, for tests that run each case through both: the
// VST 2.4 plug-in and the LV2 bundle, as rwhost takes them. The test's build names the paths.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct PluginFormat {
    const char* name;
    const char* plugin; ///< what rwhost is given
    bool loops;         ///< the host's loop reaches the plug-in (LV2 has no loop locators)
};

inline const PluginFormat kPluginFormats[] = {
    {"VST", RWB_PLUGIN_PATH, true},
    {"LV2", RWB_LV2_BUNDLE_PATH, false},
};

inline void PrintTo(const PluginFormat& format, std::ostream* to) {
    *to << format.name;
}

/// Names the instances of a parameterized test after the format.
inline std::string formatName(const ::testing::TestParamInfo<PluginFormat>& info) {
    return info.param.name;
}
