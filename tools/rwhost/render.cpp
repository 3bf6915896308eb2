// rwhost render: a MIDI file through a plug-in into a multichannel WAV file, with the
// transport running as a sequencer's would.
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chunkrecords.h"
#include "commands.h"
#include "midifile.h"
#include "options.h"
#include "pluginhost.h"
#include "sequencer.h"
#include "session.h"

namespace {

/// Chunks larger than this are not plug-in state.
constexpr long maxChunkFile = 64L << 20;
/// Events handed over with one processing call; more wait for the next block.
constexpr size_t maxBlockEvents = 1024;
constexpr int maxOutputs = 64;
constexpr double defaultSeconds = 4.0;
constexpr double tailSeconds = 1.0;
/// The longest render, as for --seconds; a damaged file may claim a song of years.
constexpr double maxSeconds = 3600.0;

bool readFile(const std::string& path, std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    unsigned char buffer[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
        if (static_cast<long>(bytes.size() + n) > maxChunkFile) {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

struct SoundFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

/// Setup that can fail before any audio is made.
bool prepare(const RenderOptions& o, CPluginHost& host, MidiSong& song) {
    if (!o.midi.empty()) {
        const MidiFileError e = loadMidiFile(o.midi, song);
        if (e != MidiFileError::none) {
            report("cannot play %s: %s", o.midi.c_str(), asText(e));
            return false;
        }
    }
    std::vector<unsigned char> chunkIn;
    if (!o.chunkIn.empty() && (!readFile(o.chunkIn, chunkIn) || chunkIn.empty())) {
        report("cannot read chunk file %s", o.chunkIn.c_str());
        return false;
    }
    std::string error;
    if (!host.load(o.plugin, error)) {
        report("cannot load %s: %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    const int outputs = host.effect()->numOutputs;
    if (outputs <= 0 || outputs > maxOutputs) {
        report("%s has %d outputs; 1 to %d can be rendered", o.plugin.c_str(), outputs, maxOutputs);
        return false;
    }
    if (!(host.effect()->flags & effFlagsCanReplacing)) {
        report("%s cannot process replacing", o.plugin.c_str());
        return false;
    }
    host.configure(o.rate, o.block);
    if (!chunkIn.empty()) {
        if (!host.hasChunks()) {
            report("%s does not keep its state in chunks", o.plugin.c_str());
            return false;
        }
        host.setChunk(chunkIn);
    }
    return o.device < 0 || chooseDevice(host, o.device);
}

void printPeaks(CPluginHost& host, const std::vector<float>& peaks) {
    for (size_t i = 0; i < peaks.size(); ++i) {
        std::string label;
        VstInt32 flags = 0;
        if (host.outputProperties(static_cast<int>(i), label, flags)) label = "\"" + label + "\"";
        const double db = peaks[i] > 0.0f ? 20.0 * std::log10(peaks[i]) : -INFINITY;
        std::printf("output %zu %-12s peak %.6f (%.1f dBFS)\n", i + 1, label.c_str(), peaks[i], db);
    }
}

} // namespace

int runRender(int argc, char** argv) {
    RenderOptions o;
    std::string error;
    if (!parseRenderOptions(argc, argv, o, error)) {
        report("%s", error.c_str());
        std::fputs(renderUsage, stderr);
        return exitUsage;
    }
    if (o.help) {
        std::fputs(renderUsage, stdout);
        return exitOk;
    }

    CPluginHost host;
    MidiSong song;
    if (!prepare(o, host, song)) return exitFailed;
    const int channels = host.effect()->numOutputs;

    TransportSettings transport;
    transport.sampleRate = o.rate;
    transport.fixedTempo = o.tempo;
    transport.playing = !o.stopped;
    transport.loop = o.loop;
    transport.loopStart = o.loopStart;
    transport.loopEnd = o.loopEnd;
    CSequencer sequencer(song, transport);
    double seconds = o.seconds;
    if (seconds <= 0.0)
        seconds = o.midi.empty() ? defaultSeconds : sequencer.songSeconds() + tailSeconds;
    if (seconds > maxSeconds) {
        report("the song lasts longer than %.0f s; rendering the first %.0f s", maxSeconds,
               maxSeconds);
        seconds = maxSeconds;
    }
    const long totalFrames = std::max(1L, std::lround(seconds * o.rate));

    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(o.rate));
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::unique_ptr<SNDFILE, SoundFileCloser> wav(sf_open(o.out.c_str(), SFM_WRITE, &info));
    if (!wav) {
        report("cannot write %s: %s", o.out.c_str(), sf_strerror(nullptr));
        return exitFailed;
    }

    std::vector<std::vector<float>> buffers(channels, std::vector<float>(o.block));
    std::vector<float*> outputs(channels);
    for (int c = 0; c < channels; ++c)
        outputs[c] = buffers[c].data();
    std::vector<float> interleaved(static_cast<size_t>(o.block) * channels);
    std::vector<float> peaks(channels, 0.0f);
    std::vector<BlockEvent> blockEvents(maxBlockEvents);
    CEventList eventList(maxBlockEvents);

    host.start();
    // progress only where someone watches; a log file would fill with carriage returns
    const bool showProgress = isatty(fileno(stderr)) != 0;
    int shownPercent = -1;
    for (long done = 0; done < totalFrames;) {
        const int frames = static_cast<int>(std::min<long>(o.block, totalFrames - done));
        host.setTransport(sequencer.timeInfo());
        const size_t count = sequencer.advance(frames, blockEvents.data(), blockEvents.size());
        if (count > 0) host.sendEvents(eventList.fill(blockEvents.data(), count));
        for (auto& b : buffers)
            std::fill(b.begin(), b.end(), 0.0f);
        host.process(outputs.data(), frames);
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) {
                const float v = buffers[c][f];
                interleaved[static_cast<size_t>(f) * channels + c] = v;
                peaks[c] = std::max(peaks[c], std::fabs(v));
            }
        if (sf_writef_float(wav.get(), interleaved.data(), frames) != frames) {
            report("cannot write %s: %s", o.out.c_str(), sf_strerror(wav.get()));
            return exitFailed;
        }
        done += frames;
        const int percent = static_cast<int>(100 * done / totalFrames);
        if (showProgress && percent / 5 != shownPercent / 5) {
            std::fprintf(stderr, "\rrwhost: rendering %3d%%", percent);
            shownPercent = percent;
        }
    }
    std::fprintf(stderr, "%srwhost: rendered %.2f s, %d channels, to %s\n",
                 showProgress ? "\r" : "", seconds, channels, o.out.c_str());
    host.stop();
    if (sf_close(wav.release()) != 0) {
        report("cannot finish %s", o.out.c_str());
        return exitFailed;
    }

    if (!o.chunkOut.empty()) {
        std::vector<unsigned char> chunk;
        if (!host.hasChunks() || !host.getChunk(chunk)) {
            report("%s gave no chunk to save", o.plugin.c_str());
            return exitFailed;
        }
        if (!writeFile(o.chunkOut, chunk)) {
            report("cannot write chunk file %s", o.chunkOut.c_str());
            return exitFailed;
        }
    }
    printPeaks(host, peaks);
    return exitOk;
}
