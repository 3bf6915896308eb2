#include "flatdevice.h"

#include <algorithm>

CFlatDevice::CFlatDevice(const CStr& deviceName, int channels)
    : CBundleDevice(deviceName, channels) {
    for (int n = 0; n < getChannelCount(); n++)
        setChannelName(n, "Flat " + asStr(n + 1));
}

void CFlatDevice::render(const ReWireDriveAudioInputParams&, float* const* buffers, int first,
                         int count) {
    for (int n = 0; n < getChannelCount(); n++)
        if (buffers[n]) std::fill(buffers[n] + first, buffers[n] + first + count, channelLevel(n));
}
