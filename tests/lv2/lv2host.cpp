#include "lv2host.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <stdexcept>

namespace lv2test {

namespace {
void putInt(Bytes& b, int v) {
    for (int i = 0; i < 4; i++)
        b.push_back(static_cast<unsigned char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}

void putRecord(Bytes& b, const char* tag, int size, const int* value) {
    putInt(b, static_cast<int>(std::strlen(tag)));
    b.insert(b.end(), tag, tag + std::strlen(tag));
    putInt(b, size);
    if (value) putInt(b, *value);
}

struct Stored {
    LV2_URID key = 0;
    Bytes bytes;
    uint32_t type = 0;
};

LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                       uint32_t type, uint32_t) {
    auto* s = static_cast<Stored*>(handle);
    s->key = key;
    s->bytes.assign(static_cast<const unsigned char*>(value),
                    static_cast<const unsigned char*>(value) + size);
    s->type = type;
    return LV2_STATE_SUCCESS;
}

const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) {
    auto* s = static_cast<Stored*>(handle);
    if (key != s->key) return nullptr;
    *size = s->bytes.size();
    *type = s->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return s->bytes.data();
}
} // namespace

Bytes chunkWith(int device, int sync, const std::vector<int>& mapRows) {
    Bytes b;
    putRecord(b, "app", 4, &device);
    putRecord(b, "sync", 4, &sync);
    for (int target : mapRows) {
        putRecord(b, "map", 0, nullptr);
        putRecord(b, "mapch", 4, &target);
    }
    return b;
}

UridMap::UridMap() {
    map.handle = this;
    map.map = mapUri;
}

LV2_URID UridMap::id(const char* uri) {
    auto found = ids.find(uri);
    if (found != ids.end()) return found->second;
    LV2_URID next = static_cast<LV2_URID>(ids.size() + 1);
    ids[uri] = next;
    return next;
}

LV2_URID UridMap::mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->id(uri);
}

Library::Library() {
    handle = dlopen(RWB_LV2_SO, RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error(dlerror());
    auto pluginEntry =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(handle, "lv2_descriptor"));
    auto uiEntry =
        reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(handle, "lv2ui_descriptor"));
    if (pluginEntry) plugin = pluginEntry(0);
    if (uiEntry) ui = uiEntry(0);
}

Library::~Library() {
    dlclose(handle);
}

Instance::Instance(Library& lib, UridMap& uris, double rate, int maxBlockFrames)
    : library(lib), map(uris), maxBlock(maxBlockFrames) {
    LV2_Feature mapFeature{LV2_URID__map, &map.map};
    LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, map.id(LV2_BUF_SIZE__maxBlockLength),
                                     sizeof(int32_t), map.id(LV2_ATOM__Int), &maxBlock},
                                    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
    LV2_Feature bounded{LV2_BUF_SIZE__boundedBlockLength, nullptr};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, &bounded, nullptr};
    handle = library.plugin->instantiate(library.plugin, rate, RWB_LV2_BUNDLE, features);
    if (!handle) return;
    state = static_cast<const LV2_State_Interface*>(
        library.plugin->extension_data(LV2_STATE__interface));
    for (int n = 0; n < kOutputs; n++) {
        out[n].assign(kMaxFrames, 0.0f);
        library.plugin->connect_port(handle, static_cast<uint32_t>(1 + n), out[n].data());
    }
    library.plugin->connect_port(handle, 9, &latency);
    sequence.assign(64 * 1024, 0);
    library.plugin->connect_port(handle, 0, sequence.data());
    lv2_atom_forge_init(&forge, &map.map);
    // every URI the host side uses later is mapped now: afterwards the map is only read, from
    // any thread
    for (const char* uri :
         {LV2_MIDI__MidiEvent, LV2_TIME__Position, LV2_TIME__bar, LV2_TIME__barBeat, LV2_TIME__beat,
          LV2_TIME__beatUnit, LV2_TIME__beatsPerBar, LV2_TIME__beatsPerMinute, LV2_TIME__speed,
          LV2_ATOM__Chunk, RWB_LV2_STATE_CHUNK_URI})
        map.id(uri);
    clearEvents();
}

Instance::~Instance() {
    if (handle) library.plugin->cleanup(handle);
}

void Instance::clearEvents() {
    lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
    lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0);
}

void Instance::midi(int64_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[3] = {status, data1, data2};
    lv2_atom_forge_frame_time(&forge, frame);
    lv2_atom_forge_atom(&forge, 3, map.id(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge, bytes, 3);
}

void Instance::position(int64_t frame, const Position& p) {
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge, frame);
    lv2_atom_forge_object(&forge, &object, 0, map.id(LV2_TIME__Position));
    // writes the key of a field that is given; the values in the number types Ardour sends
    auto given = [&](double value, const char* uri) {
        if (value >= 0) lv2_atom_forge_key(&forge, map.id(uri));
        return value >= 0;
    };
    if (given(p.bar, LV2_TIME__bar)) lv2_atom_forge_long(&forge, static_cast<int64_t>(p.bar));
    if (given(p.barBeat, LV2_TIME__barBeat))
        lv2_atom_forge_float(&forge, static_cast<float>(p.barBeat));
    if (given(p.beat, LV2_TIME__beat)) lv2_atom_forge_double(&forge, p.beat);
    if (given(p.beatUnit, LV2_TIME__beatUnit))
        lv2_atom_forge_int(&forge, static_cast<int32_t>(p.beatUnit));
    if (given(p.beatsPerBar, LV2_TIME__beatsPerBar))
        lv2_atom_forge_float(&forge, static_cast<float>(p.beatsPerBar));
    if (given(p.bpm, LV2_TIME__beatsPerMinute))
        lv2_atom_forge_float(&forge, static_cast<float>(p.bpm));
    if (given(p.speed, LV2_TIME__speed)) lv2_atom_forge_float(&forge, static_cast<float>(p.speed));
    lv2_atom_forge_pop(&forge, &object);
}

void Instance::run(int frames) {
    library.plugin->run(handle, static_cast<uint32_t>(frames));
    for (int n = 0; n < kOutputs; n++)
        recorded[n].insert(recorded[n].end(), out[n].begin(), out[n].begin() + frames);
    clearEvents();
}

void Instance::connectOutput(int n, bool connected) {
    library.plugin->connect_port(handle, static_cast<uint32_t>(1 + n),
                                 connected ? out[n].data() : nullptr);
}

Bytes Instance::save() {
    Stored stored;
    if (!state || state->save(handle, store, &stored, 0, nullptr) != LV2_STATE_SUCCESS) return {};
    if (stored.type != map.id(LV2_ATOM__Chunk)) return {};
    return stored.bytes;
}

LV2_State_Status Instance::restore(const Bytes& chunk) {
    Stored stored;
    // the key the plug-in saves under
    stored.key = map.id(RWB_LV2_STATE_CHUNK_URI);
    stored.bytes = chunk;
    stored.type = map.id(LV2_ATOM__Chunk);
    return state->restore(handle, retrieve, &stored, 0, nullptr);
}

} // namespace lv2test
