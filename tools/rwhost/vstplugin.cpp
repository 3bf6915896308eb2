#include "vstplugin.h"

#include <algorithm>

namespace {

/// Events handed over with one processing call; more wait for the next block.
constexpr size_t maxBlockEvents = 1024;

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

VstEvents* CEventList::fill(const BlockEvent* events, size_t count) {
    count = std::min(count, midi.size());
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(count);
    VstEvent** slots = list->events;
    for (size_t i = 0; i < count; ++i) {
        VstMidiEvent& m = midi[i];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.deltaFrames = events[i].offset;
        std::copy(events[i].data, events[i].data + 3, m.midiData);
        slots[i] = reinterpret_cast<VstEvent*>(&m);
    }
    return list;
}

CVstPlugin::CVstPlugin() : list(maxBlockEvents) {}

bool CVstPlugin::load(const std::string& where, std::string& error) {
    return host.load(where, error);
}

void CVstPlugin::describe(FILE* to) {
    const AEffect* e = host.effect();
    std::fprintf(to, "format:         VST 2.4\n");
    std::fprintf(to, "entry point:    %s\n", host.entryName());
    std::fprintf(to, "name:           %s\n", host.effectName().c_str());
    std::fprintf(to, "vendor:         %s\n", host.vendorString().c_str());
    std::fprintf(to, "product:        %s\n", host.productString().c_str());
    std::fprintf(to, "vendor version: %ld\n",
                 static_cast<long>(host.dispatch(effGetVendorVersion)));
    std::fprintf(to, "unique ID:      0x%08X '%s'\n", static_cast<unsigned>(e->uniqueID),
                 fourCharacters(e->uniqueID).c_str());
    std::fprintf(to, "version:        %d\n", e->version);
    std::fprintf(to, "VST version:    %ld\n", static_cast<long>(host.dispatch(effGetVstVersion)));
    const VstIntPtr category = host.dispatch(effGetPlugCategory);
    std::fprintf(to, "category:       %ld (%s)\n", static_cast<long>(category),
                 categoryName(category));
    std::fprintf(to, "flags:          0x%X (%s)\n", static_cast<unsigned>(e->flags),
                 flagNames(e->flags).c_str());
    std::fprintf(to, "programs:       %d\n", e->numPrograms);
    std::fprintf(to, "parameters:     %d\n", e->numParams);
    std::fprintf(to, "inputs:         %d\n", e->numInputs);
    std::fprintf(to, "outputs:        %d\n", e->numOutputs);
    std::fprintf(to, "initial delay:  %d\n", e->initialDelay);
    for (int i = 0; i < e->numOutputs; ++i) {
        std::string label;
        VstInt32 flags = 0;
        if (!host.outputProperties(i, label, flags)) {
            std::fprintf(to, "  output %d: (not described)\n", i + 1);
            continue;
        }
        std::fprintf(to, "  output %d: \"%s\" flags 0x%X%s%s\n", i + 1, label.c_str(),
                     static_cast<unsigned>(flags), flags & kVstPinIsActive ? " active" : "",
                     flags & kVstPinIsStereo ? " stereo" : "");
    }
    std::fprintf(to, "capabilities:\n");
    for (const char* c : capabilities)
        std::fprintf(to, "  %-20s %s\n", c, answerText(host.canDo(c)));
}

int CVstPlugin::outputCount() {
    return host.effect() ? host.effect()->numOutputs : 0;
}

std::string CVstPlugin::outputLabel(int index) {
    std::string label;
    VstInt32 flags = 0;
    return host.outputProperties(index, label, flags) ? label : std::string();
}

bool CVstPlugin::canRender(std::string& why) {
    if (host.effect()->flags & effFlagsCanReplacing) return true;
    why = "cannot process replacing";
    return false;
}

void CVstPlugin::sendEvents(const BlockEvent* events, size_t count) {
    if (count > 0) host.sendEvents(list.fill(events, count));
}

bool CVstPlugin::hasEditor() {
    return host.effect()->flags & effFlagsHasEditor;
}

bool CVstPlugin::editorSize(int& width, int& height) {
    ERect* rect = nullptr;
    if (host.dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect || rect->right <= rect->left ||
        rect->bottom <= rect->top)
        return false;
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

bool CVstPlugin::openEditor(unsigned long parent, std::string&) {
    host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent));
    return true;
}

bool CVstPlugin::idleEditor() {
    host.dispatch(effEditIdle);
    return true;
}
