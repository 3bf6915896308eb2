// Opens, uses and closes the plug-in a thousand times in one process. Under LeakSanitizer any
// leak fails the run at exit; in plain builds the heap in use must not grow.
#include <gtest/gtest.h>

#include <malloc.h>

#include "plughost.h"

using namespace stress;

namespace {

// One session as a host runs it: open, choose a device, play, save and restore, close.
void session(int n) {
    Plugin plugin;
    plugin.synth().setDevice(n % 3);
    plugin.synth().addMapRow(-1);
    Outputs out;
    NoteEvents notes(4, 64);
    plugin.process(out, 64, notes.get());
    plugin.setChunk(plugin.chunk());
    // Every other session also opens the editor and closes the plug-in with it still open.
    if (n % 2) plugin.dispatch(effEditOpen);
    plugin.dispatch(effEditIdle);
}

size_t heapInUse() {
    return mallinfo2().uordblks;
}
} // namespace

TEST(Lifetime, ThousandOpenCloseCyclesLeaveTheHeapWhereItWas) {
    CTestInstall library;
    library.addBundle(0, "ReWire.bundle");
    // The first sessions fill one-time caches of the C and C++ runtimes.
    for (int n = 0; n < 10; n++)
        session(n);
    size_t before = heapInUse();
    for (int n = 0; n < 1000; n++)
        session(n);
    size_t after = heapInUse();
    printf("heap in use: %zu bytes before, %zu after 1000 sessions\n", before, after);
    if (!kSanitizerRuntime) {
        EXPECT_LE(after, before + 4096);
    }
}
