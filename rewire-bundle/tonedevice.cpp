#include "tonedevice.h"

#include <cmath>

namespace {
const double kTwoPi = 6.283185307179586;
}

CToneDevice::CToneDevice(const CStr& deviceName, int channels)
    : CBundleDevice(deviceName, channels) {
    for (int n = 0; n < getChannelCount(); n++)
        setChannelName(n, "Tone " + asStr(n + 1));
}

void CToneDevice::reset() {
    for (double& phase : phases)
        phase = 0;
}

void CToneDevice::render(const ReWireDriveAudioInputParams&, float* const* buffers, int first,
                         int count) {
    for (int n = 0; n < getChannelCount(); n++) {
        if (!buffers[n]) continue;
        double step = kTwoPi * channelFrequency(n) / rate;
        for (int f = first; f < first + count; f++) {
            buffers[n][f] = kLevel * float(std::sin(phases[n]));
            phases[n] += step;
            if (phases[n] >= kTwoPi) phases[n] -= kTwoPi;
        }
    }
}
