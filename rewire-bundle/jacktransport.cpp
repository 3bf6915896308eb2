#include "jacktransport.h"

#include <algorithm>
#include <cmath>

namespace {
const size_t kCommandRoom = 256;
const int kBeatsPerBar = 4;
const double kTicksPerBeat = 1920;
// A position off by more than this from where the last block should have led is a jump.
const double kJumpQuarters = 1.0 / 64;
} // namespace

CJackTransport::CJackTransport(const CJackApi& api, int rate) : jack(api), serverRate(rate) {
    commands = jack.jack_ringbuffer_create(kCommandRoom * sizeof(Command));
}

CJackTransport::~CJackTransport() {
    if (commands) jack.jack_ringbuffer_free(commands);
}

void CJackTransport::send(Kind kind, double quarters) {
    double seconds = quarters * 60.0 / tempo.load(std::memory_order_relaxed);
    Command command{kind, uint32_t(std::lround(std::max(0.0, seconds) * serverRate))};
    if (jack.jack_ringbuffer_write_space(commands) < sizeof(Command)) return;
    jack.jack_ringbuffer_write(commands, reinterpret_cast<const char*>(&command), sizeof(Command));
    sent.fetch_add(1, std::memory_order_release);
}

bool CJackTransport::hasJumped(double position, int frames, int hostRate) const {
    if (!followed) return true;
    double expected = lastPosition;
    if (wasPlaying) expected += double(lastFrames) / hostRate * lastTempo / 60.0;
    double slack = kJumpQuarters + double(frames) / hostRate * lastTempo / 60.0 * 0.5;
    return std::fabs(position - expected) > slack;
}

void CJackTransport::follow(bool playing, double position, double beatsPerMinute, int frames,
                            int hostRate) {
    if (beatsPerMinute <= 0) beatsPerMinute = lastTempo;
    tempo.store(beatsPerMinute, std::memory_order_relaxed);
    bool jumped = hasJumped(position, frames, hostRate);
    if (playing && !wasPlaying) {
        send(kLocate, position);
        send(kStart);
    } else {
        if (!playing && wasPlaying) send(kStop);
        if (jumped) send(kLocate, position);
    }
    followed = true;
    wasPlaying = playing;
    lastPosition = position;
    lastTempo = beatsPerMinute;
    lastFrames = frames;
}

void CJackTransport::apply(jack_client_t* client) {
    Command command;
    while (taken < sent.load(std::memory_order_acquire) &&
           jack.jack_ringbuffer_read(commands, reinterpret_cast<char*>(&command),
                                     sizeof(Command)) == sizeof(Command)) {
        taken++;
        if (command.kind == kStart)
            jack.jack_transport_start(client);
        else if (command.kind == kStop)
            jack.jack_transport_stop(client);
        else
            jack.jack_transport_locate(client, command.frame);
    }
}

bool CJackTransport::becomeTimebaseMaster(jack_client_t* client) {
    // Conditional: refused while another client is the master.
    return jack.jack_set_timebase_callback(client, 1, &CJackTransport::timebase, this) == 0;
}

void CJackTransport::timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position,
                              int, void* self) {
    static_cast<const CJackTransport*>(self)->fillPosition(position);
}

void CJackTransport::fillPosition(jack_position_t* position) const {
    double beatsPerMinute = tempo.load(std::memory_order_relaxed);
    double quarters = double(position->frame) / serverRate * beatsPerMinute / 60.0;
    double bar = std::floor(quarters / kBeatsPerBar);
    double beat = std::floor(quarters - bar * kBeatsPerBar);
    position->valid = JackPositionBBT;
    position->bar = int32_t(bar) + 1;
    position->beat = int32_t(beat) + 1;
    position->tick = int32_t((quarters - std::floor(quarters)) * kTicksPerBeat);
    position->bar_start_tick = bar * kBeatsPerBar * kTicksPerBeat;
    position->beats_per_bar = kBeatsPerBar;
    position->beat_type = 4;
    position->ticks_per_beat = kTicksPerBeat;
    position->beats_per_minute = beatsPerMinute;
}
