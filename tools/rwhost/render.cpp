// rwhost render: a MIDI file through a plug-in into a multichannel WAV file, with the
// transport running as a sequencer's would.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "midifile.h"
#include "plugin.h"
#include "sequencer.h"
#include "session.h"

namespace {

/// Chunks larger than this are not plug-in state.
constexpr long maxChunkFile = 64L << 20;
constexpr int maxOutputs = 64;
constexpr double defaultSeconds = 4.0;
constexpr double tailSeconds = 1.0;
/// A latency longer than this is not believed: rendering it ahead would make a long wait.
constexpr double maxLatencySeconds = 60.0;
/// Idle requests a second, as a host's user interface thread makes them.
constexpr int idlesPerSecond = 30;

/// The file's bytes; false with the reason in why.
bool readFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    bytes.clear();
    unsigned char buffer[65536];
    size_t n;
    while (why.empty() && (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
        if (static_cast<long>(bytes.size() + n) > maxChunkFile)
            why = "larger than 64 MB";
        else
            bytes.insert(bytes.end(), buffer, buffer + n);
    }
    if (why.empty() && std::ferror(f)) why = std::strerror(errno);
    if (why.empty() && bytes.empty()) why = "the file is empty";
    std::fclose(f);
    return why.empty();
}

/// Writes the bytes; false with the reason in why.
bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& why) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (!written) why = std::strerror(errno);
    if (std::fclose(f) != 0 && why.empty()) why = std::strerror(errno);
    return why.empty();
}

/// Loads the plug-in and sets it up as the options say; reports what fails.
bool preparePlugin(const HostOptions& o, CHostedPlugin& host,
                   const std::vector<unsigned char>& chunkIn) {
    std::string error;
    if (!host.load(o.plugin, error)) {
        report("cannot load %s: %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    const int outputs = host.outputCount();
    if (outputs <= 0 || outputs > maxOutputs) {
        report("%s has %d outputs; 1 to %d can be rendered", o.plugin.c_str(), outputs, maxOutputs);
        return false;
    }
    if (!host.canRender(error)) {
        report("%s %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    host.configure(o.rate, o.block);
    if (!chunkIn.empty()) {
        if (!host.hasState()) {
            report("%s does not keep its state in chunks", o.plugin.c_str());
            return false;
        }
        if (!host.setState(chunkIn)) {
            report("%s did not take the state in %s", o.plugin.c_str(), o.chunkIn.c_str());
            return false;
        }
    }
    if (o.device >= 0) return chooseDevice(host, o.device);
    warnWithoutDevice(host);
    return true;
}

/// Setup that can fail before any audio is made: the files first, then the plug-in.
bool prepare(const HostOptions& o, CHostedPlugin& host, MidiSong& song) {
    if (!o.midi.empty() && !loadSong(o.midi, song)) return false;
    std::vector<unsigned char> chunkIn;
    std::string why;
    if (!o.chunkIn.empty() && !readFile(o.chunkIn, chunkIn, why)) {
        report("cannot read %s: %s", o.chunkIn.c_str(), why.c_str());
        return false;
    }
    return preparePlugin(o, host, chunkIn);
}

TransportSettings transportOf(const HostOptions& o) {
    TransportSettings transport;
    transport.sampleRate = o.rate;
    transport.fixedTempo = o.tempo;
    transport.fixedBeatsPerBar = o.beatsPerBar;
    transport.fixedBeatUnit = o.beatUnit;
    transport.playing = !o.stopped;
    transport.loop = o.loop;
    transport.loopStart = o.loopStart;
    transport.loopEnd = o.loopEnd;
    return transport;
}

/// --seconds, else the song and its tail, else the default; never longer than the limit.
double renderSeconds(const HostOptions& o, const CSequencer& sequencer) {
    if (o.seconds > 0.0) return o.seconds;
    const double seconds = o.midi.empty() ? defaultSeconds : sequencer.songSeconds() + tailSeconds;
    if (seconds <= maxSeconds) return seconds;
    report("the song lasts longer than %.0f s; rendering the first %.0f s", maxSeconds, maxSeconds);
    return maxSeconds;
}

/// Shows the percentage done on stderr where someone watches; a log file would fill with
/// carriage returns.
class CProgress {
public:
    explicit CProgress(long total) : totalFrames(total), shown(isatty(fileno(stderr)) != 0) {}
    void update(long done) {
        const int percent = static_cast<int>(100 * done / totalFrames);
        if (!shown || percent / 5 == shownPercent / 5) return;
        std::fprintf(stderr, "\rrwhost: rendering %3d%%", percent);
        shownPercent = percent;
    }
    const char* lineStart() const { return shown ? "\r" : ""; }

private:
    long totalFrames;
    bool shown;
    int shownPercent = -1;
};

/// Says once that an offline render keeps time with the sample rate: a device that follows a
/// clock of its own paces it. Judged after a second of audio, by the time it took.
class CPaceNote {
public:
    explicit CPaceNote(double rate) : sampleRate(rate), start(std::chrono::steady_clock::now()) {}
    void update(long done, const char* lineStart) {
        if (said || done < sampleRate * judgedAfter) return;
        said = true;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < realTimeShare * done / sampleRate) return;
        std::fprintf(
            stderr, "%srwhost: the render runs at real-time pace: a device follows its own clock\n",
            lineStart);
    }

private:
    static constexpr double judgedAfter = 1.0;
    /// A render that takes this share of its audio's length or more keeps time with it.
    static constexpr double realTimeShare = 0.8;
    double sampleRate;
    std::chrono::steady_clock::time_point start;
    bool said = false;
};

/// Frames of the plug-in's latency that the render makes up, as a host's delay compensation
/// does for an export: that many frames more are rendered and dropped from the start.
long compensation(const HostOptions& o, CHostedPlugin& host) {
    const int latency = host.latency();
    if (!o.compensate || latency <= 0) return 0;
    if (latency > maxLatencySeconds * o.rate) {
        report("the plug-in reports a latency of %d frames; not compensated", latency);
        return 0;
    }
    report("latency %d frames, compensated", latency);
    return latency;
}

/// Every block of the render into the WAV file, the first skip frames left out. Paced, each
/// block waits for its time at the sample rate, as a host's audio callback is called; else
/// the plug-in's idle requests come between the blocks, about as often as in real time.
bool renderBlocks(const HostOptions& o, CHostedPlugin& host, CBlockProcessor& blocks,
                  CSequencer& sequencer, SNDFILE* wav, long totalFrames, long skip, bool paced) {
    const long allFrames = skip + totalFrames;
    CProgress progress(allFrames);
    CPaceNote pace(o.rate);
    const auto blockTime = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(o.block / o.rate));
    const long idleFrames = std::max(1L, std::lround(o.rate / idlesPerSecond));
    long nextIdle = idleFrames;
    auto due = std::chrono::steady_clock::now();
    for (long done = 0; done < allFrames;) {
        const int frames = static_cast<int>(std::min<long>(o.block, allFrames - done));
        const int first = static_cast<int>(std::clamp<long>(skip - done, 0, frames));
        blocks.process(sequencer, frames, first);
        const float* kept = blocks.interleaved() + static_cast<long>(first) * blocks.channels();
        if (sf_writef_float(wav, kept, frames - first) != frames - first) {
            report("cannot write %s: %s", o.out.c_str(), sf_strerror(wav));
            return false;
        }
        done += frames;
        progress.update(done);
        if (!paced) pace.update(done, progress.lineStart());
        if (paced) {
            std::this_thread::sleep_until(due += blockTime);
        } else if (done >= nextIdle) {
            host.idleEditor();
            nextIdle = done + idleFrames;
        }
    }
    std::fprintf(stderr, "%srwhost: rendered %.2f s, %d channels, to %s\n", progress.lineStart(),
                 static_cast<double>(totalFrames) / o.rate, blocks.channels(), o.out.c_str());
    return true;
}

/// Idle requests from this thread, as a host's user interface thread makes them, until the
/// audio thread is done.
void idleUntil(CHostedPlugin& host, const std::atomic<bool>& finished) {
    const auto interval = std::chrono::milliseconds(1000 / idlesPerSecond);
    while (!finished.load()) {
        host.idleEditor();
        std::this_thread::sleep_for(interval);
    }
}

bool saveChunk(const HostOptions& o, CHostedPlugin& host) {
    std::vector<unsigned char> chunk;
    if (!host.hasState() || !host.getState(chunk)) {
        report("%s gave no chunk to save", o.plugin.c_str());
        return false;
    }
    std::string why;
    if (!writeFile(o.chunkOut, chunk, why)) {
        report("cannot write %s: %s", o.chunkOut.c_str(), why.c_str());
        return false;
    }
    return true;
}

/// The chosen device's state after the render, where it has something to say (blocks it could
/// not fill in time, what it cannot reach).
void reportDeviceState(CHostedPlugin& host) {
    char status[kDeviceStatusBytes] = {};
    if (host.bridgeRequest(kDeviceStatusRequest, 0, status) != 1) return;
    status[sizeof status - 1] = 0;
    if (status[0]) report("device state: %s", status);
}

void printPeaks(CHostedPlugin& host, const std::vector<float>& peaks) {
    for (size_t i = 0; i < peaks.size(); ++i) {
        std::string label = host.outputLabel(static_cast<int>(i));
        if (!label.empty()) label = "\"" + label + "\"";
        const double db = peaks[i] > 0.0f ? 20.0 * std::log10(peaks[i]) : -INFINITY;
        std::printf("output %zu %-12s peak %.6f (%.1f dBFS)\n", i + 1, label.c_str(), peaks[i], db);
    }
}

} // namespace

int runRender(int argc, char** argv) {
    HostOptions o;
    int exitCode = exitOk;
    if (!readCommandLine(renderCommand, argc, argv, o, exitCode)) return exitCode;

    std::unique_ptr<CHostedPlugin> plugin = makePluginHost(o.plugin);
    CHostedPlugin& host = *plugin;
    MidiSong song;
    if (!prepare(o, host, song)) return exitFailed;
    CSequencer sequencer(song, transportOf(o));
    const long totalFrames = std::max(1L, std::lround(renderSeconds(o, sequencer) * o.rate));
    SoundFile wav = openWav(o.out, o.rate, host.outputCount());
    if (!wav) return exitFailed;

    CBlockProcessor blocks(host, o.block);
    host.setOffline(!o.realtime);
    host.start();
    const long skip = compensation(o, host);
    bool rendered = false;
    if (o.realtime) {
        std::atomic<bool> finished{false};
        std::thread audio([&] {
            rendered = renderBlocks(o, host, blocks, sequencer, wav.get(), totalFrames, skip, true);
            finished.store(true);
        });
        idleUntil(host, finished);
        audio.join();
    } else {
        rendered = renderBlocks(o, host, blocks, sequencer, wav.get(), totalFrames, skip, false);
    }
    host.stop();
    reportDeviceState(host);
    if (!rendered) return exitFailed;
    if (sf_close(wav.release()) != 0) {
        report("cannot finish %s", o.out.c_str());
        return exitFailed;
    }
    if (!o.chunkOut.empty() && !saveChunk(o, host)) return exitFailed;
    printPeaks(host, blocks.peaks());
    return exitOk;
}
