// Pieces shared by the commands that run a plug-in: the ReWire device questions asked through
// the plug-in's vendor-specific requests, the song, and the processing of one block.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "midifile.h"
#include "plugin.h"
#include "sequencer.h"
#include "vst/vendorrequests.h"

/// The plug-in's ReWire side; false when the plug-in does not answer the state request.
bool askBridgeState(CHostedPlugin& host, BridgeState& state);
/// The names of the devices the plug-in offers, in its order.
std::vector<std::string> deviceNames(CHostedPlugin& host, const BridgeState& state);

/// Asks the plug-in to choose the device; reports and answers false when it cannot: no ReWire
/// library, no such device, or a device that does not open.
bool chooseDevice(CHostedPlugin& host, int device);
/// Tells on stderr when the plug-in offers ReWire devices but plays none, so its outputs stay
/// silent.
void warnWithoutDevice(CHostedPlugin& host);

/// Loads the MIDI file; reports and answers false when it cannot be read or played.
bool loadSong(const std::string& path, MidiSong& song);

struct SoundFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

/// A WAV file of 32-bit floats for writing; reports and gives null when it cannot be made.
SoundFile openWav(const std::string& path, double rate, int channels);

/// One processing call as a host makes it: the sequencer's transport and MIDI events go to the
/// plug-in, then its outputs are rendered into buffers of one block. Allocates only when built.
class CBlockProcessor {
public:
    CBlockProcessor(CHostedPlugin& plugin, int blockFrames);

    /// Processes frames (at most a block) and interleaves them for a WAV file; the peaks count
    /// the frames from firstKept on.
    void process(CSequencer& sequencer, int frames, int firstKept = 0);
    int channels() const { return channelCount; }
    /// The last block, frame by frame, every output of a frame side by side.
    const float* interleaved() const { return frameData.data(); }
    /// Largest absolute sample of each output so far.
    const std::vector<float>& peaks() const { return peakLevels; }

private:
    CHostedPlugin& host;
    int channelCount;
    std::vector<std::vector<float>> buffers;
    std::vector<float*> outputs;
    std::vector<float> frameData;
    std::vector<float> peakLevels;
    std::vector<BlockEvent> events;
};
