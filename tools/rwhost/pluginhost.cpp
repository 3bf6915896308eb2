#include "pluginhost.h"

#include <cstring>

namespace {

/// Identity of this host towards plug-ins.
constexpr const char* vendorName = "rwbridge";
constexpr const char* productName = "rwhost";
constexpr VstInt32 productVersion = 1;

/// Capabilities this host has; anything else is answered "don't know".
const char* const hostCapabilities[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo"};

/// Text requests get a buffer far larger than any label, since some plug-ins write past the
/// customary lengths.
constexpr size_t textBufferSize = 512;

CPluginHost* loadedHost = nullptr;

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
    // a plug-in may ask before its descriptor exists (the version request from its entry)
    if (opcode == hostOpVersion) return kVstVersion;
    return loadedHost ? loadedHost->answer(effect, opcode, index, value, ptr, opt) : 0;
}

void copyText(void* ptr, const char* text) {
    if (ptr) std::strcpy(static_cast<char*>(ptr), text); // the host's texts are short
}

} // namespace

CPluginHost::CPluginHost() {
    loadedHost = this;
}

CPluginHost::~CPluginHost() {
    unload();
    if (loadedHost == this) loadedHost = nullptr;
}

bool CPluginHost::load(const std::string& path, std::string& error) {
    unload();
    if (!library.open(path, error)) return false;
    using EntryProc = AEffect* (*)(audioMasterCallback);
    for (const char* name : {"VSTPluginMain", "main"}) {
        auto create = reinterpret_cast<EntryProc>(library.symbol(name));
        if (!create) continue;
        entry = name;
        plugin = create(hostCallback);
        if (!plugin) {
            error = std::string(name) + " created no plug-in";
        } else if (plugin->magic != kEffectMagic || !plugin->dispatcher) {
            error = "the entry point returned something that is not a VST plug-in";
            plugin = nullptr; // not ours to close
        } else {
            dispatch(effOpen);
            readLatency();
            return true;
        }
        library.close();
        return false;
    }
    error = path + " exports neither VSTPluginMain nor main";
    library.close();
    return false;
}

void CPluginHost::unload() {
    if (plugin) {
        stop();
        dispatch(effClose);
        plugin = nullptr;
    }
    delay = 0;
    library.close();
}

VstIntPtr CPluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return plugin ? plugin->dispatcher(plugin, opcode, index, value, ptr, opt) : 0;
}

// A negative delay is nonsense; rwhost renders no frames ahead for it.
void CPluginHost::readLatency() {
    delay = plugin && plugin->initialDelay > 0 ? plugin->initialDelay : 0;
}

std::string CPluginHost::askText(VstInt32 opcode) {
    std::vector<char> text(textBufferSize, 0);
    dispatch(opcode, 0, 0, text.data());
    text.back() = 0;
    return text.data();
}

std::string CPluginHost::effectName() {
    return askText(effGetEffectName);
}
std::string CPluginHost::vendorString() {
    return askText(effGetVendorString);
}
std::string CPluginHost::productString() {
    return askText(effGetProductString);
}

bool CPluginHost::outputProperties(int index, std::string& label, VstInt32& flags) {
    union {
        VstPinProperties pin;
        char room[textBufferSize];
    } buffer;
    std::memset(&buffer, 0, sizeof(buffer));
    if (dispatch(effGetOutputProperties, index, 0, &buffer.pin) == 0) return false;
    buffer.pin.label[kVstMaxLabelLen - 1] = 0;
    label = buffer.pin.label;
    flags = buffer.pin.flags;
    return true;
}

VstInt32 CPluginHost::canDo(const char* capability) {
    std::vector<char> text(capability, capability + std::strlen(capability) + 1);
    return static_cast<VstInt32>(dispatch(effCanDo, 0, 0, text.data()));
}

bool CPluginHost::getChunk(std::vector<unsigned char>& bytes) {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
    bytes.clear();
    if (size <= 0 || !data) return false;
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

bool CPluginHost::setChunk(const std::vector<unsigned char>& bytes) {
    if (!plugin || bytes.empty()) return false;
    // the plug-in copies what it needs; our buffer only has to live through the call
    std::vector<unsigned char> copy = bytes;
    dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
    return true;
}

void CPluginHost::configure(double rate, int block) {
    sampleRate = rate;
    blockSize = block;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, block);
    silence.assign(static_cast<size_t>(block), 0.0f);
    inputs.assign(plugin && plugin->numInputs > 0 ? static_cast<size_t>(plugin->numInputs) : 1,
                  silence.data());
}

void CPluginHost::start() {
    if (running || !plugin) return;
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    running = true;
}

void CPluginHost::stop() {
    if (!running) return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    running = false;
}

void CPluginHost::sendEvents(const VstEvents* events) {
    dispatch(effProcessEvents, 0, 0, const_cast<VstEvents*>(events));
}

void CPluginHost::process(float** outputs, int frames) {
    if (!plugin || frames <= 0 || frames > blockSize) return;
    std::fill(silence.begin(), silence.end(), 0.0f); // a plug-in may have written into it
    if (plugin->flags & effFlagsCanReplacing && plugin->processReplacing)
        plugin->processReplacing(plugin, inputs.data(), outputs, frames);
}

VstIntPtr CPluginHost::answer(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    switch (opcode) {
    case hostOpGetTime:
        // every field the transport knows is filled and flagged, whatever was asked for
        ++timeRequestCount;
        return reinterpret_cast<VstIntPtr>(&transport);
    case hostOpWantMidi:
        return 1;
    case hostOpGetCurrentProcessLevel:
        return processLevel;
    case hostOpIOChanged:
        readLatency();
        return 1;
    case hostOpGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate);
    case hostOpGetBlockSize:
        return blockSize;
    case hostOpGetVendorString:
        copyText(ptr, vendorName);
        return ptr ? 1 : 0;
    case hostOpGetProductString:
        copyText(ptr, productName);
        return ptr ? 1 : 0;
    case hostOpGetVendorVersion:
        return productVersion;
    case hostOpCanDo:
        if (!ptr) return 0;
        for (const char* c : hostCapabilities)
            if (std::strcmp(static_cast<const char*>(ptr), c) == 0) return 1;
        return 0;
    default:
        // automation, idle, display updates and everything unknown need no answer
        return 0;
    }
}
