// The LV2 instrument: one engine behind an atom input (MIDI and time:Position), eight audio
// outputs and a latency output. Each run() becomes engine slices split at the events, as the VST
// plug-in does; the state is the VST plug-in's chunk, so a preset means the same in both.
#pragma once

#include <atomic>
#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "lv2/hosttransport.h"

class CSynth;

/// The port indices; the build writes the same into the bundle's Turtle file.
enum ELv2Port : uint32_t {
    kPortControl = RWB_LV2_PORT_CONTROL,
    kPortFirstOutput = RWB_LV2_PORT_FIRST_OUTPUT,
    kPortLatency = RWB_LV2_PORT_LATENCY,
};

class CLv2Plugin {
public:
    static constexpr int kOutputs = 8;
    /// MIDI messages kept for the next run while a device switch holds the engine.
    static constexpr int kMaxHeldMidi = 1024;
    /// State chunks larger than this are not ours.
    static constexpr uint32_t kMaxChunkBytes = 1 << 20;
    /// Block sizes the engine accepts from the host's options.
    static constexpr int kMaxBlockFrames = 1 << 16;

    /// Null when the host does not offer urid:map.
    static CLv2Plugin* create(double sampleRate, const LV2_Feature* const* features);
    ~CLv2Plugin();
    CLv2Plugin(const CLv2Plugin&) = delete;
    CLv2Plugin& operator=(const CLv2Plugin&) = delete;

    void connectPort(uint32_t port, void* data);
    void run(uint32_t frames);
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);
    /// The UI side's periodic service: the library's idle and the open device's latency for
    /// the latency port.
    void idle();

    CSynth* engine() const { return synth; }

private:
    struct CUrids {
        LV2_URID atomBlank, atomObject, atomInt, atomLong, atomFloat, atomDouble, atomChunk;
        LV2_URID midiEvent;
        LV2_URID timePosition, timeBar, timeBarBeat, timeBeat, timeBeatUnit, timeBeatsPerBar,
            timeBeatsPerMinute, timeSpeed;
        LV2_URID maxBlockLength, nominalBlockLength;
        LV2_URID stateChunk;
    };
    /// One event of the block: a packed MIDI message or a position object.
    struct CEvent {
        int64_t offset;
        int message;
        const LV2_Atom_Object* position;
    };
    class CEvents;

    CLv2Plugin(LV2_URID_Map* map, double sampleRate);
    void readOptions(const LV2_Feature* const* features);
    bool isPosition(const LV2_Atom* atom) const;
    bool readNumber(const LV2_Atom* atom, double& value) const;
    CHostTransport::CPosition readPosition(const LV2_Atom_Object* object) const;
    void handOverTransport();
    int takePosition(const CEvent& e, int anchor, int frames);
    void holdMidi(int frames);

    CUrids urids{};
    double rate;
    CSynth* synth = nullptr;
    CHostTransport transport;
    const LV2_Atom_Sequence* control = nullptr;
    float* outputs[kOutputs] = {};
    float* latency = nullptr;
    // the open device's latency, read on the UI side for the audio side's latency port
    std::atomic<int> deviceLatency{0};
    int heldMidi[kMaxHeldMidi] = {};
    int heldCount = 0;
};
