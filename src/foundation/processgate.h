// The one meeting point of the audio thread and the UI side.
//
// The audio thread renders a block only between enter() and leave() and never waits: enter()
// fails while the gate is closed, and that block stays silent. The UI side closes the gate
// (waiting for a running block to end) only to replace what a block cannot do without: the open
// devices and the channel buffers, that is on a device switch or a format change. Everything
// else the audio thread reads while the user edits (the MIDI mapping, a device's MIDI targets)
// is an immutable table behind an atomic pointer: the UI side publishes a new table and hands the
// old one to retire(), which frees it once no block that may still read it is running. Edits
// thus never silence a block, and the audio thread neither waits nor allocates for them.
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
    void leave() {
        finished.fetch_add(1);
        users.fetch_sub(1);
    }
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

    /// UI side: serialises UI-side writers of shared tables without keeping blocks out.
    void beginEdit() { uiMutex.lock(); }
    void endEdit() { uiMutex.unlock(); }

    /// UI side: returns once no block that was running at the call is still running. Blocks
    /// run one at a time, so the next leave() ends the running one.
    void waitForRunningBlock() {
        if (users.load() == 0) return;
        unsigned long seen = finished.load();
        while (users.load() > 0 && finished.load() == seen)
            asSleep(1);
    }

    /// UI side: frees a table that was replaced in its atomic pointer, once no block can read it
    /// any more. It is poisoned first, so a reader that outlived its block would find it empty
    /// instead of stale.
    template <typename Table> void retire(Table* old) {
        if (!old) return;
        waitForRunningBlock();
        old->poison();
        delete old;
    }

private:
    std::atomic<int> users{0};
    std::atomic<int> closers{0};
    std::atomic<unsigned long> finished{0};
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

/// Holds the UI side's edit turn for the lifetime of the object; blocks go on rendering.
class CGateEdit {
public:
    explicit CGateEdit(CProcessGate& g) : gate(g) { gate.beginEdit(); }
    ~CGateEdit() { gate.endEdit(); }
    CGateEdit(const CGateEdit&) = delete;
    CGateEdit& operator=(const CGateEdit&) = delete;

private:
    CProcessGate& gate;
};
