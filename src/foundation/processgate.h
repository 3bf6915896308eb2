// Keeps the audio thread out of shared state while the UI side changes it, without the audio
// thread ever waiting: a block that finds the gate closed renders nothing.
#pragma once

#include <atomic>
#include <mutex>

#include "foundation/os.h"

class CProcessGate {
public:
    /// Audio side: false while the UI side holds the gate closed. Never blocks.
    bool enter() {
        users.fetch_add(1);
        if (closers.load() > 0) {
            users.fetch_sub(1);
            return false;
        }
        return true;
    }
    void leave() { users.fetch_sub(1); }

    /// UI side: waits for a running block to end (at most one block). Nests on one thread and
    /// serialises UI threads among themselves.
    void close() {
        uiMutex.lock();
        closers.fetch_add(1);
        while (users.load() > 0)
            asSleep(1);
    }
    void open() {
        closers.fetch_sub(1);
        uiMutex.unlock();
    }

private:
    std::atomic<int> users{0};
    std::atomic<int> closers{0};
    std::recursive_mutex uiMutex;
};

/// Holds a gate closed for the lifetime of the object.
class CGateClosed {
public:
    explicit CGateClosed(CProcessGate& g) : gate(g) { gate.close(); }
    ~CGateClosed() { gate.open(); }
    CGateClosed(const CGateClosed&) = delete;
    CGateClosed& operator=(const CGateClosed&) = delete;

private:
    CProcessGate& gate;
};
