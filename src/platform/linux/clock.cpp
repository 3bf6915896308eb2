#include <cerrno>
#include <cstdint>
#include <ctime>

#include "foundation/os.h"

int asTimeInMS() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint64_t ms =
        static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
    return static_cast<int>(static_cast<uint32_t>(ms));
}

void asSleep(int ms) {
    if (ms <= 0) return;
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
