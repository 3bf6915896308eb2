#include "plughost.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace stress {

namespace {
VstTimeInfo timeInfo() {
    VstTimeInfo info{};
    info.tempo = 128;
    info.ppqPos = 4;
    info.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying | kVstTransportChanged;
    return info;
}

std::atomic<int> gIOChanged{0};

// A mixer that may not close in a test waits this long instead of two minutes.
const int kTestCloseTimeoutMS = 200;

// Answers the version and time requests and counts the in-out changes with this thread's
// hostTime().
VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == hostOpVersion) return kVstVersion;
    if (opcode == hostOpGetTime) return reinterpret_cast<VstIntPtr>(&hostTime());
    if (opcode == hostOpIOChanged) return ++gIOChanged;
    return 0;
}
} // namespace

int ioChangedRequests() {
    return gIOChanged.load();
}

VstTimeInfo& hostTime() {
    thread_local VstTimeInfo info = timeInfo();
    return info;
}

EventList::EventList(const std::vector<Midi>& events) : storage(events.size()) {
    std::vector<VstEvent*> pointers(events.size() + 1, nullptr);
    for (size_t i = 0; i < events.size(); i++) {
        VstMidiEvent& e = storage[i];
        memset(&e, 0, sizeof e);
        e.type = kVstMidiType;
        e.deltaFrames = events[i].offset;
        e.midiData[0] = static_cast<unsigned char>(events[i].status);
        e.midiData[1] = static_cast<unsigned char>(events[i].data1);
        e.midiData[2] = static_cast<unsigned char>(events[i].data2);
        pointers[i] = reinterpret_cast<VstEvent*>(&e);
    }
    raw.resize(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(raw.data());
    list->numEvents = static_cast<VstInt32>(events.size());
    memcpy(list->events, pointers.data(), pointers.size() * sizeof(VstEvent*));
}

std::vector<Midi> noteRun(int count, int frames) {
    std::vector<Midi> notes;
    for (int i = 0; i < count; i++) {
        int offset = count > 1 ? i * (frames - 1) / (count - 1) : 0;
        notes.push_back({offset, (i % 2 ? 0x80 : 0x90) | (i / 2) % 4, 48 + i % 24, 100});
    }
    return notes;
}

Outputs::Outputs() {
    for (int n = 0; n < 8; n++) {
        data[n].assign(kMaxFrames, 0.0f);
        pointers[n] = data[n].data();
    }
}

float Outputs::peak(int frames) const {
    float largest = 0;
    for (const auto& channel : data)
        for (int f = 0; f < frames; f++) {
            if (!std::isfinite(channel[size_t(f)])) return -1;
            largest = std::fmax(largest, std::fabs(channel[size_t(f)]));
        }
    return largest;
}

Plugin::Plugin() {
    fx = (new CPlug(host))->getAeffect();
    synth().getMixer()->setCloseTimeout(kTestCloseTimeoutMS);
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(effSetBlockSize, 0, 512);
    dispatch(effMainsChanged, 0, 1);
}

Plugin::~Plugin() {
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
}

void Plugin::process(Outputs& out, int frames, VstEvents* events) const {
    if (events) dispatch(effProcessEvents, 0, 0, events);
    fx->processReplacing(fx, nullptr, out.pointers, frames);
}

std::vector<unsigned char> Plugin::chunk() const {
    void* data = nullptr;
    auto size = dispatch(effGetChunk, 0, 0, &data);
    auto* bytes = static_cast<unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

} // namespace stress
