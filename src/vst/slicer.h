// The host's MIDI events from the process-events request to the processing call, where the
// engine's slicer splits the block at their frame offsets.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/slicer.h"
#include "vst/aeffect.h"

/// Packs a MIDI event's bytes as status + data 1 * 256 + data 2 * 65536.
inline int packMidiMessage(const VstMidiEvent& e) {
    return e.midiData[0] + e.midiData[1] * 256 + e.midiData[2] * 65536;
}

/// One MIDI event of the host, copied at the process-events request.
struct CHostMidi {
    int32_t offset;
    int32_t message;
};

/// The MIDI events handed over by process-events requests and not yet processed. Each request
/// copies its list at once (hosts may free or reuse it right after, and may hand one block's
/// events in several lists); the processing call takes them all in time order. A fixed ring
/// with one writer (the requests) and one reader (the processing call): nothing allocates and
/// neither side waits for the other.
class CEventInbox {
public:
    static constexpr uint32_t kCapacity = 8192;

    /// Copies the list's MIDI events; events beyond the free room are not kept. An event
    /// before an earlier one of its list counts as at that one's offset, as a list is played
    /// in its own order.
    void add(const VstEvents* list) {
        int count = list ? list->numEvents : 0;
        // The host allocates the list longer than its declared two slots: indexing the array
        // itself past them is undefined, so the slots are read through a plain pointer.
        const VstEvent* const* slots = list ? list->events : nullptr;
        uint32_t end = head.load(std::memory_order_relaxed);
        uint32_t start = tail.load(std::memory_order_acquire);
        int32_t latest = INT32_MIN;
        for (int i = 0; i < count && end - start < kCapacity; i++) {
            const VstEvent* e = slots[i];
            if (!e || e->type != kVstMidiType) continue;
            latest = std::max(latest, e->deltaFrames);
            ring[end % kCapacity] = {latest,
                                     packMidiMessage(*reinterpret_cast<const VstMidiEvent*>(e))};
            end++;
        }
        head.store(end, std::memory_order_release);
    }

    /// Forgets every event handed over so far (the host suspends the plug-in).
    void dropAll() { dropped.store(head.load(std::memory_order_acquire)); }

    /// Calls take(event) for every waiting event, by offset and in arrival order among equal
    /// offsets, and empties the inbox.
    template <typename Take> void takeAll(Take take) {
        uint32_t end = head.load(std::memory_order_acquire);
        uint32_t next = tail.load(std::memory_order_relaxed);
        uint32_t firstKept = dropped.load();
        if (int32_t(firstKept - next) > 0) next = firstKept;
        uint32_t count = 0;
        for (; next != end; next++)
            ordered[count++] = ring[next % kCapacity];
        tail.store(end, std::memory_order_release);
        sortByOffset(count);
        for (uint32_t i = 0; i < count; i++)
            take(ordered[i]);
    }

private:
    static bool earlier(const CHostMidi& a, const CHostMidi& b) { return a.offset < b.offset; }

    // A bottom-up merge sort of the first count entries of ordered through spare: stable, so
    // events at one offset keep their arrival order, and without allocation. Each list arrives
    // in order, so most blocks are sorted already.
    void sortByOffset(uint32_t count) {
        if (std::is_sorted(ordered, ordered + count, earlier)) return;
        CHostMidi* from = ordered;
        CHostMidi* to = spare;
        for (uint32_t width = 1; width < count; width *= 2) {
            for (uint32_t low = 0; low < count; low += 2 * width) {
                uint32_t middle = std::min(low + width, count);
                uint32_t high = std::min(low + 2 * width, count);
                std::merge(from + low, from + middle, from + middle, from + high, to + low,
                           earlier);
            }
            std::swap(from, to);
        }
        if (from != ordered) std::copy(from, from + count, ordered);
    }

    CHostMidi ring[kCapacity] = {};
    // the processing call's copies of the events it takes, and room for sorting them
    CHostMidi ordered[kCapacity] = {};
    CHostMidi spare[kCapacity] = {};
    std::atomic<uint32_t> head{0};
    std::atomic<uint32_t> tail{0};
    std::atomic<uint32_t> dropped{0};
};
