#include "rtcheck.h"

#include <sys/resource.h>

#include <cstddef>

namespace heapcount {
thread_local bool countingThisThread = false;
std::atomic<long> calls{0};
} // namespace heapcount

long voluntarySwitches() {
    rusage usage;
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

#if !RWB_SANITIZER_RUNTIME
static void countHeapCall() {
    if (heapcount::countingThisThread) heapcount::calls.fetch_add(1, std::memory_order_relaxed);
}
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    countHeapCall();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    countHeapCall();
    return __libc_calloc(n, size);
}
void* realloc(void* block, size_t size) {
    countHeapCall();
    return __libc_realloc(block, size);
}
void free(void* block) {
    if (block) countHeapCall();
    __libc_free(block);
}
}
#endif
