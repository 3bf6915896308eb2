#include "jackharness.h"

#include <gtest/gtest.h>

#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
std::string testName() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test ? std::string(test->test_suite_name()) + "." + test->name() : "none";
}

void quiet(const char*) {}
const int kReadyTries = 500;
const auto kRetryPause = std::chrono::milliseconds(20);

bool serverAnswers() {
    jack_status_t status;
    jack_client_t* probe = jack_client_open("rwb-probe", JackNoStartServer, &status);
    if (!probe) return false;
    jack_client_close(probe);
    return true;
}
} // namespace

// The name is the same on every run of a test: libjack keeps a few server slots per machine and
// frees a dead server's slot only for a server of the same name, so the test that kills its
// server would otherwise use them up.
CPrivateJackServer::CPrivateJackServer(int sampleRate, int periodFrames)
    : name("rwbtest-" + std::to_string(std::hash<std::string>{}(testName()) % 1000000)),
      rate(sampleRate), period(periodFrames) {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    // libjack reports every refused connection on stderr; the tests check results instead.
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
}

CPrivateJackServer::~CPrivateJackServer() {
    stop();
}

bool CPrivateJackServer::start() {
    std::string rateText = std::to_string(rate), periodText = std::to_string(period);
    // Sync mode: each cycle waits for every client, however slow the machine. Few ports keep
    // the server's shared memory small.
    const char* argv[] = {"jackd",
                          "-n",
                          name.c_str(),
                          "--no-realtime",
                          "-S",
                          "-t",
                          "2000",
                          "--port-max",
                          "64",
                          "-d",
                          "dummy",
                          "-r",
                          rateText.c_str(),
                          "-p",
                          periodText.c_str(),
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int failed =
        posix_spawnp(&pid, "jackd", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        pid = -1;
        return false;
    }
    for (int i = 0; i < kReadyTries; i++) {
        if (serverAnswers()) return true;
        std::this_thread::sleep_for(kRetryPause);
    }
    return false;
}

void CPrivateJackServer::kill() {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

void CPrivateJackServer::stop() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < kReadyTries; i++) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    kill();
}

CJackTestClient::CJackTestClient(const char* name, int inputs, int interval, bool timeKeeper)
    : clickInterval(interval), keepsTime(timeKeeper) {
    jack_status_t status;
    client = jack_client_open(name, JackNoStartServer, &status);
    if (!client) return;
    rate = int(jack_get_sample_rate(client));
    sine = jack_port_register(client, "sine", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    click = jack_port_register(client, "click", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    for (int n = 0; n < inputs; n++)
        midiInputs.push_back(jack_port_register(client,
                                                ("midi_in_" + std::to_string(n + 1)).c_str(),
                                                JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
    // Room for minutes of recording, so that the JACK thread does not allocate.
    clicks.reserve(1 << 16);
    midi.reserve(1 << 16);
    transport.reserve(1 << 20);
    jack_set_process_callback(client, &CJackTestClient::process, this);
}

CJackTestClient::~CJackTestClient() {
    close();
}

void CJackTestClient::close() {
    if (client) jack_client_close(client);
    client = nullptr;
}

bool CJackTestClient::activate() {
    return client && jack_activate(client) == 0;
}

bool CJackTestClient::connect(const std::string& from, const std::string& to) {
    return client && jack_connect(client, from.c_str(), to.c_str()) == 0;
}

std::string CJackTestClient::portName(const char* shortName) const {
    return std::string(jack_get_client_name(client)) + ":" + shortName;
}

std::atomic<long> CJackTestClient::cycleStart{0};
long CJackTestClient::framesCounted = 0;

int CJackTestClient::process(jack_nframes_t frames, void* self) {
    CJackTestClient* test = static_cast<CJackTestClient*>(self);
    if (test->keepsTime) {
        cycleStart.store(framesCounted);
        framesCounted += long(frames);
    }
    long cycle = cycleStart.load();
    test->play(cycle, int(frames));
    test->listen(cycle, int(frames));
    if (test->onCycle) test->onCycle(cycle, int(frames));
    return 0;
}

void CJackTestClient::play(long cycle, int frames) {
    float* tone = static_cast<float*>(jack_port_get_buffer(sine, jack_nframes_t(frames)));
    float* clickOut = static_cast<float*>(jack_port_get_buffer(click, jack_nframes_t(frames)));
    double step = 2 * M_PI * kSineHz / rate;
    for (int f = 0; f < frames; f++) {
        tone[f] = kSineLevel * float(std::sin(phase));
        phase = std::fmod(phase + step, 2 * M_PI);
        long frame = cycle + f;
        bool clicking = frame % clickInterval == 0;
        clickOut[f] = clicking ? 1.0f : 0.0f;
        if (clicking && clicks.size() < clicks.capacity()) clicks.push_back(frame);
    }
}

void CJackTestClient::listen(long cycle, int frames) {
    for (size_t port = 0; port < midiInputs.size(); port++) {
        void* buffer = jack_port_get_buffer(midiInputs[port], jack_nframes_t(frames));
        jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; i++) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size > 3) continue;
            CHeardMidi heard{int(port), {0, 0, 0}, cycle + long(event.time)};
            for (size_t b = 0; b < event.size; b++)
                heard.bytes[b] = event.buffer[b];
            if (midi.size() < midi.capacity()) midi.push_back(heard);
        }
    }
    jack_position_t position;
    jack_transport_state_t state = jack_transport_query(client, &position);
    if (transport.size() < transport.capacity())
        transport.push_back({cycle, state, long(position.frame),
                             (position.valid & JackPositionBBT) != 0, position.bar, position.beat,
                             position.beats_per_minute});
}

CLockstepHost::CLockstepHost(int rate, int frames, double offPpm, int server)
    : hostRate(rate), blockFrames(frames), ppm(offPpm), serverRate(server) {
    for (auto& buffer : buffers)
        buffer.assign(size_t(frames), 0.0f);
}

bool CLockstepHost::open(CTestInstall& install, const std::string& registry,
                         const std::string& device) {
    install.addBundle(0, "ReWire.bundle", "1.8.0", registry);
    mixer = std::make_unique<CReWireMixer>(hostRate, blockFrames);
    mixer->setCloseTimeout(500);
    mixer->open(hostRate, blockFrames);
    for (int i = 0; i < mixer->deviceCount(); i++)
        if (mixer->deviceName(i) == CStr(device.c_str())) deviceIndex = i;
    return deviceIndex >= 0 && mixer->openDevice(deviceIndex);
}

void CLockstepHost::reserve(long frames) {
    for (auto& channel : recording)
        channel.reserve(size_t(frames));
}

double CLockstepHost::serverPerHost() const {
    return double(serverRate) / (hostRate * (1.0 + ppm * 1e-6));
}

double CLockstepHost::serverFrameOf(double hostFrame) const {
    return double(firstCycle) + hostFrame * serverPerHost();
}

bool CLockstepHost::waitFor(long frames) const {
    long seen = -1;
    int idle = 0;
    // Gives up only when no block has come for seconds: the server or the client is stuck.
    while (framesDriven() < frames) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        idle = framesDriven() == seen ? idle + 1 : 0;
        if (idle > 1000) return false;
        seen = framesDriven();
    }
    return true;
}

void CLockstepHost::cycle(long cycleFrame) {
    if (!go.load()) return;
    if (!started) {
        started = true;
        firstCycle = cycleFrame;
    }
    while (serverFrameOf(double(blocks) * blockFrames) <= double(cycleFrame))
        driveBlock();
}

void CLockstepHost::driveBlock() {
    long first = blocks.load() * blockFrames;
    if (beforeBlock) beforeBlock(first);
    float* outputs[CAudioOuts::kCount];
    for (int n = 0; n < CAudioOuts::kCount; n++) {
        std::fill(buffers[n].begin(), buffers[n].end(), 0.0f);
        outputs[n] = buffers[n].data();
    }
    mixer->process(outputs, blockFrames, int(pending.size()), pending.data());
    pending.clear();
    for (int n = 0; n < CAudioOuts::kCount; n++)
        recording[n].insert(recording[n].end(), buffers[n].begin(), buffers[n].end());
    blocks++;
}

std::vector<double> findClicks(const std::vector<float>& s, float threshold, int gap) {
    std::vector<double> found;
    long last = -gap;
    for (long i = 1; i + 1 < long(s.size()); i++) {
        float here = std::fabs(s[size_t(i)]);
        if (here < threshold || i - last < gap) continue;
        if (here < std::fabs(s[size_t(i - 1)]) || here < std::fabs(s[size_t(i + 1)])) continue;
        // The peak between samples, from the parabola through the three around it.
        double a = s[size_t(i - 1)], b = s[size_t(i)], c = s[size_t(i + 1)];
        double bend = a - 2 * b + c;
        found.push_back(double(i) + (bend != 0 ? 0.5 * (a - c) / bend : 0.0));
        last = i;
    }
    return found;
}

int silentStretches(const std::vector<float>& s, long from, int frames) {
    int stretches = 0, run = 0;
    for (size_t i = size_t(from); i < s.size(); i++) {
        run = std::fabs(s[i]) < 1e-6f ? run + 1 : 0;
        if (run == frames) stretches++;
    }
    return stretches;
}

float largestStep(const std::vector<float>& s, long from) {
    float largest = 0;
    for (size_t i = size_t(from) + 1; i < s.size(); i++)
        largest = std::max(largest, std::fabs(s[i] - s[i - 1]));
    return largest;
}

double rms(const std::vector<float>& s, long from, long to) {
    double sum = 0;
    for (long i = from; i < to; i++)
        sum += double(s[size_t(i)]) * s[size_t(i)];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}
