#include "session.h"

#include <algorithm>
#include <cstdint>

#include "chunkrecords.h"
#include "commands.h"

namespace {
/// Vendor-specific request of plug-ins that keep a chosen device in their chunk even when it
/// cannot be opened (index 'rwdv'): writes the open device's index, -1 for none, to an int32.
constexpr VstInt32 openDeviceRequest = 0x72776476;

/// The device the plug-in has open: asked directly where it answers, else read from its chunk.
bool openDevice(CPluginHost& host, int32_t& device) {
    if (host.dispatch(effVendorSpecific, openDeviceRequest, 0, &device) == 1) return true;
    std::vector<unsigned char> chunk;
    return host.getChunk(chunk) && chunkDevice(chunk, device);
}
} // namespace

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
    if (!openDevice(host, chosen) || chosen != device) {
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
