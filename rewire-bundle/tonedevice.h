// Test-tone device: output channel n is a steady sine of its own frequency, for routing checks.
#pragma once

#include "bundledevice.h"

class CToneDevice : public CBundleDevice {
public:
    static constexpr float kLevel = 0.25f;

    CToneDevice(const CStr& deviceName, int channels);

    static double channelFrequency(int channel) { return 110.0 + 55.0 * channel; }

protected:
    void reset() override;
    void midiEvent(const ReWireMIDIEvent&) override {}
    void render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                int count) override;

private:
    double phases[kMaxChannels] = {};
};
