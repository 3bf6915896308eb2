// Counts every heap call the audio thread makes while it renders blocks with MIDI and the UI
// side switches devices and formats. The C allocator functions of this binary are replaced by
// counting ones that forward to the C library, which operator new and delete end in too; a
// thread-local flag marks the audio calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "plughost.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {
thread_local bool countingThisThread = false;
std::atomic<long> heapCalls{0};

void count() {
    if (countingThisThread) heapCalls.fetch_add(1, std::memory_order_relaxed);
}

// Heap calls made by fn on this thread.
template <typename Fn> long heapCallsOf(Fn fn) {
    long before = heapCalls.load();
    countingThisThread = true;
    fn();
    countingThisThread = false;
    return heapCalls.load() - before;
}
} // namespace

extern "C" {
void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* block, size_t size) {
    count();
    return __libc_realloc(block, size);
}
void free(void* block) {
    if (block) count();
    __libc_free(block);
}
}

using namespace stress;

TEST(AudioThreadAllocations, NoneOverTenThousandBlocksWithUiChanges) {
    // The counter sees allocations made through every route the code could take.
    void* (*volatile cMalloc)(size_t) = malloc;
    EXPECT_EQ(heapCallsOf([&] { free(cMalloc(24)); }), 2);
    EXPECT_EQ(heapCallsOf([] { operator delete(operator new(24)); }), 2);
    EXPECT_GE(heapCallsOf([] { CStr text("long enough to need the heap for sure"); }), 1);

    CTestInstall library;
    library.addBundle(0, "ReWire.bundle", "1.8.0", faultRegistry());
    Plugin plugin;
    CSynth& synth = plugin.synth();
    synth.addMapRow(-1);
    synth.addMapRow(-1);

    std::atomic<bool> done{false};
    std::atomic<int> rendered{0};
    long audioCalls = 0;
    int sounding = 0;
    std::thread audio([&] {
        Outputs out;
        EventList notes(noteRun(32, 256));
        for (int n = 0; n < 10000; n++) {
            int frames = n % 3 ? 256 : 2000;
            audioCalls += heapCallsOf([&] { plugin.process(out, frames, notes.get()); });
            if (out.peak(frames) > 0) sounding++;
            rendered++;
        }
        done.store(true);
    });
    static const int kFrames[] = {256, 64, 1024, 4096};
    long step = 0;
    for (; !done.load(); step++) {
        synth.setDevice(int(step % kDeviceCount));
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, step % 2 ? 48000.0f : 44100.0f);
        plugin.dispatch(effSetBlockSize, 0, kFrames[step % 4]);
        plugin.dispatch(effEditIdle);
        // Lets a few blocks through with each device and format before the next change.
        for (int until = rendered.load() + 8; rendered.load() < until && !done.load();)
            std::this_thread::yield();
    }
    audio.join();
    printf("10000 blocks (%d with sound), %ld UI rounds, %ld heap calls on the audio thread\n",
           sounding, step, audioCalls);
    EXPECT_EQ(audioCalls, 0);
    // The blocks did reach the devices, not only the closed gate.
    EXPECT_GT(sounding, 0);
}
