// rwhost gui and rwhost screenshot: a plug-in's editor in a top-level X11 window. gui runs it
// as a host would: editor idle requests at about 30 Hz on this thread, and an audio thread
// that processes blocks at the pace of the sample rate, so every path of the plug-in that a
// real host drives runs at once.
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "chunkrecords.h"
#include "commands.h"
#include "hostwindow.h"
#include "midifile.h"
#include "options.h"
#include "pluginhost.h"
#include "sequencer.h"
#include "session.h"

namespace {

constexpr double sampleRate = 44100.0;
constexpr int blockFrames = 512;
constexpr size_t maxBlockEvents = 1024;
constexpr auto idleInterval = std::chrono::milliseconds(33);
/// Idle requests a screenshot waits for the editor to paint.
constexpr int screenshotIdles = 10;
/// Vendor-specific request of plug-ins that show output meters (index 'rwpk'): copies their
/// eight meter levels into a float[8]; a plug-in without it answers 0.
constexpr VstInt32 peakLevelsRequest = 0x7277706B;

const char* const guiUsage =
    "usage: rwhost gui PLUGIN [options]\n"
    "\n"
    "Opens the plug-in's editor in a window and runs the plug-in as a host would: editor idle\n"
    "about 30 times a second, and an audio thread that processes blocks of 512 frames at\n"
    "44100 Hz in real time with a running transport.\n"
    "\n"
    "  --seconds S        close after S seconds (default: when the window is closed)\n"
    "  --midi FILE.mid    play this Standard MIDI File in a loop\n"
    "  --out FILE.wav     write the plug-in's outputs to a WAV file (default: no sound kept)\n"
    "  --device N         choose ReWire device N (counted from 0) before opening the editor\n"
    "  --report FILE      after every idle request, append a line with the plug-in's state:\n"
    "                     idle count, chosen device, sync switch, MIDI mapping and meters\n"
    "  --help             show this text\n";

const char* const screenshotUsage =
    "usage: rwhost screenshot PLUGIN --out FILE.png [--device N]\n"
    "\n"
    "Opens the plug-in's editor in a window, lets it paint, and saves the window as a PNG.\n"
    "\n"
    "  --out FILE.png     the picture to write (required)\n"
    "  --device N         choose ReWire device N (counted from 0) first\n"
    "  --help             show this text\n";

struct GuiOptions {
    std::string plugin;
    std::string midi;
    std::string out;
    std::string report;
    double seconds = 0.0;
    int device = -1;
    bool help = false;
};

/// argv holds the arguments after the command name; allowed lists the options taken.
bool parseGuiOptions(int argc, char** argv, const std::vector<std::string>& allowed, GuiOptions& o,
                     std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!o.plugin.empty()) {
                error = "unexpected argument '" + arg + "'";
                return false;
            }
            o.plugin = arg;
            continue;
        }
        if (std::find(allowed.begin(), allowed.end(), arg) == allowed.end()) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--midi") {
            o.midi = value;
        } else if (arg == "--out") {
            o.out = value;
        } else if (arg == "--report") {
            o.report = value;
        } else if (arg == "--seconds") {
            if (!parseNumber(value, 0.001, 86400.0, o.seconds)) {
                error = "invalid value for --seconds: '" + std::string(value) + "'";
                return false;
            }
        } else if (arg == "--device") {
            if (!parseInt(value, 0, 255, o.device)) {
                error = "invalid value for --device: '" + std::string(value) + "'";
                return false;
            }
        }
    }
    if (o.plugin.empty()) {
        error = "no plug-in given";
        return false;
    }
    return true;
}

/// Loads the plug-in, chooses the device and asks for the editor's size.
bool prepare(CPluginHost& host, const GuiOptions& o, int& width, int& height) {
    std::string error;
    if (!host.load(o.plugin, error)) {
        report("cannot load %s: %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    AEffect* effect = host.effect();
    if (!(effect->flags & effFlagsHasEditor)) {
        report("%s has no editor", o.plugin.c_str());
        return false;
    }
    host.configure(sampleRate, blockFrames);
    if (o.device >= 0 && !chooseDevice(host, o.device)) return false;
    ERect* rect = nullptr;
    if (host.dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect || rect->right <= rect->left ||
        rect->bottom <= rect->top) {
        report("%s gives no editor size", o.plugin.c_str());
        return false;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

struct SoundFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

/// The host's audio thread: one block after another at the pace of the sample rate.
class CAudioThread {
public:
    CAudioThread(CPluginHost& pluginHost, const MidiSong& midiSong, SNDFILE* wavFile)
        : host(pluginHost), song(midiSong), wav(wavFile), channels(pluginHost.effect()->numOutputs),
          buffers(static_cast<size_t>(channels), std::vector<float>(blockFrames)),
          interleaved(static_cast<size_t>(channels) * blockFrames), events(maxBlockEvents),
          list(maxBlockEvents) {}

    void start() { worker = std::thread(&CAudioThread::run, this); }
    /// Ends the thread; false when writing the sound failed.
    bool stop() {
        stopping.store(true);
        if (worker.joinable()) worker.join();
        return !writeFailed;
    }

private:
    void run() {
        TransportSettings transport;
        transport.sampleRate = sampleRate;
        auto sequencer = std::make_unique<CSequencer>(song, transport);
        const double songFrames = sequencer->songSeconds() * sampleRate;
        double played = 0.0;
        std::vector<float*> outputs;
        for (auto& b : buffers)
            outputs.push_back(b.data());
        auto due = std::chrono::steady_clock::now();
        const auto blockTime = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(blockFrames / sampleRate));
        while (!stopping.load()) {
            // the song plays in a loop; without a song the transport just runs
            if (!song.events.empty() && songFrames > 0.0 && played >= songFrames) {
                sequencer = std::make_unique<CSequencer>(song, transport);
                played = 0.0;
            }
            host.setTransport(sequencer->timeInfo());
            const size_t count = sequencer->advance(blockFrames, events.data(), events.size());
            if (count > 0) host.sendEvents(list.fill(events.data(), count));
            for (auto& b : buffers)
                std::fill(b.begin(), b.end(), 0.0f);
            host.process(outputs.data(), blockFrames);
            played += blockFrames;
            if (wav) write();
            due += blockTime;
            std::this_thread::sleep_until(due);
        }
    }

    void write() {
        for (int f = 0; f < blockFrames; ++f)
            for (int c = 0; c < channels; ++c)
                interleaved[static_cast<size_t>(f) * channels + c] = buffers[c][f];
        if (sf_writef_float(wav, interleaved.data(), blockFrames) != blockFrames)
            writeFailed = true;
    }

    CPluginHost& host;
    const MidiSong& song;
    SNDFILE* wav;
    int channels;
    std::vector<std::vector<float>> buffers;
    std::vector<float> interleaved;
    std::vector<BlockEvent> events;
    CEventList list;
    std::thread worker;
    std::atomic<bool> stopping{false};
    bool writeFailed = false;
};

volatile std::sig_atomic_t quitRequested = 0;
void requestQuit(int) {
    quitRequested = 1;
}

/// One line of the plug-in's state as its chunk and its meters show it.
void writeReport(FILE* to, CPluginHost& host, int idles) {
    std::fprintf(to, "idle %d", idles);
    std::vector<unsigned char> chunk;
    std::vector<ChunkRecord> records;
    if (host.hasChunks() && host.getChunk(chunk) && parseChunkRecords(chunk, records)) {
        std::string map;
        for (const ChunkRecord& r : records) {
            if (r.size != 4) continue;
            int32_t value = 0;
            std::copy(chunk.begin() + static_cast<std::ptrdiff_t>(r.payload),
                      chunk.begin() + static_cast<std::ptrdiff_t>(r.payload) + 4,
                      reinterpret_cast<unsigned char*>(&value));
            if (r.tag == "app") std::fprintf(to, " device %d", value);
            if (r.tag == "sync") std::fprintf(to, " sync %d", value);
            if (r.tag == "mapch") map += (map.empty() ? "" : ",") + std::to_string(value);
        }
        std::fprintf(to, " map %s", map.empty() ? "-" : map.c_str());
    }
    float peaks[8] = {};
    if (host.dispatch(effVendorSpecific, peakLevelsRequest, 0, peaks) == 1) {
        std::fputs(" peaks", to);
        for (float p : peaks)
            std::fprintf(to, " %.9g", static_cast<double>(p));
    }
    std::fputc('\n', to);
    std::fflush(to);
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

int runGui(int argc, char** argv) {
    GuiOptions o;
    std::string error;
    if (!parseGuiOptions(argc, argv, {"--seconds", "--midi", "--out", "--device", "--report"}, o,
                         error)) {
        report("%s", error.c_str());
        std::fputs(guiUsage, stderr);
        return exitUsage;
    }
    if (o.help) {
        std::fputs(guiUsage, stdout);
        return exitOk;
    }
    MidiSong song;
    if (!o.midi.empty()) {
        const MidiFileError e = loadMidiFile(o.midi, song);
        if (e != MidiFileError::none) {
            report("cannot play %s: %s", o.midi.c_str(), asText(e));
            return exitFailed;
        }
    }
    std::unique_ptr<FILE, FileCloser> reportFile;
    if (!o.report.empty()) {
        reportFile.reset(std::fopen(o.report.c_str(), "w"));
        if (!reportFile) {
            report("cannot write %s", o.report.c_str());
            return exitFailed;
        }
    }
    CPluginHost host;
    int width = 0, height = 0;
    if (!prepare(host, o, width, height)) return exitFailed;
    std::unique_ptr<SNDFILE, SoundFileCloser> wav;
    if (!o.out.empty()) {
        SF_INFO info{};
        info.samplerate = static_cast<int>(sampleRate);
        info.channels = host.effect()->numOutputs;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        wav.reset(sf_open(o.out.c_str(), SFM_WRITE, &info));
        if (!wav) {
            report("cannot write %s: %s", o.out.c_str(), sf_strerror(nullptr));
            return exitFailed;
        }
    }
    CHostWindow window;
    if (!window.open(width, height, "rwhost", error)) {
        report("%s", error.c_str());
        return exitFailed;
    }
    std::signal(SIGINT, requestQuit);
    std::signal(SIGTERM, requestQuit);
    host.start();
    host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window.id()));
    if (reportFile) {
        std::fprintf(reportFile.get(), "window 0x%lx %d %d\n", window.id(), width, height);
        std::fflush(reportFile.get());
    }
    CAudioThread audio(host, song, wav.get());
    audio.start();

    const auto begin = std::chrono::steady_clock::now();
    auto due = begin;
    int idles = 0;
    while (!quitRequested && window.pump()) {
        host.dispatch(effEditIdle);
        ++idles;
        if (reportFile) writeReport(reportFile.get(), host, idles);
        const auto now = std::chrono::steady_clock::now();
        if (o.seconds > 0.0 && now - begin >= std::chrono::duration<double>(o.seconds)) break;
        // an open dropdown list holds the idle request; the next one follows at once
        due = std::max(due + idleInterval, now);
        std::this_thread::sleep_until(due);
    }
    const bool soundWritten = audio.stop();
    host.dispatch(effEditClose);
    host.stop();
    if (wav && sf_close(wav.release()) != 0) {
        report("cannot finish %s", o.out.c_str());
        return exitFailed;
    }
    if (!soundWritten) {
        report("cannot write %s", o.out.c_str());
        return exitFailed;
    }
    return exitOk;
}

int runScreenshot(int argc, char** argv) {
    GuiOptions o;
    std::string error;
    if (!parseGuiOptions(argc, argv, {"--out", "--device"}, o, error) ||
        (!o.help && o.out.empty())) {
        report("%s", error.empty() ? "--out FILE.png is required" : error.c_str());
        std::fputs(screenshotUsage, stderr);
        return exitUsage;
    }
    if (o.help) {
        std::fputs(screenshotUsage, stdout);
        return exitOk;
    }
    CPluginHost host;
    int width = 0, height = 0;
    if (!prepare(host, o, width, height)) return exitFailed;
    CHostWindow window;
    if (!window.open(width, height, "rwhost", error)) {
        report("%s", error.c_str());
        return exitFailed;
    }
    host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window.id()));
    for (int i = 0; i < screenshotIdles; i++) {
        window.pump();
        host.dispatch(effEditIdle);
        window.sync();
        std::this_thread::sleep_for(idleInterval);
    }
    const bool saved = window.savePng(o.out, error);
    host.dispatch(effEditClose);
    if (!saved) {
        report("cannot write %s: %s", o.out.c_str(), error.c_str());
        return exitFailed;
    }
    return exitOk;
}
