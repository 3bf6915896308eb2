// Releases the process-wide caches of Cairo and fontconfig after the last test, so leak
// checkers report only what our own code leaves behind.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace {
class CairoCleanup : public testing::Environment {
public:
    void TearDown() override {
        cairo_debug_reset_static_data();
        FcFini();
    }
};

testing::Environment* const cleanup = testing::AddGlobalTestEnvironment(new CairoCleanup);
} // namespace
