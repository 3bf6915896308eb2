// What the audio thread must not do, counted per thread: waiting (giving up the processor by
// itself, on a lock or asleep; being preempted does not count) and heap calls. Heap calls are
// counted by the test program's own C allocator functions
// (operator new and delete end in them too). The program exports them (ENABLE_EXPORTS), so a
// library it loads allocates through them as well. Builds with a sanitizer runtime, which owns
// the heap, count nothing (RWB_SANITIZER_RUNTIME).
#pragma once

#include <atomic>

namespace heapcount {
extern thread_local bool countingThisThread;
extern std::atomic<long> calls;
} // namespace heapcount

/// Heap calls made by fn on this thread.
template <typename Fn> long heapCallsOf(Fn fn) {
    long before = heapcount::calls.load();
    heapcount::countingThisThread = true;
    fn();
    heapcount::countingThisThread = false;
    return heapcount::calls.load() - before;
}

/// Times this thread gave up the processor by itself so far.
long voluntarySwitches();
