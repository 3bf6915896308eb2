#include "jackdevice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {
const size_t kMidiRoom = 4096;
const int kMidiChannels = 16;
const double kPositionUnitsPerQuarter = 15360.0;
const double kTempoUnitsPerBeat = 1000.0;
// How often the idle side tries to reach a server that went away.
const std::chrono::milliseconds kRetryPace(1000);
// Room in stream frames between the stream's end and the earliest event, for a JACK thread that
// wakes a little early or a host block that comes a little late.
const double kEventMargin = 48;

CStr portName(const char* stem, int n) {
    return stem + asStr(n + 1);
}

// Bytes of a channel message with the given status (channel in its low nibble).
uint8_t messageSize(uint8_t status) {
    uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}
} // namespace

CJackDevice::CJackDevice(const CStr& deviceName, const CJackSettings& jackSettings)
    : CBundleDevice(deviceName, jackSettings.channels), jack(jackApi()), settings(jackSettings) {
    for (int n = 0; n < getChannelCount(); n++)
        setChannelName(n, portName("in_", n));
}

CJackDevice::~CJackDevice() {
    close();
}

CBusLayout CJackDevice::layoutFor(int ports) {
    std::vector<CStr> channels;
    for (int channel = 0; channel < kMidiChannels; channel++)
        channels.push_back("Channel " + asStr(channel + 1));
    CBusLayout layout;
    for (int port = 0; port < ports; port++)
        layout.addBus(portName("midi_", port), channels);
    return layout;
}

bool CJackDevice::isAvailable() {
    return jackApi() != nullptr;
}

bool CJackDevice::connect() {
    std::lock_guard<std::mutex> guard(control);
    if (!jack) return false;
    lastAttempt = std::chrono::steady_clock::now();
    if (!openClient()) {
        release();
        return false;
    }
    wanted.store(true);
    serverGone.store(false);
    live.store(true);
    return true;
}

bool CJackDevice::openClient() {
    jack_status_t status;
    // Never starts a server: with none running the open is refused at once.
    client = jack->jack_client_open(settings.clientName.asChar(), JackNoStartServer, &status);
    if (!client) {
        raise(status & JackServerFailed ? CStr("no JACK server running")
                                        : "the JACK server refused the client");
        return false;
    }
    settleAll("no JACK server");
    settleAll("the JACK server");
    int serverRate = int(jack->jack_get_sample_rate(client));
    bridge = std::make_unique<CJackClockBridge>(*jack, getChannelCount(), serverRate);
    transport = std::make_unique<CJackTransport>(*jack, serverRate);
    midi = jack->jack_ringbuffer_create(kMidiRoom * sizeof(MidiMessage));
    if (!bridge->isValid() || !transport->isValid() || !midi) return false;
    if (!bridge->setHost(hostRate, hostMaxFrames) || !registerPorts()) return false;
    jack->jack_set_process_callback(client, &CJackDevice::process, this);
    jack->jack_on_shutdown(client, &CJackDevice::shutdown, this);
    jack->jack_set_port_registration_callback(client, &CJackDevice::portRegistered, this);
    if (jack->jack_activate(client) != 0) return false;
    if (transport->becomeTimebaseMaster(client))
        settle("JACK's timebase is held by another client");
    else
        raise("JACK's timebase is held by another client; bar, beat and tempo come from it");
    latency.store(roundTrip(int(jack->jack_get_buffer_size(client))));
    listConnections();
    makeConnections();
    return true;
}

bool CJackDevice::registerPorts() {
    for (int n = 0; n < getChannelCount(); n++) {
        inputPorts[n] = jack->jack_port_register(client, portName("in_", n).asChar(),
                                                 JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        if (!inputPorts[n]) return false;
    }
    for (int port = 0; port < settings.midiPorts; port++) {
        midiPorts[port] = jack->jack_port_register(client, portName("midi_", port).asChar(),
                                                   JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!midiPorts[port]) return false;
    }
    return true;
}

// The MIDI connections come first: where an application both hears the device's MIDI and plays
// into its inputs, JACK then runs the device before the application and the sound comes back
// one cycle later, the same for what follows the MIDI and what follows the transport.
void CJackDevice::listConnections() {
    connections.clear();
    for (int port = 0; port < settings.midiPorts; port++)
        if (settings.midiConnections[port].length() > 0)
            connections.push_back({CStr(), settings.midiConnections[port], port, false, false});
    for (int n = 0; n < getChannelCount(); n++)
        if (settings.inputConnections[n].length() > 0)
            connections.push_back({settings.inputConnections[n], CStr(), n, true, false});
}

void CJackDevice::makeConnections() {
    portsAppeared.store(false);
    for (Connection& connection : connections)
        if (!connection.made) makeConnection(connection);
}

void CJackDevice::makeConnection(Connection& connection) {
    const char* own = jack->jack_port_name(connection.input ? inputPorts[connection.ownPort]
                                                            : midiPorts[connection.ownPort]);
    CStr other = connection.input ? connection.source : connection.destination;
    CStr missing = "port " + other + " not found";
    if (!jack->jack_port_by_name(client, other.asChar())) {
        raise(missing);
        return;
    }
    settle(missing);
    const char* source = connection.input ? other.asChar() : own;
    const char* destination = connection.input ? own : other.asChar();
    CStr refused = "connection " + CStr(source) + " -> " + destination + " refused";
    int result = jack->jack_connect(client, source, destination);
    if (result != 0 && result != EEXIST) {
        raise(refused);
        return;
    }
    settle(refused);
    connection.made = true;
}

void CJackDevice::disconnect() {
    std::lock_guard<std::mutex> guard(control);
    wanted.store(false);
    live.store(false);
    waitForDrive();
    release();
    std::lock_guard<std::mutex> causesGuard(causesLock);
    causes.clear();
}

void CJackDevice::waitForDrive() {
    while (driving.load() > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void CJackDevice::release() {
    // Closing the client stops its JACK thread before what that thread uses goes. A client
    // whose server went away has no thread left and is let go unclosed: libjack crashes closing
    // it once a new server of the same name runs.
    if (client && !serverGone.load()) jack->jack_client_close(client);
    client = nullptr;
    for (jack_port_t*& port : inputPorts)
        port = nullptr;
    for (jack_port_t*& port : midiPorts)
        port = nullptr;
    bridge.reset();
    transport.reset();
    if (midi) jack->jack_ringbuffer_free(midi);
    midi = nullptr;
    midiSent.store(0);
    midiTaken = 0;
    latency.store(0);
}

void CJackDevice::setHostFormat(int sampleRate, int maxFrames) {
    std::lock_guard<std::mutex> guard(control);
    hostRate = sampleRate;
    hostMaxFrames = maxFrames;
    if (!live.exchange(false)) return;
    waitForDrive();
    bridge->setHost(hostRate, hostMaxFrames);
    live.store(true);
}

void CJackDevice::idle() {
    std::lock_guard<std::mutex> guard(control);
    if (!wanted.load()) return;
    if (serverGone.load() || !client) {
        reopen();
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (portsAppeared.load() || now - lastAttempt >= kRetryPace) {
        lastAttempt = now;
        makeConnections();
    }
}

// The server went away: the client is let go and opened again, at a modest pace, until a
// server answers; the device then plays again as it did.
void CJackDevice::reopen() {
    auto now = std::chrono::steady_clock::now();
    if (client) {
        raise("the JACK server went away; trying again every second");
        live.store(false);
        waitForDrive();
        release();
    } else if (now - lastAttempt < kRetryPace) {
        return;
    }
    lastAttempt = now;
    if (!openClient()) {
        release();
        return;
    }
    settle("the JACK server went away; trying again every second");
    serverGone.store(false);
    live.store(true);
}

void CJackDevice::raise(const CStr& cause) {
    std::lock_guard<std::mutex> guard(causesLock);
    if (std::find(causes.begin(), causes.end(), cause) != causes.end()) return;
    causes.push_back(cause);
    fprintf(stderr, "rwbridge: JACK device \"%s\": %s\n", getName().asChar(), cause.asChar());
}

void CJackDevice::settle(const CStr& cause) {
    std::lock_guard<std::mutex> guard(causesLock);
    causes.erase(std::remove(causes.begin(), causes.end(), cause), causes.end());
}

void CJackDevice::settleAll(const CStr& prefix) {
    std::lock_guard<std::mutex> guard(causesLock);
    causes.erase(
        std::remove_if(causes.begin(), causes.end(),
                       [&](const CStr& cause) { return cause.sub(0, prefix.length()) == prefix; }),
        causes.end());
}

CStr CJackDevice::getStatus() const {
    std::lock_guard<std::mutex> guard(causesLock);
    CStr status;
    for (const CStr& cause : causes)
        status = status.length() > 0 ? status + "; " + cause : cause;
    return status;
}

int CJackDevice::getLatency() const {
    return latency.load(std::memory_order_relaxed);
}

double CJackDevice::eventDelay() const {
    return bridge->getTargetFill() + kEventMargin;
}

int CJackDevice::roundTrip(int period) const {
    // The events leave eventDelay after their read position; the application's answer enters
    // the device a cycle later (JACK runs it after the device) and passes the resampler's
    // filter on its way out.
    double serverFrames =
        bridge->getTargetFill(period) + kEventMargin + period + CJackClockBridge::kFilterHalfLength;
    return int(std::lround(serverFrames / bridge->getServerPerHost()));
}

void CJackDevice::portRegistered(jack_port_id_t, int registered, void* self) {
    if (registered) static_cast<CJackDevice*>(self)->portsAppeared.store(true);
}

void CJackDevice::shutdown(void* self) {
    // The server went away: silence until the idle side has opened the client again.
    static_cast<CJackDevice*>(self)->serverGone.store(true);
}

int CJackDevice::process(jack_nframes_t frames, void* self) {
    CJackDevice* device = static_cast<CJackDevice*>(self);
    long streamStart = device->bridge->getFramesWritten();
    for (int n = 0; n < device->getChannelCount(); n++)
        device->inputBuffers[n] = static_cast<const float*>(
            device->jack->jack_port_get_buffer(device->inputPorts[n], frames));
    device->bridge->pushPeriod(device->inputBuffers, int(frames), device->jack->jack_get_time());
    device->sendMidi(streamStart, frames);
    device->transport->apply(device->client, streamStart, int(frames));
    return 0;
}

void CJackDevice::sendMidi(long streamStart, jack_nframes_t frames) {
    void* buffers[CJackSettings::kMaxMidiPorts];
    jack_nframes_t lastOffset[CJackSettings::kMaxMidiPorts] = {};
    for (int port = 0; port < settings.midiPorts; port++) {
        buffers[port] = jack->jack_port_get_buffer(midiPorts[port], frames);
        jack->jack_midi_clear_buffer(buffers[port]);
    }
    MidiMessage message;
    while (midiTaken < midiSent.load(std::memory_order_acquire) &&
           jack->jack_ringbuffer_peek(midi, reinterpret_cast<char*>(&message), sizeof(message)) ==
               sizeof(message) &&
           message.frame < streamStart + long(frames)) {
        jack->jack_ringbuffer_read_advance(midi, sizeof(message));
        midiTaken++;
        // A message already due goes out first thing; JACK wants each port's in order.
        long due = std::max(0L, long(message.frame) - streamStart);
        jack_nframes_t offset = std::max(lastOffset[message.port], jack_nframes_t(due));
        jack->jack_midi_event_write(buffers[message.port], offset, message.bytes, message.size);
        lastOffset[message.port] = offset;
    }
}

ReWireError CJackDevice::drive(const ReWireDriveAudioInputParams& input,
                               ReWireDriveAudioOutputParams& output, int sampleRate) {
    driving.fetch_add(1);
    streaming = live.load() && !serverGone.load();
    if (streaming) {
        int frames = std::max(0, input.fFrames);
        blockFrames = frames;
        bridge->beginBlock(frames, jack->jack_get_time());
        blockAnchor = double(bridge->getFramesRead()) + eventDelay();
        CJackHostTime time;
        time.playing = input.fTransportMode != 0;
        time.quarters = input.fPosition / kPositionUnitsPerQuarter;
        time.tempo = input.fTempo / kTempoUnitsPerBeat;
        time.beatsPerBar = int(input.fBeatsPerBar);
        time.beatUnit = int(input.fBeatUnit);
        transport->follow(time, blockAnchor, bridge->getServerPerHost(), frames, hostRate);
        latency.store(roundTrip(bridge->getPeriodFrames()), std::memory_order_relaxed);
    }
    ReWireError result = CBundleDevice::drive(input, output, sampleRate);
    driving.fetch_sub(1);
    return result;
}

void CJackDevice::render(const ReWireDriveAudioInputParams&, float* const* buffers, int first,
                         int count) {
    if (streaming) {
        bridge->pull(buffers, first, count);
        return;
    }
    for (int n = 0; n < getChannelCount(); n++)
        if (buffers[n]) std::fill(buffers[n] + first, buffers[n] + first + count, 0.0f);
}

void CJackDevice::midiEvent(const ReWireMIDIEvent& event) {
    if (!streaming || event.fTarget.fBus >= settings.midiPorts) return;
    MidiMessage message{};
    // An offset past the block counts as its end: one far off would hold back every later
    // message, since they leave in order.
    uint32_t offset = std::min(event.fFrameOffset, uint32_t(blockFrames));
    double at = blockAnchor + offset * bridge->getServerPerHost();
    message.frame = int64_t(std::floor(at));
    message.port = uint8_t(event.fTarget.fBus);
    message.bytes[0] = uint8_t((event.fStatus & 0xF0) | (event.fTarget.fChannel & 0x0F));
    message.bytes[1] = uint8_t(event.fData1 & 0x7F);
    message.bytes[2] = uint8_t(event.fData2 & 0x7F);
    message.size = messageSize(message.bytes[0]);
    if (jack->jack_ringbuffer_write_space(midi) < sizeof(message)) {
        lostMidi.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    jack->jack_ringbuffer_write(midi, reinterpret_cast<const char*>(&message), sizeof(message));
    midiSent.fetch_add(1, std::memory_order_release);
}
