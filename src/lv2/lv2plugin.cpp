#include "lv2/lv2plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include "engine/bridgerequests.h"
#include "engine/slicer.h"
#include "engine/synth.h"
#include "foundation/stream.h"
#include "lv2/bridgeextension.h"

namespace {
const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; f++)
        if (std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

// Packs a short MIDI message as status + data 1 * 256 + data 2 * 65536, as the VST plug-in
// does; longer messages (system exclusive) have no place in the engine's queue.
bool packMidi(const LV2_Atom_Event* ev, int& message) {
    uint32_t size = ev->body.size;
    if (size < 1 || size > 3) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(ev + 1);
    message = 0;
    for (uint32_t i = 0; i < size; i++)
        message |= bytes[i] << (8 * i);
    return true;
}
} // namespace

// The block's events for the slicer: first the MIDI held from a run that could not render (at
// the block's start), then the control sequence's MIDI and position objects in their order.
class CLv2Plugin::CEvents {
public:
    explicit CEvents(CLv2Plugin& p) : plugin(p) {}

    template <typename Take> void takeAll(Take take) {
        for (int i = 0; i < plugin.heldCount; i++)
            take(CEvent{0, plugin.heldMidi[i], nullptr});
        plugin.heldCount = 0;
        const LV2_Atom_Sequence* sequence = plugin.control;
        if (!sequence) return;
        LV2_ATOM_SEQUENCE_FOREACH(sequence, ev) {
            int message = 0;
            if (ev->body.type == plugin.urids.midiEvent) {
                if (packMidi(ev, message)) take(CEvent{ev->time.frames, message, nullptr});
            } else if (plugin.isPosition(&ev->body)) {
                take(CEvent{ev->time.frames, 0,
                            reinterpret_cast<const LV2_Atom_Object*>(&ev->body)});
            }
        }
    }

private:
    CLv2Plugin& plugin;
};

CLv2Plugin* CLv2Plugin::create(double sampleRate, const LV2_Feature* const* features) {
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(featureData(features, LV2_URID__map)));
    if (!map || !map->map) return nullptr;
    auto* plugin = new CLv2Plugin(map, sampleRate);
    plugin->readOptions(features);
    return plugin;
}

CLv2Plugin::CLv2Plugin(LV2_URID_Map* map, double sampleRate) : rate(sampleRate) {
    auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    urids = CUrids{id(LV2_ATOM__Blank),
                   id(LV2_ATOM__Object),
                   id(LV2_ATOM__Int),
                   id(LV2_ATOM__Long),
                   id(LV2_ATOM__Float),
                   id(LV2_ATOM__Double),
                   id(LV2_ATOM__Chunk),
                   id(LV2_MIDI__MidiEvent),
                   id(LV2_TIME__Position),
                   id(LV2_TIME__bar),
                   id(LV2_TIME__barBeat),
                   id(LV2_TIME__beat),
                   id(LV2_TIME__beatUnit),
                   id(LV2_TIME__beatsPerBar),
                   id(LV2_TIME__beatsPerMinute),
                   id(LV2_TIME__speed),
                   id(LV2_BUF_SIZE__maxBlockLength),
                   id(LV2_BUF_SIZE__nominalBlockLength),
                   id(RWB_LV2_STATE_CHUNK_URI)};
    synth = new CSynth;
    // Hosts may hand any rate; the engine keeps its own for one it cannot use.
    if (rate >= 1.0 && rate <= 1.0e7)
        synth->setRate(static_cast<int>(rate));
    else
        rate = synth->getRate();
    synth->setLoop(0);
}

CLv2Plugin::~CLv2Plugin() {
    delete synth;
}

// The engine sizes its buffers before the first run: the host's largest block when it says so,
// else its usual one, else the engine's default (longer runs are rendered in parts anyway).
void CLv2Plugin::readOptions(const LV2_Feature* const* features) {
    const auto* options =
        static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
    int maxFrames = 0;
    int nominalFrames = 0;
    for (const LV2_Options_Option* o = options; o && o->key; o++) {
        if (o->type != urids.atomInt || o->size != sizeof(int32_t) || !o->value) continue;
        int value = *static_cast<const int32_t*>(o->value);
        if (o->key == urids.maxBlockLength) maxFrames = value;
        if (o->key == urids.nominalBlockLength) nominalFrames = value;
    }
    int frames = maxFrames > 0 ? maxFrames : nominalFrames;
    if (frames >= 1 && frames <= kMaxBlockFrames) synth->setFrames(frames);
}

void CLv2Plugin::connectPort(uint32_t port, void* data) {
    if (port == kPortControl)
        control = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port >= kPortFirstOutput && port < kPortFirstOutput + kOutputs)
        outputs[port - kPortFirstOutput] = static_cast<float*>(data);
    else if (port == kPortLatency)
        latency = static_cast<float*>(data);
}

bool CLv2Plugin::isPosition(const LV2_Atom* atom) const {
    if (atom->type != urids.atomObject && atom->type != urids.atomBlank) return false;
    return reinterpret_cast<const LV2_Atom_Object*>(atom)->body.otype == urids.timePosition;
}

// Hosts differ in the number types they send for the same property.
bool CLv2Plugin::readNumber(const LV2_Atom* atom, double& value) const {
    if (atom->type == urids.atomFloat && atom->size >= sizeof(float))
        value = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    else if (atom->type == urids.atomDouble && atom->size >= sizeof(double))
        value = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    else if (atom->type == urids.atomInt && atom->size >= sizeof(int32_t))
        value = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    else if (atom->type == urids.atomLong && atom->size >= sizeof(int64_t))
        value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    else
        return false;
    return true;
}

CHostTransport::CPosition CLv2Plugin::readPosition(const LV2_Atom_Object* object) const {
    CHostTransport::CPosition p;
    double unit = 0.0;
    bool hasBeatsPerBar = false, hasUnit = false;
    LV2_ATOM_OBJECT_FOREACH(object, prop) {
        const LV2_Atom* value = &prop->value;
        if (prop->key == urids.timeBeatsPerMinute)
            p.hasTempo = readNumber(value, p.beatsPerMinute);
        else if (prop->key == urids.timeBeatsPerBar)
            hasBeatsPerBar = readNumber(value, p.beatsPerBar);
        else if (prop->key == urids.timeBeatUnit)
            hasUnit = readNumber(value, unit);
        else if (prop->key == urids.timeBeat)
            p.hasBeat = readNumber(value, p.beat);
        else if (prop->key == urids.timeBar)
            p.hasBar = readNumber(value, p.bar);
        else if (prop->key == urids.timeBarBeat)
            p.hasBar = readNumber(value, p.barBeat) && p.hasBar;
        else if (prop->key == urids.timeSpeed)
            p.hasSpeed = readNumber(value, p.speed);
    }
    p.hasMetre = hasBeatsPerBar && hasUnit && std::isfinite(unit);
    if (p.hasMetre) p.beatUnit = static_cast<int>(std::lround(std::clamp(unit, 0.0, 1024.0)));
    return p;
}

void CLv2Plugin::handOverTransport() {
    synth->setTempo(transport.quarterTempo());
    synth->setMetre(static_cast<int>(std::lround(transport.getBeatsPerBar())),
                    transport.getBeatUnit());
    synth->setPos(transport.quarterNotes());
    synth->setPlaying(transport.playing());
}

// A position object holds from its own frame: the position moved on up to there. Returns the
// object's frame in the block.
int CLv2Plugin::takePosition(const CEvent& e, int anchor, int frames) {
    int at = static_cast<int>(std::clamp<int64_t>(e.offset, anchor, frames));
    transport.advance(at - anchor, rate);
    transport.apply(readPosition(e.position));
    return at;
}

// A run that cannot render (no outputs, the engine held by a device switch) keeps its MIDI for
// the next one, up to kMaxHeldMidi messages, and still follows the host's transport.
void CLv2Plugin::holdMidi(int frames) {
    int anchor = 0;
    CEvents events(*this);
    // the held messages come first, so each is copied to a place already read
    int kept = 0;
    events.takeAll([&](const CEvent& e) {
        if (e.position)
            anchor = takePosition(e, anchor, frames);
        else if (kept < kMaxHeldMidi)
            heldMidi[kept++] = e.message;
    });
    heldCount = kept;
    transport.advance(frames - anchor, rate);
}

void CLv2Plugin::run(uint32_t frameCount) {
    int frames = static_cast<int>(std::min<uint32_t>(frameCount, 1u << 30));
    bool connected = true;
    for (float* out : outputs) {
        if (out)
            std::fill(out, out + frames, 0.0f);
        else
            connected = false;
    }
    if (latency) *latency = static_cast<float>(deviceLatency.load(std::memory_order_relaxed));
    if (!connected || !synth->beginBlock()) {
        holdMidi(frames);
        return;
    }
    synth->setLoop(0);
    handOverTransport();
    CBlockWriter block(*synth, outputs);
    int anchor = 0;
    CEvents events(*this);
    sliceAtEvents(
        events, frames, [&](int sliceFrames) { block.render(sliceFrames); },
        [&](const CEvent& e) {
            if (!e.position) {
                block.midi(e.message);
                return;
            }
            anchor = takePosition(e, anchor, frames);
            handOverTransport();
        });
    transport.advance(frames - anchor, rate);
    synth->endBlock();
}

LV2_State_Status CLv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!store) return LV2_STATE_ERR_UNKNOWN;
    CMemoryStream stream;
    synth->saveToStream(&stream);
    return store(handle, urids.stateChunk, stream.getData(), static_cast<size_t>(stream.getSize()),
                 urids.atomChunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status CLv2Plugin::restore(LV2_State_Retrieve_Function retrieve,
                                     LV2_State_Handle handle) {
    if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(handle, urids.stateChunk, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != urids.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    if (size > kMaxChunkBytes) return LV2_STATE_ERR_UNKNOWN;
    CMemoryStream stream;
    stream.write(data, static_cast<int>(size));
    stream.seek(0, 0);
    synth->loadFromStream(&stream);
    deviceLatency.store(synth->getLatency());
    return LV2_STATE_SUCCESS;
}

void CLv2Plugin::idle() {
    synth->idle();
    deviceLatency.store(synth->getLatency());
}

// ---- the plug-in's C entry points ----

namespace {
CLv2Plugin* asPlugin(LV2_Handle instance) {
    return static_cast<CLv2Plugin*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
    return CLv2Plugin::create(sampleRate, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
    asPlugin(instance)->connectPort(port, data);
}

void run(LV2_Handle instance, uint32_t frames) {
    asPlugin(instance)->run(frames);
}

void cleanup(LV2_Handle instance) {
    delete asPlugin(instance);
}

LV2_State_Status saveState(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return asPlugin(instance)->save(store, handle);
}

LV2_State_Status restoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return asPlugin(instance)->restore(retrieve, handle);
}

const LV2_State_Interface stateInterface = {saveState, restoreState};

intptr_t bridgeRequest(void* instance, int32_t index, intptr_t value, void* ptr) {
    return instance ? answerBridgeRequest(*asPlugin(instance)->engine(), index, value, ptr) : 0;
}

const RwbBridgeRequests bridgeRequests = {bridgeRequest};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &stateInterface;
    if (uri && std::strcmp(uri, RWB_LV2_BRIDGE_REQUESTS_URI) == 0) return &bridgeRequests;
    return nullptr;
}

const LV2_Descriptor descriptor = {RWB_LV2_URI, instantiate, connectPort, nullptr,
                                   run,         nullptr,     cleanup,     extensionData};
} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
