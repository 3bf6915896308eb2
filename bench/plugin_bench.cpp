// The cost of one processReplacing call of the plug-in with a device that serves eight channels
// and does no synthesis, beside a baseline that does only the unavoidable work: silence eight
// outputs, add eight channels into them and track eight peaks. Also the cost of creating the
// plug-in (entry point to a ready descriptor, library loading and device listing included), and
// the JACK device's cost per block beside the flat device's, both called at the pace of a
// 44.1 kHz host against a private 48 kHz JACK server, where an application of our own plays
// a sine into each of the JACK device's eight inputs (and, for comparison, into none).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <jack/jack.h>

#include "engine/synth.h"
#include "vst/plug.h"
#include "vst/vstentry.h"

namespace fs = std::filesystem;

extern char** environ;

AudioEffect* createEffectInstance(audioMasterCallback host);

namespace {
const int kOutputs = 8;
const int kMaxFrames = 1024;
VstTimeInfo hostTime{};

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == hostOpVersion) return kVstVersion;
    if (opcode == hostOpGetTime) return reinterpret_cast<VstIntPtr>(&hostTime);
    return 0;
}

// Our library with one device (by default a flat one), in a support folder of its own.
class FlatInstall {
public:
    explicit FlatInstall(
        const char* registry =
            "[Library]\nDevices=1\n[Device0]\nName=Flat\nKind=Flat\nChannels=8\n") {
        root = fs::temp_directory_path() / ("rwb-bench-" + std::to_string(getpid()));
        fs::path bundle = root / "Propellerhead Software" / "ReWire" / "ReWire.bundle";
        fs::create_directories(bundle);
        fs::copy_file(fs::path(RWB_BUNDLE_DIR) / "ReWire.so", bundle / "ReWire.so",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(fs::path(RWB_BUNDLE_DIR) / "Info.ini", bundle / "Info.ini",
                      fs::copy_options::overwrite_existing);
        std::ofstream(bundle / "devices.ini") << registry;
        setenv("REWIRE_SUPPORT_PATH", root.c_str(), 1);
    }
    ~FlatInstall() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

private:
    fs::path root;
};

struct Buffers {
    explicit Buffers(int frames) {
        for (int n = 0; n < kOutputs; n++) {
            data[n].assign(size_t(frames), 0.0f);
            pointers[n] = data[n].data();
        }
    }
    std::vector<float> data[kOutputs];
    float* pointers[kOutputs];
};

// count note-ons and note-offs on MIDI channel 1, spread evenly over the block.
struct Events {
    Events(int count, int frames) : midi(size_t(count)) {
        raw.resize(sizeof(VstEvents) + size_t(count) * sizeof(VstEvent*));
        list = reinterpret_cast<VstEvents*>(raw.data());
        list->numEvents = count;
        for (int i = 0; i < count; i++) {
            VstMidiEvent& e = midi[size_t(i)];
            e = VstMidiEvent{};
            e.type = kVstMidiType;
            e.deltaFrames = i * frames / std::max(count, 1);
            e.midiData[0] = i % 2 ? 0x80 : 0x90;
            e.midiData[1] = static_cast<unsigned char>(48 + i % 24);
            e.midiData[2] = 100;
            list->events[i] = reinterpret_cast<VstEvent*>(&e);
        }
    }
    std::vector<VstMidiEvent> midi;
    std::vector<unsigned char> raw;
    VstEvents* list;
};

void BM_ProcessReplacing(benchmark::State& state) {
    FlatInstall install;
    int frames = int(state.range(0));
    int eventCount = int(state.range(1));
    hostTime.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying;
    hostTime.tempo = 120;
    AEffect* effect = vstEntryMain(host, createEffectInstance);
    effect->dispatcher(effect, effSetBlockSize, 0, kMaxFrames, nullptr, 0);
    auto* plug = static_cast<CPlug*>(effect->object);
    plug->getSynth()->setDevice(0);
    if (plug->getSynth()->getDeviceIndex() != 0) state.SkipWithError("flat device did not open");
    Buffers out(frames);
    Events events(eventCount, frames);
    for (auto _ : state) {
        if (eventCount > 0) effect->dispatcher(effect, effProcessEvents, 0, 0, events.list, 0);
        effect->processReplacing(effect, nullptr, out.pointers, frames);
        benchmark::DoNotOptimize(out.data[7].back());
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
}
BENCHMARK(BM_ProcessReplacing)->ArgsProduct({{64, 256, 1024}, {0, 100}});

void BM_Baseline(benchmark::State& state) {
    int frames = int(state.range(0));
    Buffers out(frames), in(frames);
    for (int n = 0; n < kOutputs; n++)
        std::fill(in.data[n].begin(), in.data[n].end(), 0.25f);
    float peaks[kOutputs] = {};
    for (auto _ : state) {
        for (int n = 0; n < kOutputs; n++) {
            float* o = out.pointers[n];
            const float* s = in.pointers[n];
            std::fill(o, o + frames, 0.0f);
            float peak = 0;
            for (int f = 0; f < frames; f++) {
                o[f] += s[f];
                peak = std::max(peak, std::fabs(s[f]));
            }
            peaks[n] = std::max(peaks[n], peak);
        }
        benchmark::DoNotOptimize(peaks);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Baseline)->Arg(64)->Arg(256)->Arg(1024);

void BM_CreatePlugIn(benchmark::State& state) {
    FlatInstall install;
    for (auto _ : state) {
        AEffect* effect = vstEntryMain(host, createEffectInstance);
        benchmark::DoNotOptimize(effect);
        state.PauseTiming();
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreatePlugIn)->Unit(benchmark::kMicrosecond);

// A private JACK server (the dummy backend) for the life of the object.
class JackServer {
public:
    JackServer() {
        // One name on every run: libjack frees a dead server's slot only for its own name.
        std::string name = "rwb-bench";
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        const char* argv[] = {"jackd", "-n",    name.c_str(), "--no-realtime", "-d",   "dummy",
                              "-r",    "48000", "-p",         "256",           nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, "jackd", &actions, nullptr, const_cast<char* const*>(argv),
                         environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    ~JackServer() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

private:
    pid_t pid = -1;
};

// A JACK application playing a sine (a different one on each) on its outputs out_1 ... out_8.
class SineSource {
public:
    static constexpr const char* kName = "rwb-bench-source";
    static const int kTableFrames = 480;

    SineSource() {
        for (int f = 0; f < kTableFrames; f++)
            table[f] = 0.25f * float(std::sin(2 * M_PI * f / kTableFrames));
        client = jack_client_open(kName, JackNoStartServer, nullptr);
        if (!client) return;
        for (int n = 0; n < kOutputs; n++)
            ports[n] = jack_port_register(client, ("out_" + std::to_string(n + 1)).c_str(),
                                          JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client, &SineSource::process, this);
        jack_activate(client);
    }
    ~SineSource() {
        if (client) jack_client_close(client);
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto* source = static_cast<SineSource*>(self);
        for (int n = 0; n < kOutputs; n++) {
            auto* out = static_cast<float*>(jack_port_get_buffer(source->ports[n], frames));
            for (jack_nframes_t f = 0; f < frames; f++)
                out[f] = source->table[(source->frame + long(f)) * (n + 1) % kTableFrames];
        }
        source->frame = (source->frame + long(frames)) % kTableFrames;
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* ports[kOutputs] = {};
    float table[kTableFrames];
    long frame = 0;
};

// The registry of a JACK device whose inputs are connected to the sine source's outputs.
std::string jackRegistry(bool connected) {
    std::string registry = "[Library]\nDevices=1\n[Device0]\nName=JACK\nKind=Jack\n";
    for (int n = 1; connected && n <= kOutputs; n++)
        registry +=
            "In" + std::to_string(n) + "=" + SineSource::kName + ":out_" + std::to_string(n) + "\n";
    return registry;
}

// processReplacing at the pace of a 44.1 kHz host, so that the JACK device's ring stays fed
// and it resamples real frames; only the calls are timed. Argument: 0 flat device, 1 JACK
// device with a sine on every input, 2 JACK device with nothing connected.
void BM_PacedBlock(benchmark::State& state) {
    bool jack = state.range(0) != 0;
    const int frames = 256, rate = 44100;
    std::unique_ptr<JackServer> server;
    std::unique_ptr<SineSource> source;
    if (jack) server = std::make_unique<JackServer>();
    if (state.range(0) == 1) source = std::make_unique<SineSource>();
    FlatInstall install(jack ? jackRegistry(state.range(0) == 1).c_str()
                             : "[Library]\nDevices=1\n[Device0]\nName=Flat\nKind=Flat\n"
                               "Channels=8\n");
    hostTime.flags = kVstTempoValid | kVstPpqPosValid;
    hostTime.tempo = 120;
    AEffect* effect = vstEntryMain(host, createEffectInstance);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(rate));
    effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0);
    auto* plug = static_cast<CPlug*>(effect->object);
    plug->getSynth()->setDevice(0);
    if (plug->getSynth()->getDeviceIndex() != 0) state.SkipWithError("device did not open");
    Buffers out(frames);
    auto block = std::chrono::nanoseconds(long(1e9 * frames / rate));
    auto due = std::chrono::steady_clock::now();
    for (auto _ : state) {
        due += block;
        std::this_thread::sleep_until(due);
        auto start = std::chrono::steady_clock::now();
        effect->processReplacing(effect, nullptr, out.pointers, frames);
        auto took = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(out.data[7].back());
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
    // The measured blocks must have carried the application's sound on every channel.
    for (int n = 0; source && n < kOutputs; n++)
        if (std::all_of(out.data[n].begin(), out.data[n].end(), [](float v) { return v == 0; }))
            state.SkipWithError("the JACK device gave no sound");
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
}
BENCHMARK(BM_PacedBlock)->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Iterations(1000);

// Prints the ratio of each processing run to the baseline of the same block size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (int frames : {64, 256, 1024}) {
            double base = times["BM_Baseline/" + std::to_string(frames)];
            for (int events : {0, 100}) {
                std::string name =
                    "BM_ProcessReplacing/" + std::to_string(frames) + "/" + std::to_string(events);
                if (base <= 0 || times.count(name) == 0) continue;
                printf("%5d frames, %3d events: %.2f x baseline", frames, events,
                       times[name] / base);
                // Real-time budget of the block at 48 kHz, in the same (nanosecond) unit.
                double budget = frames / 48000.0 * 1e9;
                printf(", %.3f %% of the %.0f us budget at 48 kHz\n", 100 * times[name] / budget,
                       budget / 1000);
            }
        }
        double flat = times["BM_PacedBlock/0/iterations:1000/manual_time"];
        double jack = times["BM_PacedBlock/1/iterations:1000/manual_time"];
        double idle = times["BM_PacedBlock/2/iterations:1000/manual_time"];
        if (flat > 0 && jack > 0)
            printf("256 frames at a 44.1 kHz host's pace: JACK device %.2f x the flat device\n",
                   jack / flat);
        if (flat > 0 && idle > 0)
            printf("the same with nothing connected to the JACK device: %.2f x\n", idle / flat);
    }

private:
    std::map<std::string, double> times;
};
} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
