// An LV2 plug-in that shows what its host sends: at the frame of each MIDI event its first
// output holds the key, and at the frame of each time:Position object its second output holds
// the tempo and its third the beat plus one (negative while stopped). Its state is a chunk of
// bytes and an integer that must come back with it.
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kCompanionValue = 7;

struct Probe {
    LV2_URID midiEvent, object, blank, position, bpm, beat, speed, chunk, atomInt, chunkKey,
        companionKey, floatType, doubleType;
    const LV2_Atom_Sequence* events = nullptr;
    float* out[3] = {};
    std::vector<unsigned char> chunkBytes{'p', 'r', 'o', 'b', 'e'};
};

double number(const Probe& p, const LV2_Atom* atom) {
    if (atom->type == p.floatType) return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    if (atom->type == p.doubleType) return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    return 0.0;
}

LV2_Handle instantiate(const LV2_Descriptor*, double, const char*,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if (!std::strcmp((*f)->URI, LV2_URID__map))
            map = static_cast<const LV2_URID_Map*>((*f)->data);
    if (!map) return nullptr;
    auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    return new Probe{id(LV2_MIDI__MidiEvent),
                     id(LV2_ATOM__Object),
                     id(LV2_ATOM__Blank),
                     id(LV2_TIME__Position),
                     id(LV2_TIME__beatsPerMinute),
                     id(LV2_TIME__beat),
                     id(LV2_TIME__speed),
                     id(LV2_ATOM__Chunk),
                     id(LV2_ATOM__Int),
                     id("urn:rwbridge:test:probe#chunk"),
                     id("urn:rwbridge:test:probe#companion"),
                     id(LV2_ATOM__Float),
                     id(LV2_ATOM__Double)};
}

void connect(LV2_Handle handle, uint32_t port, void* data) {
    auto* p = static_cast<Probe*>(handle);
    if (port == 0)
        p->events = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port <= 3)
        p->out[port - 1] = static_cast<float*>(data);
}

void showPosition(const Probe& p, const LV2_Atom_Object* object, int64_t frame) {
    double tempo = 0.0, beat = 0.0, speed = 0.0;
    LV2_ATOM_OBJECT_FOREACH(object, prop) {
        if (prop->key == p.bpm) tempo = number(p, &prop->value);
        if (prop->key == p.beat) beat = number(p, &prop->value);
        if (prop->key == p.speed) speed = number(p, &prop->value);
    }
    p.out[1][frame] = static_cast<float>(tempo);
    p.out[2][frame] = static_cast<float>(speed != 0.0 ? beat + 1.0 : -(beat + 1.0));
}

void run(LV2_Handle handle, uint32_t frames) {
    auto* p = static_cast<Probe*>(handle);
    for (float* o : p->out)
        std::fill(o, o + frames, 0.0f);
    LV2_ATOM_SEQUENCE_FOREACH(p->events, ev) {
        const int64_t frame = std::clamp<int64_t>(ev->time.frames, 0, frames - 1);
        if (ev->body.type == p->midiEvent && ev->body.size >= 2)
            p->out[0][frame] = reinterpret_cast<const uint8_t*>(&ev->body + 1)[1];
        else if ((ev->body.type == p->object || ev->body.type == p->blank) &&
                 reinterpret_cast<const LV2_Atom_Object*>(&ev->body)->body.otype == p->position)
            showPosition(*p, reinterpret_cast<const LV2_Atom_Object*>(&ev->body), frame);
    }
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const*) {
    auto* p = static_cast<Probe*>(handle);
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    store(state, p->companionKey, &kCompanionValue, sizeof kCompanionValue, p->atomInt, flags);
    return store(state, p->chunkKey, p->chunkBytes.data(), p->chunkBytes.size(), p->chunk, flags);
}

// The chunk is taken only with its companion, as a plug-in with several properties would.
LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
    auto* p = static_cast<Probe*>(handle);
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* companion = retrieve(state, p->companionKey, &size, &type, &flags);
    if (!companion || type != p->atomInt || size != sizeof(int32_t) ||
        *static_cast<const int32_t*>(companion) != kCompanionValue)
        return LV2_STATE_ERR_NO_PROPERTY;
    const void* bytes = retrieve(state, p->chunkKey, &size, &type, &flags);
    if (!bytes || type != p->chunk) return LV2_STATE_ERR_BAD_TYPE;
    const auto* begin = static_cast<const unsigned char*>(bytes);
    p->chunkBytes.assign(begin, begin + size);
    return LV2_STATE_SUCCESS;
}

void cleanup(LV2_Handle handle) {
    delete static_cast<Probe*>(handle);
}

const LV2_State_Interface stateInterface = {save, restore};

const void* extensionData(const char* uri) {
    return std::strcmp(uri, LV2_STATE__interface) ? nullptr : &stateInterface;
}

const LV2_Descriptor descriptor = {
    "urn:rwbridge:test:probe", instantiate, connect, nullptr, run, nullptr, cleanup, extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
