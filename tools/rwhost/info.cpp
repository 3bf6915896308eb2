// rwhost info: what a plug-in tells a host about itself.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "pluginhost.h"
#include "session.h"

namespace {

/// Capabilities that a host of instruments asks about.
const char* const capabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                                    "sendVstEvents", "sendVstMidiEvent"};

const char* categoryName(VstIntPtr category) {
    switch (category) {
    case kPlugCategUnknown:
        return "unknown";
    case kPlugCategSynth:
        return "instrument";
    default:
        return "other";
    }
}

std::string fourCharacters(VstInt32 id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((id >> shift) & 0xFF);
        s += c >= 0x20 && c < 0x7F ? c : '.';
    }
    return s;
}

std::string flagNames(VstInt32 flags) {
    static const struct {
        VstInt32 bit;
        const char* name;
    } names[] = {
        {effFlagsHasEditor, "editor"},      {effFlagsCanReplacing, "replacing"},
        {effFlagsProgramChunks, "chunks"},  {effFlagsIsSynth, "instrument"},
        {effFlagsNoSoundInStop, "no-tail"}, {effFlagsCanDoubleReplacing, "double-replacing"}};
    std::string s;
    for (const auto& n : names)
        if (flags & n.bit) s += std::string(s.empty() ? "" : ", ") + n.name;
    return s;
}

const char* answerText(VstInt32 answer) {
    return answer > 0 ? "yes" : answer < 0 ? "no" : "don't know";
}

/// The ReWire devices of a plug-in that hosts them, with the chosen one.
void printDevices(CPluginHost& host) {
    BridgeState state;
    if (!askBridgeState(host, state)) return;
    if (!state.libraryFound) {
        std::printf("ReWire library: not found (searched: %s)\n", state.searched);
        return;
    }
    const std::vector<std::string> names = deviceNames(host, state);
    std::printf("ReWire devices: %zu\n", names.size());
    for (size_t i = 0; i < names.size(); ++i)
        std::printf("  device %zu: %s\n", i, names[i].c_str());
    if (state.device < 0) {
        std::printf("ReWire device:  none chosen\n");
        return;
    }
    std::printf("ReWire device:  %d (chosen)\n", state.device);
    std::printf("  latency:      %d frames\n", host.latency());
    char status[kDeviceStatusBytes] = {};
    if (host.dispatch(effVendorSpecific, kDeviceStatusRequest, 0, status) != 1) return;
    status[sizeof status - 1] = 0;
    std::printf("  state:        %s\n", status[0] ? status : "ready");
}

} // namespace

int runInfo(int argc, char** argv) {
    HostOptions o;
    int exitCode = exitOk;
    if (!readCommandLine(infoCommand, argc, argv, o, exitCode)) return exitCode;
    CPluginHost host;
    std::string error;
    if (!host.load(o.plugin, error)) {
        report("cannot load %s: %s", o.plugin.c_str(), error.c_str());
        return exitFailed;
    }
    if (o.device >= 0 && !chooseDevice(host, o.device)) return exitFailed;
    const AEffect* e = host.effect();
    std::printf("plug-in:        %s\n", o.plugin.c_str());
    std::printf("entry point:    %s\n", host.entryName());
    std::printf("name:           %s\n", host.effectName().c_str());
    std::printf("vendor:         %s\n", host.vendorString().c_str());
    std::printf("product:        %s\n", host.productString().c_str());
    std::printf("vendor version: %ld\n", static_cast<long>(host.dispatch(effGetVendorVersion)));
    std::printf("unique ID:      0x%08X '%s'\n", static_cast<unsigned>(e->uniqueID),
                fourCharacters(e->uniqueID).c_str());
    std::printf("version:        %d\n", e->version);
    std::printf("VST version:    %ld\n", static_cast<long>(host.dispatch(effGetVstVersion)));
    const VstIntPtr category = host.dispatch(effGetPlugCategory);
    std::printf("category:       %ld (%s)\n", static_cast<long>(category), categoryName(category));
    std::printf("flags:          0x%X (%s)\n", static_cast<unsigned>(e->flags),
                flagNames(e->flags).c_str());
    std::printf("programs:       %d\n", e->numPrograms);
    std::printf("parameters:     %d\n", e->numParams);
    std::printf("inputs:         %d\n", e->numInputs);
    std::printf("outputs:        %d\n", e->numOutputs);
    std::printf("initial delay:  %d\n", e->initialDelay);
    for (int i = 0; i < e->numOutputs; ++i) {
        std::string label;
        VstInt32 flags = 0;
        if (!host.outputProperties(i, label, flags)) {
            std::printf("  output %d: (not described)\n", i + 1);
            continue;
        }
        std::printf("  output %d: \"%s\" flags 0x%X%s%s\n", i + 1, label.c_str(),
                    static_cast<unsigned>(flags), flags & kVstPinIsActive ? " active" : "",
                    flags & kVstPinIsStereo ? " stereo" : "");
    }
    std::vector<unsigned char> chunk;
    if (host.hasChunks() && host.getChunk(chunk))
        std::printf("state chunk:    %zu bytes\n", chunk.size());
    printDevices(host);
    std::printf("capabilities:\n");
    for (const char* c : capabilities)
        std::printf("  %-20s %s\n", c, answerText(host.canDo(c)));
    return exitOk;
}
