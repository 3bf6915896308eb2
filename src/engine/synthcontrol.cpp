// The engine as the editor sees it: the library's device list, the open device's MIDI targets
// and the output meters, read on the UI side.
#include <atomic>

#include "engine/synth.h"

namespace {
bool isOutput(int output) {
    return output >= 0 && output < CAudioOuts::kCount;
}
} // namespace

int CSynth::deviceCount() const {
    return mixer->deviceCount();
}

CStr CSynth::deviceName(int index) const {
    return mixer->deviceName(index);
}

int CSynth::busCount() const {
    return device ? device->getBusses() : 0;
}

CStr CSynth::busName(int target) const {
    return device ? device->getBusName(target) : CStr();
}

float CSynth::peakLevel(int output) const {
    return isOutput(output) ? mixer->outs.peak[output].load(std::memory_order_relaxed) : 0.0f;
}

void CSynth::lowerPeak(int output, float amount) {
    if (!isOutput(output)) return;
    std::atomic<float>& peak = mixer->outs.peak[output];
    float current = peak.load(std::memory_order_relaxed);
    float lowered;
    // a level the audio thread raises meanwhile is kept: try again with the new value
    do {
        lowered = current - amount;
        if (lowered < 0.0f) lowered = 0.0f;
    } while (current != lowered &&
             !peak.compare_exchange_weak(current, lowered, std::memory_order_relaxed));
}

bool CSynth::outputEnabled(int output) const {
    return isOutput(output) && mixer->outs.enabled[output] != 0;
}

bool CSynth::outputStereo(int output) const {
    return isOutput(output) && mixer->outs.stereo[output] != 0;
}

void CSynth::beginReading() {
    mixer->gate.beginEdit();
}

void CSynth::endReading() {
    mixer->gate.endEdit();
}
