#include "session.h"

#include <algorithm>
#include <cstdint>

#include "chunkrecords.h"
#include "commands.h"

bool chooseDevice(CPluginHost& host, int device) {
    std::vector<unsigned char> chunk;
    int32_t current = -1;
    if (!host.hasChunks() || !host.getChunk(chunk) || !chunkDevice(chunk, current)) {
        report("--device needs a plug-in that lists ReWire devices");
        return false;
    }
    setChunkDevice(chunk, device);
    host.setChunk(chunk);
    int32_t chosen = -1;
    if (!host.getChunk(chunk) || !chunkDevice(chunk, chosen) || chosen != device) {
        report("device %d could not be opened by the plug-in", device);
        return false;
    }
    return true;
}

VstEvents* CEventList::fill(const BlockEvent* events, size_t count) {
    count = std::min(count, midi.size());
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(count);
    VstEvent** slots = list->events;
    for (size_t i = 0; i < count; ++i) {
        VstMidiEvent& m = midi[i];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.deltaFrames = events[i].offset;
        std::copy(events[i].data, events[i].data + 3, m.midiData);
        slots[i] = reinterpret_cast<VstEvent*>(&m);
    }
    return list;
}
