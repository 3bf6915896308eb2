#include "session.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "commands.h"

namespace {

/// Events handed over with one processing call; more wait for the next block.
constexpr size_t maxBlockEvents = 1024;

/// "3 devices: 0 Sine, 1 Square, 2 Saw", or "no devices".
std::string deviceList(const std::vector<std::string>& names) {
    if (names.empty()) return "no devices";
    std::string text =
        std::to_string(names.size()) + (names.size() == 1 ? " device:" : " devices:");
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : " ") + std::to_string(i) + " " + names[i];
    return text;
}

} // namespace

bool askBridgeState(CHostedPlugin& host, BridgeState& state) {
    state = BridgeState{};
    state.device = -1;
    if (host.bridgeRequest(kBridgeStateRequest, 0, &state) != 1) return false;
    state.searched[sizeof state.searched - 1] = 0;
    return true;
}

std::vector<std::string> deviceNames(CHostedPlugin& host, const BridgeState& state) {
    std::vector<std::string> names;
    for (int i = 0; i < state.deviceCount; ++i) {
        char name[kDeviceNameBytes] = {};
        if (host.bridgeRequest(kDeviceNameRequest, i, name) != 1) break;
        name[sizeof name - 1] = 0;
        names.emplace_back(name);
    }
    return names;
}

bool chooseDevice(CHostedPlugin& host, int device) {
    BridgeState state;
    if (!askBridgeState(host, state)) {
        report("--device needs a plug-in that lists ReWire devices");
        return false;
    }
    if (!state.libraryFound) {
        report("no ReWire library found (searched: %s)", state.searched);
        return false;
    }
    const std::vector<std::string> names = deviceNames(host, state);
    if (device >= static_cast<int>(names.size())) {
        report("there is no device %d (%s)", device, deviceList(names).c_str());
        return false;
    }
    if (host.bridgeRequest(kChooseDeviceRequest, device, nullptr) != 1) {
        report("device %d (%s) could not be opened", device,
               names[static_cast<size_t>(device)].c_str());
        return false;
    }
    return true;
}

void warnWithoutDevice(CHostedPlugin& host) {
    BridgeState state;
    if (!askBridgeState(host, state) || state.device >= 0) return;
    if (!state.libraryFound)
        report("no ReWire library found (searched: %s): the outputs stay silent", state.searched);
    else if (state.deviceCount > 0)
        report("no ReWire device chosen: the outputs stay silent; choose one with --device N; "
               "rwhost info lists them");
}

bool loadSong(const std::string& path, MidiSong& song) {
    errno = 0;
    const MidiFileError e = loadMidiFile(path, song);
    if (e == MidiFileError::unreadableFile && errno != 0) {
        report("cannot read %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    if (e != MidiFileError::none) {
        report("cannot play %s: %s", path.c_str(), asText(e));
        return false;
    }
    return true;
}

SoundFile openWav(const std::string& path, double rate, int channels) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(rate));
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    errno = 0;
    SoundFile wav(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!wav)
        report("cannot write %s: %s", path.c_str(),
               errno ? std::strerror(errno) : sf_strerror(nullptr));
    return wav;
}

CBlockProcessor::CBlockProcessor(CHostedPlugin& plugin, int blockFrames)
    : host(plugin), channelCount(plugin.outputCount()),
      buffers(static_cast<size_t>(channelCount),
              std::vector<float>(static_cast<size_t>(blockFrames))),
      frameData(static_cast<size_t>(channelCount) * static_cast<size_t>(blockFrames)),
      peakLevels(static_cast<size_t>(channelCount), 0.0f), events(maxBlockEvents) {
    for (auto& b : buffers)
        outputs.push_back(b.data());
}

void CBlockProcessor::process(CSequencer& sequencer, int frames, int firstKept) {
    host.setTransport(sequencer.timeInfo());
    const size_t count = sequencer.advance(frames, events.data(), events.size());
    host.sendEvents(events.data(), count);
    for (auto& b : buffers)
        std::fill(b.begin(), b.end(), 0.0f);
    host.process(outputs.data(), frames);
    for (size_t c = 0; c < buffers.size(); ++c)
        for (int f = 0; f < frames; ++f) {
            const float v = buffers[c][static_cast<size_t>(f)];
            frameData[static_cast<size_t>(f) * buffers.size() + c] = v;
            if (f >= firstKept) peakLevels[c] = std::max(peakLevels[c], std::fabs(v));
        }
}
