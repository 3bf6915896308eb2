#include "jackdevice.h"

#include <algorithm>
#include <thread>

namespace {
const size_t kMidiRoom = 4096;
const int kMidiChannels = 16;
const double kPositionUnitsPerQuarter = 15360.0;
const double kTempoUnitsPerBeat = 1000.0;

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
    if (!jack || !openClient()) {
        release();
        return false;
    }
    serverGone.store(false);
    live.store(true);
    return true;
}

bool CJackDevice::openClient() {
    jack_status_t status;
    // Never starts a server: with none running the open is refused at once.
    client = jack->jack_client_open(settings.clientName.asChar(), JackNoStartServer, &status);
    if (!client) return false;
    int serverRate = int(jack->jack_get_sample_rate(client));
    bridge = std::make_unique<CJackClockBridge>(*jack, getChannelCount(), serverRate);
    transport = std::make_unique<CJackTransport>(*jack, serverRate);
    midi = jack->jack_ringbuffer_create(kMidiRoom * sizeof(MidiMessage));
    if (!bridge->isValid() || !transport->isValid() || !midi) return false;
    if (!bridge->setHost(hostRate, hostMaxFrames) || !registerPorts()) return false;
    jack->jack_set_process_callback(client, &CJackDevice::process, this);
    jack->jack_on_shutdown(client, &CJackDevice::shutdown, this);
    if (jack->jack_activate(client) != 0) return false;
    transport->becomeTimebaseMaster(client);
    connectPorts();
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

// Connections the registry asks for; one that fails (a port not there yet) is left out.
void CJackDevice::connectPorts() {
    for (int n = 0; n < getChannelCount(); n++) {
        const CStr& source = settings.inputConnections[n];
        if (source.length() > 0)
            jack->jack_connect(client, source.asChar(), jack->jack_port_name(inputPorts[n]));
    }
    for (int port = 0; port < settings.midiPorts; port++) {
        const CStr& destination = settings.midiConnections[port];
        if (destination.length() > 0)
            jack->jack_connect(client, jack->jack_port_name(midiPorts[port]), destination.asChar());
    }
}

void CJackDevice::disconnect() {
    live.store(false);
    waitForDrive();
    release();
}

void CJackDevice::waitForDrive() {
    while (driving.load() > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void CJackDevice::release() {
    // Closing the client stops its JACK thread before what that thread uses goes.
    if (client) jack->jack_client_close(client);
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
}

void CJackDevice::setHostFormat(int sampleRate, int maxFrames) {
    hostRate = sampleRate;
    hostMaxFrames = maxFrames;
    if (!live.exchange(false)) return;
    waitForDrive();
    bridge->setHost(hostRate, hostMaxFrames);
    live.store(true);
}

void CJackDevice::shutdown(void* self) {
    // The server went away: from now on the device is silent until it is opened again.
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
    device->transport->apply(device->client);
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

double CJackDevice::midiDelay() const {
    // The frames read now entered the server about the target fill less one period ago (a
    // period is counted in full from its cycle's start), and the host plays them about as long
    // after this block. A message leaving twice that after its read position thus reaches the
    // application as late after the host sent it as audio takes to come back from it.
    return 2 * (bridge->getTargetFill() - bridge->getPeriodFrames()) +
           CJackClockBridge::kFilterHalfLength;
}

ReWireError CJackDevice::drive(const ReWireDriveAudioInputParams& input,
                               ReWireDriveAudioOutputParams& output, int sampleRate) {
    driving.fetch_add(1);
    streaming = live.load() && !serverGone.load();
    if (streaming) {
        int frames = std::max(0, input.fFrames);
        bridge->beginBlock(frames, jack->jack_get_time());
        blockStart = bridge->getFramesRead();
        transport->follow(input.fTransportMode != 0, input.fPosition / kPositionUnitsPerQuarter,
                          input.fTempo / kTempoUnitsPerBeat, frames, hostRate);
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
    double at = blockStart + event.fFrameOffset * bridge->getServerPerHost() + midiDelay();
    message.frame = int64_t(at);
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
