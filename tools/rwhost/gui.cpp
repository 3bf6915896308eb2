// rwhost gui and rwhost screenshot: a plug-in's editor in a top-level X11 window. gui runs it
// as a host would: editor idle requests at about 30 Hz on this thread, and an audio thread
// that processes blocks at the pace of the sample rate, so every path of the plug-in that a
// real host drives runs at once.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "hostwindow.h"
#include "midifile.h"
#include "plugin.h"
#include "sequencer.h"
#include "session.h"

namespace {

constexpr double sampleRate = 44100.0;
constexpr int blockFrames = 512;
constexpr auto idleInterval = std::chrono::milliseconds(33);
/// Idle requests a screenshot waits for the editor to paint.
constexpr int screenshotIdles = 10;
constexpr int defaultEditorWidth = 320;
constexpr int defaultEditorHeight = 240;

/// Loads the plug-in, chooses the device and asks for the editor's size.
bool prepare(CHostedPlugin& host, const HostOptions& o, int& width, int& height) {
    std::string error;
    if (!host.load(o.plugin, error)) {
        report("cannot load %s: %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    if (!host.hasEditor()) {
        report("%s has no editor", o.plugin.c_str());
        return false;
    }
    host.configure(sampleRate, blockFrames);
    if (o.device >= 0 && !chooseDevice(host, o.device)) return false;
    // a plug-in that tells the size only once its editor is open gets a window of a usual
    // size, fitted to the editor afterwards
    if (!host.editorSize(width, height)) {
        width = defaultEditorWidth;
        height = defaultEditorHeight;
    }
    return true;
}

/// The host's audio thread: one block after another at the pace of the sample rate, the song
/// in a loop; without a song the transport just runs.
class CAudioThread {
public:
    CAudioThread(CHostedPlugin& host, const MidiSong& midiSong, SNDFILE* wavFile)
        : song(midiSong), wav(wavFile), blocks(host, blockFrames) {}

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
        auto due = std::chrono::steady_clock::now();
        const auto blockTime = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(blockFrames / sampleRate));
        while (!stopping.load()) {
            if (!song.events.empty() && songFrames > 0.0 && played >= songFrames) {
                sequencer = std::make_unique<CSequencer>(song, transport);
                played = 0.0;
            }
            blocks.process(*sequencer, blockFrames);
            played += blockFrames;
            if (wav && sf_writef_float(wav, blocks.interleaved(), blockFrames) != blockFrames)
                writeFailed = true;
            std::this_thread::sleep_until(due += blockTime);
        }
    }

    const MidiSong& song;
    SNDFILE* wav;
    CBlockProcessor blocks;
    std::thread worker;
    std::atomic<bool> stopping{false};
    bool writeFailed = false;
};

volatile std::sig_atomic_t quitRequested = 0;
void requestQuit(int) {
    quitRequested = 1;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using ReportFile = std::unique_ptr<FILE, FileCloser>;

/// One line of the plug-in's state as it answers the state and meter requests.
void writeReport(FILE* to, CHostedPlugin& host, int idles) {
    std::fprintf(to, "idle %d", idles);
    BridgeState state;
    if (askBridgeState(host, state)) {
        std::fprintf(to, " device %d sync %d map ", state.device, state.sync);
        const int rows = std::min(state.mapRows, kStateMapRows);
        for (int row = 0; row < rows; ++row)
            std::fprintf(to, "%s%d", row ? "," : "", state.map[row]);
        if (rows <= 0) std::fputc('-', to);
    }
    float peaks[8] = {};
    if (host.bridgeRequest(kPeakLevelsRequest, 0, peaks) == 1) {
        std::fputs(" peaks", to);
        for (float p : peaks)
            std::fprintf(to, " %.9g", static_cast<double>(p));
    }
    std::fputc('\n', to);
    std::fflush(to);
}

/// Editor idle requests about 30 times a second until the window closes, --seconds have
/// passed, or a signal asks to quit.
void idleUntilClosed(const HostOptions& o, CHostedPlugin& host, CHostWindow& window,
                     FILE* reportTo) {
    const auto begin = std::chrono::steady_clock::now();
    auto due = begin;
    int idles = 0;
    while (!quitRequested && window.pump()) {
        if (!host.idleEditor()) break;
        ++idles;
        if (reportTo) writeReport(reportTo, host, idles);
        const auto now = std::chrono::steady_clock::now();
        if (o.seconds > 0.0 && now - begin >= std::chrono::duration<double>(o.seconds)) break;
        // an open dropdown list holds the idle request; the next one follows at once
        due = std::max(due + idleInterval, now);
        std::this_thread::sleep_until(due);
    }
}

/// Opens the editor in the window and fits the window to it; reports what fails.
bool openEditor(const HostOptions& o, CHostedPlugin& host, CHostWindow& window) {
    std::string error;
    if (!host.openEditor(window.id(), error)) {
        report("cannot open the editor of %s: %s", o.plugin.c_str(), error.c_str());
        return false;
    }
    int width = 0, height = 0;
    if (host.editorSize(width, height))
        window.resize(width, height);
    else
        window.fitToChild();
    return true;
}

/// The editor open in the window with audio running, until it closes; false, told on stderr,
/// when the editor does not open or writing the sound failed.
bool runEditor(const HostOptions& o, CHostedPlugin& host, CHostWindow& window, const MidiSong& song,
               SNDFILE* wav, FILE* reportTo) {
    std::signal(SIGINT, requestQuit);
    std::signal(SIGTERM, requestQuit);
    host.start();
    if (!openEditor(o, host, window)) {
        host.stop();
        return false;
    }
    if (reportTo) {
        std::fprintf(reportTo, "window 0x%lx %d %d\n", window.id(), window.width(),
                     window.height());
        std::fflush(reportTo);
    }
    CAudioThread audio(host, song, wav);
    audio.start();
    idleUntilClosed(o, host, window, reportTo);
    const bool soundWritten = audio.stop();
    host.closeEditor();
    host.stop();
    if (!soundWritten) report("cannot write %s", o.out.c_str());
    return soundWritten;
}

} // namespace

int runGui(int argc, char** argv) {
    HostOptions o;
    int exitCode = exitOk;
    if (!readCommandLine(guiCommand, argc, argv, o, exitCode)) return exitCode;
    MidiSong song;
    if (!o.midi.empty() && !loadSong(o.midi, song)) return exitFailed;
    ReportFile reportFile;
    if (!o.report.empty() && !(reportFile = ReportFile(std::fopen(o.report.c_str(), "w")))) {
        report("cannot write %s: %s", o.report.c_str(), std::strerror(errno));
        return exitFailed;
    }
    std::unique_ptr<CHostedPlugin> plugin = makePluginHost(o.plugin);
    CHostedPlugin& host = *plugin;
    int width = 0, height = 0;
    if (!prepare(host, o, width, height)) return exitFailed;
    if (o.device < 0) warnWithoutDevice(host);
    SoundFile wav;
    if (!o.out.empty() && !(wav = openWav(o.out, sampleRate, host.outputCount())))
        return exitFailed;
    CHostWindow window;
    std::string error;
    if (!window.open(width, height, "rwhost", error)) {
        report("%s", error.c_str());
        return exitFailed;
    }
    const bool ran = runEditor(o, host, window, song, wav.get(), reportFile.get());
    if (wav && sf_close(wav.release()) != 0) {
        report("cannot finish %s", o.out.c_str());
        return exitFailed;
    }
    return ran ? exitOk : exitFailed;
}

int runScreenshot(int argc, char** argv) {
    HostOptions o;
    int exitCode = exitOk;
    if (!readCommandLine(screenshotCommand, argc, argv, o, exitCode)) return exitCode;
    std::unique_ptr<CHostedPlugin> plugin = makePluginHost(o.plugin);
    CHostedPlugin& host = *plugin;
    int width = 0, height = 0;
    if (!prepare(host, o, width, height)) return exitFailed;
    CHostWindow window;
    std::string error;
    if (!window.open(width, height, "rwhost", error)) {
        report("%s", error.c_str());
        return exitFailed;
    }
    if (!openEditor(o, host, window)) return exitFailed;
    for (int i = 0; i < screenshotIdles; i++) {
        window.pump();
        host.idleEditor();
        window.sync();
        std::this_thread::sleep_for(idleInterval);
    }
    const bool saved = window.savePng(o.out, error);
    host.closeEditor();
    if (!saved) {
        report("cannot write %s: %s", o.out.c_str(), error.c_str());
        return exitFailed;
    }
    return exitOk;
}
