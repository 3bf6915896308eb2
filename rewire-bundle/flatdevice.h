// Flat device: output channel n holds the constant level (n + 1) / 16. It does no synthesis, so
// what a host spends on it is the host's own cost of moving audio; benchmarks use it.
#pragma once

#include "bundledevice.h"

class CFlatDevice : public CBundleDevice {
public:
    CFlatDevice(const CStr& deviceName, int channels);

    static float channelLevel(int channel) { return float(channel + 1) / 16.0f; }

protected:
    void reset() override {}
    void midiEvent(const ReWireMIDIEvent&) override {}
    void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                int count) override;
};
