// rwhost info: what a plug-in tells a host about itself.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chunkrecords.h"
#include "commands.h"
#include "pluginhost.h"

namespace {

const char* const infoUsage = "usage: rwhost info PLUGIN\n"
                              "\n"
                              "Loads a VST 2.4 plug-in and prints its descriptor, category,\n"
                              "outputs with their labels and flags, and its capability answers.\n";

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

} // namespace

int runInfo(int argc, char** argv) {
    if (argc >= 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
        std::fputs(infoUsage, stdout);
        return exitOk;
    }
    if (argc != 1 || argv[0][0] == '-') {
        std::fputs(infoUsage, stderr);
        return exitUsage;
    }
    CPluginHost host;
    std::string error;
    if (!host.load(argv[0], error)) {
        report("cannot load %s: %s", argv[0], error.c_str());
        return exitFailed;
    }
    const AEffect* e = host.effect();
    std::printf("plug-in:        %s\n", argv[0]);
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
    int32_t device = -1;
    if (host.hasChunks() && host.getChunk(chunk)) {
        std::printf("state chunk:    %zu bytes\n", chunk.size());
        if (chunkDevice(chunk, device)) std::printf("ReWire device:  %d\n", device);
    }
    std::printf("capabilities:\n");
    for (const char* c : capabilities)
        std::printf("  %-20s %s\n", c, answerText(host.canDo(c)));
    return exitOk;
}
