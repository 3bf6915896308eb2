// A minimal host for driving the plug-in through its C entry points from several threads:
// the effect, an event list the audio thread hands over each block, and output buffers.
#pragma once

#include <vector>

#include "engine/synth.h"
#include "testinstall.h"
#include "vst/plug.h"

namespace stress {

/// True when a sanitizer runtime owns the heap and takes locks of its own.
constexpr bool kSanitizerRuntime = RWB_SANITIZER_RUNTIME;

/// Frames the output buffers hold; block sizes given to the plug-in stay below it.
constexpr int kMaxFrames = 4096;

/// The time info the host gives blocks processed on this thread; at first "playing at quarter
/// note 4, tempo 128".
VstTimeInfo& hostTime();
/// How often plug-ins asked any host of this process to re-read their inputs and outputs.
int ioChangedRequests();

/// One MIDI event of a host's list: frame offset and the three message bytes.
struct Midi {
    int offset, status, data1, data2;
};

/// A process-events list as a host builds it, on the heap.
class EventList {
public:
    explicit EventList(const std::vector<Midi>& events);
    VstEvents* get() { return reinterpret_cast<VstEvents*>(raw.data()); }

private:
    std::vector<VstMidiEvent> storage;
    std::vector<unsigned char> raw;
};

/// count note-ons and note-offs on MIDI channels 1..4, spread over frames.
std::vector<Midi> noteRun(int count, int frames);

struct Outputs {
    Outputs();
    float* pointers[8];
    /// Largest absolute sample of the first frames of every output; -1 for a NaN or infinity.
    float peak(int frames) const;
    const std::vector<float>& channel(int n) const { return data[n]; }

private:
    std::vector<float> data[8];
};

/// The plug-in opened as a host opens it, with a short mixer close window.
class Plugin {
public:
    Plugin();
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const AEffect* effect() const { return fx; }
    CSynth& synth() const { return *static_cast<CPlug*>(fx->object)->getSynth(); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0) const {
        return fx->dispatcher(fx, opcode, index, value, ptr, opt);
    }
    /// One audio block with the given events (may be null).
    void process(Outputs& out, int frames, VstEvents* events) const;
    std::vector<unsigned char> chunk() const;
    void setChunk(std::vector<unsigned char> bytes) const {
        dispatch(effSetChunk, 0, VstIntPtr(bytes.size()), bytes.data());
    }

private:
    AEffect* fx = nullptr;
};

} // namespace stress
