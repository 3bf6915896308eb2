// A mixer opened on a freshly installed copy of our ReWire library, and output buffers to
// render into.
#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "rewire/midi.h"
#include "rewire/mixer.h"
#include "testinstall.h"

/// Eight output channels prefilled with a marker value.
struct COutputs {
    COutputs(int frames, float fill = 0) {
        for (int n = 0; n < CAudioOuts::kCount; n++) {
            data[n].assign(size_t(frames), fill);
            pointers[n] = data[n].data();
        }
    }
    void fill(float value) {
        for (auto& channel : data)
            std::fill(channel.begin(), channel.end(), value);
    }
    std::vector<float> data[CAudioOuts::kCount];
    float* pointers[CAudioOuts::kCount];
};

class MixerTest : public ::testing::Test {
protected:
    static constexpr int kRate = 44100;
    static constexpr int kFrames = 256;

    /// Installs the library (the built one unless given) with registry (none for the demo
    /// devices) and opens a mixer.
    void openMixer(const std::string& registry, int maxFrames = kFrames,
                   const std::string& library = std::string()) {
        install.addBundle(0, "ReWire.bundle", "1.8.0", registry, library);
        mixer = std::make_unique<CReWireMixer>(kRate, maxFrames);
        mixer->setCloseTimeout(500);
        mixer->open(kRate, maxFrames);
    }

    CReWireDevice* openDevice(int index) {
        EXPECT_TRUE(mixer->openDevice(index));
        return mixer->getDevice(index);
    }

    void process(COutputs& outputs, int frames = kFrames, std::vector<CMIDIDATA> events = {}) {
        mixer->process(outputs.pointers, frames, int(events.size()), events.data());
    }

    /// Renders frames in blocks into one long mono recording of output channel.
    std::vector<float> record(int frames, int channel, bool followTransport = false) {
        std::vector<float> recording;
        COutputs outputs(kFrames);
        for (int done = 0; done < frames; done += kFrames) {
            int block = std::min(kFrames, frames - done);
            if (followTransport) mixer->setPos(positionAt(recordedFrames));
            outputs.fill(0);
            std::vector<CMIDIDATA> events;
            events.swap(pending);
            process(outputs, block, events);
            recording.insert(recording.end(), outputs.data[channel].begin(),
                             outputs.data[channel].begin() + block);
            recordedFrames += block;
        }
        return recording;
    }

    /// Quarter notes at a frame count, with the mixer's tempo.
    double positionAt(long frames) const {
        return double(frames) * mixer->getTempo() / 60.0 / kRate;
    }

    CTestInstall install;
    std::unique_ptr<CReWireMixer> mixer;
    std::vector<CMIDIDATA> pending;
    long recordedFrames = 0;
};
