#include "lv2host.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "lilvnode.h"

namespace {

/// Room of the event input's sequence: a block's MIDI events and a position object.
constexpr int32_t sequenceCapacity = 65536;
/// Room of an atom output that the host does not read.
constexpr size_t atomOutputCapacity = 8192;
/// The metre a position states when the transport gives none.
constexpr float defaultBeatsPerBar = 4.0f;
constexpr int32_t defaultBeatUnit = 4;

bool endsWith(const std::string& text, char c) {
    return !text.empty() && text.back() == c;
}

/// Bytes of a MIDI message with this status byte.
uint32_t midiLength(unsigned char status) {
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    default:
        return 3;
    }
}

} // namespace

CUridMap::CUridMap() {
    mapData = {this, [](LV2_URID_Map_Handle self, const char* uri) {
                   return static_cast<CUridMap*>(self)->map(uri);
               }};
    unmapData = {this, [](LV2_URID_Unmap_Handle self, LV2_URID id) {
                     return static_cast<CUridMap*>(self)->unmap(id);
                 }};
}

LV2_URID CUridMap::map(const char* uri) {
    if (!uri) return 0;
    std::lock_guard<std::mutex> hold(lock);
    auto found = ids.find(uri);
    if (found != ids.end()) return found->second;
    uris.push_back(std::make_unique<std::string>(uri));
    const auto id = static_cast<LV2_URID>(uris.size());
    ids.emplace(uri, id);
    return id;
}

const char* CUridMap::unmap(LV2_URID id) {
    std::lock_guard<std::mutex> hold(lock);
    return id >= 1 && id <= uris.size() ? uris[id - 1]->c_str() : nullptr;
}

CLv2Host::CLv2Host() {
    uri = {urids.map(LV2_ATOM__Sequence),       urids.map(LV2_ATOM__Chunk),
           urids.map(LV2_MIDI__MidiEvent),      urids.map(LV2_TIME__Position),
           urids.map(LV2_TIME__frame),          urids.map(LV2_TIME__speed),
           urids.map(LV2_TIME__beatsPerMinute), urids.map(LV2_TIME__beatsPerBar),
           urids.map(LV2_TIME__beatUnit),       urids.map(LV2_TIME__bar),
           urids.map(LV2_TIME__barBeat),        urids.map(LV2_TIME__beat)};
    lv2_atom_forge_init(&forge, urids.mapFeature());
}

CLv2Host::~CLv2Host() {
    ui.close();
    freeInstance();
    if (world) lilv_world_free(world);
}

bool CLv2Host::load(const std::string& where, std::string& error) {
    world = lilv_world_new();
    if (!findPlugin(where, error) || !checkFeatures(error)) return false;
    readPorts();
    return instantiate(error);
}

bool CLv2Host::findPlugin(const std::string& where, std::string& error) {
    const bool bundle =
        where.find(".lv2") != std::string::npos && where.find(':') == std::string::npos;
    if (!bundle) {
        // a plug-in URI: every bundle on LV2_PATH, as other hosts search
        lilv_world_load_all(world);
        CNode wanted(world, where.c_str());
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), wanted.get());
        if (!plugin) error = "no LV2 plug-in with this URI on LV2_PATH";
        return plugin != nullptr;
    }
    char* real = realpath(where.c_str(), nullptr);
    if (!real) {
        error = std::string(std::strerror(errno));
        return false;
    }
    std::string folder = real;
    std::free(real);
    if (!endsWith(folder, '/')) folder += '/';
    // only this bundle, so that an installed copy of the same plug-in cannot stand in for it
    LilvNode* bundleUri = lilv_new_file_uri(world, nullptr, folder.c_str());
    lilv_world_load_bundle(world, bundleUri);
    const LilvPlugins* all = lilv_world_get_all_plugins(world);
    LILV_FOREACH(plugins, i, all) {
        const LilvPlugin* p = lilv_plugins_get(all, i);
        if (lilv_node_equals(lilv_plugin_get_bundle_uri(p), bundleUri)) {
            plugin = p;
            break;
        }
    }
    lilv_node_free(bundleUri);
    if (!plugin) error = "the bundle describes no LV2 plug-in";
    return plugin != nullptr;
}

bool CLv2Host::checkFeatures(std::string& error) {
    static const char* const offered[] = {LV2_URID__map, LV2_URID__unmap, LV2_OPTIONS__options,
                                          LV2_BUF_SIZE__boundedBlockLength};
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    LILV_FOREACH(nodes, i, required) {
        const char* feature = lilv_node_as_uri(lilv_nodes_get(required, i));
        if (std::none_of(std::begin(offered), std::end(offered),
                         [&](const char* o) { return std::strcmp(o, feature) == 0; })) {
            error =
                std::string("the plug-in needs the feature ") + feature + ", which rwhost lacks";
            break;
        }
    }
    lilv_nodes_free(required);
    return error.empty();
}

void CLv2Host::readPorts() {
    CNode audio(world, LV2_CORE__AudioPort), control(world, LV2_CORE__ControlPort),
        atom(world, LV2_ATOM__AtomPort), input(world, LV2_CORE__InputPort),
        midi(world, LV2_MIDI__MidiEvent);
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    ports.clear();
    ports.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const bool in = lilv_port_is_a(plugin, port, input.get());
        Port p{i, PortKind::other, 0.0f, {}};
        if (lilv_port_is_a(plugin, port, audio.get())) {
            p.kind = in ? PortKind::audioIn : PortKind::audioOut;
            if (!in) audioOutputs.push_back(i);
        } else if (lilv_port_is_a(plugin, port, control.get())) {
            p.kind = in ? PortKind::controlIn : PortKind::controlOut;
            LilvNode* initial = nullptr;
            lilv_port_get_range(plugin, port, &initial, nullptr, nullptr);
            if (initial) p.value = lilv_node_as_float(initial);
            lilv_node_free(initial);
        } else if (lilv_port_is_a(plugin, port, atom.get())) {
            p.kind = in ? PortKind::atomIn : PortKind::atomOut;
            const size_t bytes = in ? static_cast<size_t>(sequenceCapacity) : atomOutputCapacity;
            p.atoms.assign(bytes / sizeof(uint64_t), 0);
        }
        ports.push_back(std::move(p));
    }
    // MIDI goes to the first event input that takes it, else to the first event input
    for (Port& p : ports)
        if (p.kind == PortKind::atomIn && !eventInput &&
            lilv_port_supports_event(plugin, lilv_plugin_get_port_by_index(plugin, p.index),
                                     midi.get()))
            eventInput = &p;
    for (Port& p : ports)
        if (p.kind == PortKind::atomIn && !eventInput) eventInput = &p;
    if (lilv_plugin_has_latency(plugin))
        latencyPort = static_cast<int>(lilv_plugin_get_latency_port_index(plugin));
}

bool CLv2Host::instantiate(std::string& error) {
    freeInstance();
    optionRate = static_cast<float>(sampleRate);
    const LV2_URID intType = urids.map(LV2_ATOM__Int), floatType = urids.map(LV2_ATOM__Float);
    options = {{LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
                intType, &minBlock},
               {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                intType, &blockSize},
               {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__sequenceSize), sizeof(int32_t),
                intType, &sequenceBytes},
               {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_PARAMETERS__sampleRate), sizeof(float),
                floatType, &optionRate},
               {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    featureList = {{LV2_URID__map, urids.mapFeature()},
                   {LV2_URID__unmap, urids.unmapFeature()},
                   {LV2_OPTIONS__options, options.data()},
                   {LV2_BUF_SIZE__boundedBlockLength, nullptr}};
    features.clear();
    for (const LV2_Feature& f : featureList)
        features.push_back(&f);
    features.push_back(nullptr);
    instance = lilv_plugin_instantiate(plugin, sampleRate, features.data());
    if (!instance) {
        error = "the plug-in could not be instantiated";
        return false;
    }
    silence.assign(static_cast<size_t>(blockSize), 0.0f);
    scratch.assign(static_cast<size_t>(blockSize), 0.0f);
    connectPorts();
    clearEvents();
    positionSent = false;
    return true;
}

void CLv2Host::freeInstance() {
    if (!instance) return;
    stop();
    lilv_instance_free(instance);
    instance = nullptr;
}

void CLv2Host::connectPorts() {
    for (Port& p : ports) {
        void* data = nullptr;
        switch (p.kind) {
        case PortKind::audioOut:
            data = scratch.data();
            break;
        case PortKind::audioIn:
        case PortKind::other:
            data = silence.data();
            break;
        case PortKind::controlIn:
        case PortKind::controlOut:
            data = &p.value;
            break;
        case PortKind::atomIn:
        case PortKind::atomOut:
            data = p.atoms.data();
            break;
        }
        lilv_instance_connect_port(instance, p.index, data);
    }
}

void CLv2Host::describe(FILE* to) {
    LilvNode* name = lilv_plugin_get_name(plugin);
    std::fprintf(to, "format:         LV2\n");
    std::fprintf(to, "URI:            %s\n", lilv_node_as_uri(lilv_plugin_get_uri(plugin)));
    std::fprintf(to, "name:           %s\n", name ? lilv_node_as_string(name) : "");
    lilv_node_free(name);
    // the plug-in's own classes as its data names them; the specifications' class tree is
    // not loaded for a bundle given by path
    CNode type(world, "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
    LilvNodes* types = lilv_plugin_get_value(plugin, type.get());
    std::string classes;
    LILV_FOREACH(nodes, i, types) {
        const std::string typeUri = lilv_node_as_uri(lilv_nodes_get(types, i));
        classes += (classes.empty() ? "" : ", ") + typeUri.substr(typeUri.find_last_of("#/") + 1);
    }
    lilv_nodes_free(types);
    std::fprintf(to, "classes:        %s\n", classes.c_str());
    LilvNode* author = lilv_plugin_get_author_name(plugin);
    std::fprintf(to, "author:         %s\n", author ? lilv_node_as_string(author) : "");
    lilv_node_free(author);
    char* library =
        lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(plugin)), nullptr);
    std::fprintf(to, "library:        %s\n", library ? library : "");
    lilv_free(library);
    std::fprintf(to, "ports:          %u\n", lilv_plugin_get_num_ports(plugin));
    for (const Port& p : ports) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p.index);
        LilvNode* label = lilv_port_get_name(plugin, port);
        static const char* const kinds[] = {"audio output",   "audio input", "control input",
                                            "control output", "event input", "event output",
                                            "other"};
        std::fprintf(to, "  port %u: %s \"%s\" (%s)%s\n", p.index,
                     lilv_node_as_string(lilv_port_get_symbol(plugin, port)),
                     label ? lilv_node_as_string(label) : "", kinds[static_cast<int>(p.kind)],
                     static_cast<int>(p.index) == latencyPort ? " latency" : "");
        lilv_node_free(label);
    }
    std::fprintf(to, "outputs:        %zu\n", audioOutputs.size());
    CLv2Ui::Files files;
    std::fprintf(to, "X11 UI:         %s\n",
                 CLv2Ui::find(world, plugin, files) ? files.uri.c_str() : "none");
    std::fprintf(to, "state:          %s\n", stateInterface() ? "state:interface" : "none");
}

std::string CLv2Host::outputLabel(int index) {
    if (index < 0 || index >= outputCount()) return {};
    const LilvPort* port =
        lilv_plugin_get_port_by_index(plugin, audioOutputs[static_cast<size_t>(index)]);
    LilvNode* name = lilv_port_get_name(plugin, port);
    const std::string label = name ? lilv_node_as_string(name) : "";
    lilv_node_free(name);
    return label;
}

bool CLv2Host::canRender(std::string&) {
    return true;
}

void CLv2Host::configure(double rate, int block) {
    if (rate == sampleRate && block == blockSize) return;
    sampleRate = rate;
    blockSize = block;
    // the rate is fixed at instantiation: a new instance, set up like the first
    std::string error;
    instantiate(error);
}

void CLv2Host::start() {
    if (running || !instance) return;
    lilv_instance_activate(instance);
    running = true;
    positionSent = false;
    // a run of no frames, as hosts make one, so that the latency port holds the latency
    // before the first block
    if (latencyPort >= 0) lilv_instance_run(instance, 0);
}

void CLv2Host::stop() {
    if (!running) return;
    lilv_instance_deactivate(instance);
    running = false;
}

bool CLv2Host::positionChanged() const {
    const bool playing = transport.flags & kVstTransportPlaying;
    const bool wasPlaying = sentTransport.flags & kVstTransportPlaying;
    return !positionSent || (transport.flags & kVstTransportChanged) || playing != wasPlaying ||
           transport.tempo != sentTransport.tempo ||
           transport.timeSigNumerator != sentTransport.timeSigNumerator ||
           transport.timeSigDenominator != sentTransport.timeSigDenominator;
}

void CLv2Host::writePosition() {
    // a host sends the position at the start, after a jump, and when the tempo or play state
    // changes; in between the plug-in counts on by itself
    float beatsPerBar = defaultBeatsPerBar;
    int32_t beatUnit = defaultBeatUnit;
    if ((transport.flags & kVstTimeSigValid) && transport.timeSigNumerator > 0 &&
        transport.timeSigDenominator > 0) {
        beatsPerBar = static_cast<float>(transport.timeSigNumerator);
        beatUnit = transport.timeSigDenominator;
    }
    const double beats = transport.ppqPos * beatUnit / 4.0;
    const double bar = std::floor(beats / beatsPerBar);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &frame, 0, uri.position);
    lv2_atom_forge_key(&forge, uri.frame);
    lv2_atom_forge_long(&forge, 0);
    lv2_atom_forge_key(&forge, uri.speed);
    lv2_atom_forge_float(&forge, transport.flags & kVstTransportPlaying ? 1.0f : 0.0f);
    lv2_atom_forge_key(&forge, uri.beatsPerMinute);
    lv2_atom_forge_float(&forge, static_cast<float>(transport.tempo));
    lv2_atom_forge_key(&forge, uri.beatsPerBar);
    lv2_atom_forge_float(&forge, beatsPerBar);
    lv2_atom_forge_key(&forge, uri.beatUnit);
    lv2_atom_forge_int(&forge, beatUnit);
    lv2_atom_forge_key(&forge, uri.bar);
    lv2_atom_forge_long(&forge, static_cast<int64_t>(bar));
    lv2_atom_forge_key(&forge, uri.barBeat);
    lv2_atom_forge_float(&forge, static_cast<float>(beats - bar * beatsPerBar));
    lv2_atom_forge_key(&forge, uri.beat);
    lv2_atom_forge_double(&forge, beats);
    lv2_atom_forge_pop(&forge, &frame);
    sentTransport = transport;
    positionSent = true;
}

void CLv2Host::sendEvents(const BlockEvent* events, size_t count) {
    if (eventInput) writeEvents(events, count);
}

void CLv2Host::writeEvents(const BlockEvent* events, size_t count) {
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(eventInput->atoms.data()),
                              eventInput->atoms.size() * sizeof(uint64_t));
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (positionChanged()) writePosition();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t size = midiLength(events[i].data[0]);
        if (!lv2_atom_forge_frame_time(&forge, events[i].offset) ||
            !lv2_atom_forge_atom(&forge, size, uri.midiEvent) ||
            !lv2_atom_forge_write(&forge, events[i].data, size))
            break; // the sequence is full; the capacity holds far more than a block's events
    }
    lv2_atom_forge_pop(&forge, &sequence);
}

void CLv2Host::process(float** outputs, int frames) {
    if (!instance || frames <= 0 || frames > blockSize) return;
    for (size_t i = 0; i < audioOutputs.size(); ++i)
        lilv_instance_connect_port(instance, audioOutputs[i], outputs[i]);
    std::fill(silence.begin(), silence.end(), 0.0f);
    for (Port& p : ports)
        if (p.kind == PortKind::atomOut) {
            // an output sequence starts as the room the plug-in may fill
            auto* atom = reinterpret_cast<LV2_Atom*>(p.atoms.data());
            atom->size =
                static_cast<uint32_t>(p.atoms.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
            atom->type = uri.chunk;
        }
    lilv_instance_run(instance, static_cast<uint32_t>(frames));
    // a block without a sendEvents call hears nothing twice
    clearEvents();
}

void CLv2Host::clearEvents() {
    for (Port& p : ports)
        if (p.kind == PortKind::atomIn) {
            auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(p.atoms.data());
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            seq->atom.type = uri.sequence;
            seq->body.unit = 0;
            seq->body.pad = 0;
        }
}

// A negative or absurd latency is nonsense; rwhost renders no frames ahead for it.
int CLv2Host::latency() {
    if (latencyPort < 0) return 0;
    const float frames = ports[static_cast<size_t>(latencyPort)].value;
    return frames > 0.0f && frames < 1.0e9f ? static_cast<int>(frames) : 0;
}

const LV2_State_Interface* CLv2Host::stateInterface() {
    if (!instance) return nullptr;
    return static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance, LV2_STATE__interface));
}

bool CLv2Host::saveState(std::vector<StateProperty>& properties) {
    const LV2_State_Interface* state = stateInterface();
    if (!state || !state->save) return false;
    properties.clear();
    auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                    uint32_t type, uint32_t flags) -> LV2_State_Status {
        auto* list = static_cast<std::vector<StateProperty>*>(handle);
        const auto* bytes = static_cast<const unsigned char*>(value);
        list->push_back({key, type, flags, std::vector<unsigned char>(bytes, bytes + size)});
        return LV2_STATE_SUCCESS;
    };
    const LV2_Feature* stateFeatures[] = {&featureList[0], &featureList[1], nullptr};
    return state->save(lilv_instance_get_handle(instance), store, &properties,
                       LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                       stateFeatures) == LV2_STATE_SUCCESS;
}

bool CLv2Host::getState(std::vector<unsigned char>& bytes) {
    std::vector<StateProperty> properties;
    bytes.clear();
    if (!saveState(properties)) return false;
    const LV2_URID chunk = uri.chunk;
    for (const StateProperty& p : properties)
        if (p.type == chunk) {
            bytes = p.bytes;
            return !bytes.empty();
        }
    return false;
}

bool CLv2Host::setState(const std::vector<unsigned char>& bytes) {
    // what the plug-in saves now, with the chunk property's value replaced by the bytes
    std::vector<StateProperty> properties;
    if (bytes.empty() || !saveState(properties)) return false;
    const LV2_URID chunk = uri.chunk;
    auto found = std::find_if(properties.begin(), properties.end(),
                              [&](const StateProperty& p) { return p.type == chunk; });
    if (found == properties.end()) return false;
    found->bytes = bytes;
    auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                       uint32_t* flags) -> const void* {
        for (const StateProperty& p : *static_cast<std::vector<StateProperty>*>(handle))
            if (p.key == key) {
                if (size) *size = p.bytes.size();
                if (type) *type = p.type;
                if (flags) *flags = p.flags;
                return p.bytes.data();
            }
        return nullptr;
    };
    const LV2_Feature* stateFeatures[] = {&featureList[0], &featureList[1], nullptr};
    const LV2_State_Interface* state = stateInterface();
    return state->restore && state->restore(lilv_instance_get_handle(instance), retrieve,
                                            &properties, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                                            stateFeatures) == LV2_STATE_SUCCESS;
}

VstIntPtr CLv2Host::bridgeRequest(VstInt32 index, VstIntPtr value, void* ptr) {
    if (!instance) return 0;
    const auto* requests = static_cast<const RwbBridgeRequests*>(
        lilv_instance_get_extension_data(instance, RWB_LV2_BRIDGE_REQUESTS_URI));
    if (!requests || !requests->request) return 0;
    return requests->request(lilv_instance_get_handle(instance), index, value, ptr);
}

bool CLv2Host::hasEditor() {
    CLv2Ui::Files files;
    return CLv2Ui::find(world, plugin, files);
}

bool CLv2Host::editorSize(int& width, int& height) {
    return ui.size(width, height);
}

bool CLv2Host::openEditor(unsigned long parent, std::string& error) {
    const LV2_Feature* hostFeatures[] = {&featureList[0], &featureList[1], &featureList[2],
                                         nullptr};
    return ui.open(world, plugin, lilv_instance_get_handle(instance), hostFeatures, parent, error);
}

bool CLv2Host::idleEditor() {
    return ui.idle();
}

void CLv2Host::closeEditor() {
    ui.close();
}
