#include "engine/bridgerequests.h"

#include <algorithm>
#include <cstdio>

#include "engine/synth.h"
#include "rewire/rewireapi.h"

namespace {

// The peak request's float[8]: the plug-in's eight outputs.
constexpr int kMeteredOutputs = 8;

// The text of a string that may hold none.
const char* textOf(const CStr& s) {
    return s.asChar() ? s.asChar() : "";
}

void fillState(const CSynth& synth, BridgeState& state) {
    state = BridgeState{};
    const CReWireMixer* mixer = synth.getMixer();
    state.libraryFound = mixer->isActive() ? 1 : 0;
    state.deviceCount = mixer->deviceCount();
    state.device = synth.getDeviceIndex();
    state.sync = synth.getSync();
    const CMIDIMapping& mapping = synth.getMapping();
    state.mapRows = mapping.getCount();
    for (int row = 0; row < std::min(state.mapRows, kStateMapRows); row++)
        state.map[row] = mapping.getChannel(row);
    snprintf(state.searched, sizeof state.searched, "%s", textOf(ReWireLibraryFolders()));
}

VstIntPtr copyDeviceName(const CSynth& synth, VstIntPtr index, char* name) {
    const CReWireMixer* mixer = synth.getMixer();
    if (index < 0 || index >= mixer->deviceCount()) return 0;
    snprintf(name, kDeviceNameBytes, "%s", textOf(mixer->deviceName(static_cast<int>(index))));
    return 1;
}

VstIntPtr copyDeviceStatus(const CSynth& synth, char* text) {
    if (synth.getDeviceIndex() < 0) return 0;
    snprintf(text, kDeviceStatusBytes, "%s", textOf(synth.getDeviceStatus()));
    return 1;
}

VstIntPtr chooseDevice(CSynth& synth, VstIntPtr index) {
    if (index < -1 || index >= synth.getMixer()->deviceCount()) return 0;
    synth.setDevice(static_cast<int>(index));
    // the editor's mapping rows list the targets of the device now open
    synth.updateIdle(CSynth::kIdleRebuildMapping, false);
    return synth.getDeviceIndex() == index ? 1 : 0;
}

} // namespace

VstIntPtr answerBridgeRequest(CSynth& synth, VstInt32 index, VstIntPtr value, void* ptr) {
    switch (index) {
    case kPeakLevelsRequest:
        if (!ptr) return 0;
        for (int i = 0; i < kMeteredOutputs; i++)
            static_cast<float*>(ptr)[i] =
                synth.getMixer()->outs.peak[i].load(std::memory_order_relaxed);
        return 1;
    case kBridgeStateRequest:
        if (!ptr) return 0;
        fillState(synth, *static_cast<BridgeState*>(ptr));
        return 1;
    case kDeviceNameRequest:
        return ptr ? copyDeviceName(synth, value, static_cast<char*>(ptr)) : 0;
    case kChooseDeviceRequest:
        return chooseDevice(synth, value);
    case kDeviceStatusRequest:
        return ptr ? copyDeviceStatus(synth, static_cast<char*>(ptr)) : 0;
    default:
        return 0;
    }
}
