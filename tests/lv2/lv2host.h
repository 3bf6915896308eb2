// A small LV2 host for the tests: loads the built bundle's shared object with dlopen, maps URIs,
// offers the block-length options, connects the ports and writes the control port's atom
// sequence (MIDI events and time:Position objects) as a host does.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

namespace lv2test {

using Bytes = std::vector<unsigned char>;

/// The chunk records that choose a device and set the sync switch, as the VST plug-in saves.
Bytes chunkWith(int device, int sync, const std::vector<int>& mapRows);

/// The URI map every instance of a test shares.
class UridMap {
public:
    UridMap();
    LV2_URID id(const char* uri);
    LV2_URID_Map map{};

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
    std::map<std::string, LV2_URID> ids;
};

/// The loaded shared object and its two descriptors.
class Library {
public:
    Library();
    ~Library();
    const LV2_Descriptor* plugin = nullptr;
    const LV2UI_Descriptor* ui = nullptr;
    void* handle = nullptr;
};

/// What a position object says; negative fields are left out.
struct Position {
    double bpm = -1, beatsPerBar = -1, beatUnit = -1, bar = -1, barBeat = -1, beat = -1, speed = -1;
};

/// One plug-in instance with its ports.
class Instance {
public:
    static constexpr int kOutputs = 8;
    static constexpr int kMaxFrames = 8192;

    Instance(Library& lib, UridMap& uris, double rate = 48000, int maxBlock = 512);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    bool valid() const { return handle != nullptr; }

    /// Starts the next block's event sequence.
    void clearEvents();
    void midi(int64_t frame, uint8_t status, uint8_t data1, uint8_t data2);
    void position(int64_t frame, const Position& p);
    /// Runs one block with the events written since clearEvents, then clears them; the outputs
    /// of the block are appended to the recording.
    void run(int frames);
    /// Connects output n to its buffer, or to nothing.
    void connectOutput(int n, bool connected);

    /// The state as the plug-in saves it (type must be atom:Chunk).
    Bytes save();
    /// Restores a chunk; the plug-in's answer.
    LV2_State_Status restore(const Bytes& chunk);

    LV2_Handle handle = nullptr;
    std::vector<float> recorded[kOutputs];
    float latency = -1.0f;

private:
    Library& library;
    UridMap& map;
    std::vector<float> out[kOutputs];
    std::vector<uint8_t> sequence;
    LV2_Atom_Forge forge{};
    LV2_Atom_Forge_Frame sequenceFrame{};
    const LV2_State_Interface* state = nullptr;
    int32_t maxBlock;
};

} // namespace lv2test
