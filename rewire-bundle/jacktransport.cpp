#include "jacktransport.h"

#include <algorithm>
#include <cmath>

namespace {
// Host blocks on their way to the JACK thread: far more than the event delay spans even for
// hosts with the smallest blocks.
const size_t kBlockRoom = 512;
// A position off by more than this from where the last block should have led is a jump.
const double kJumpQuarters = 1.0 / 64;
const double kQuarter = 4;

int metreValue(int value, int fallback) {
    return value > 0 ? value : fallback;
}
} // namespace

CJackTransport::CJackTransport(const CJackApi& api, int rate) : jack(api), serverRate(rate) {
    blocks = jack.jack_ringbuffer_create(kBlockRoom * sizeof(Block));
}

CJackTransport::~CJackTransport() {
    if (blocks) jack.jack_ringbuffer_free(blocks);
}

bool CJackTransport::hasJumped(double position, int frames, int hostRate) const {
    if (!followed) return true;
    double expected = lastPosition;
    if (wasPlaying) expected += double(lastFrames) / hostRate * lastTempo / 60.0;
    double slack = kJumpQuarters + double(frames) / hostRate * lastTempo / 60.0 * 0.5;
    return std::fabs(position - expected) > slack;
}

void CJackTransport::follow(const CJackHostTime& time, double anchor, double serverPerHost,
                            int frames, int hostRate) {
    double tempo = time.tempo > 0 ? time.tempo : lastTempo;
    Block block{};
    block.anchor = anchor;
    block.quarters = time.quarters;
    block.quartersPerFrame = time.playing ? tempo / 60.0 / (hostRate * serverPerHost) : 0.0;
    block.tempo = tempo;
    block.beatsPerBar = metreValue(time.beatsPerBar, 4);
    block.beatUnit = metreValue(time.beatUnit, 4);
    block.playing = time.playing;
    block.jumped = hasJumped(time.quarters, frames, hostRate);
    followed = true;
    wasPlaying = time.playing;
    lastPosition = time.quarters;
    lastTempo = tempo;
    lastFrames = frames;
    // A JACK thread that has stopped leaves the ring full: the block is dropped.
    if (jack.jack_ringbuffer_write_space(blocks) < sizeof(Block)) return;
    jack.jack_ringbuffer_write(blocks, reinterpret_cast<const char*>(&block), sizeof(Block));
    sent.fetch_add(1, std::memory_order_release);
}

bool CJackTransport::peekBlock(Block& block) const {
    return taken < sent.load(std::memory_order_acquire) &&
           jack.jack_ringbuffer_peek(blocks, reinterpret_cast<char*>(&block), sizeof(Block)) ==
               sizeof(Block);
}

bool CJackTransport::takeBlocksUntil(double streamFrame, int frames) {
    bool changed = false;
    Block block;
    while (peekBlock(block)) {
        const Block* newest = count > 0 ? &history[(count - 1) % kHistory] : nullptr;
        bool starts = block.playing && (!newest || !newest->playing);
        bool soon = (block.jumped || starts) && block.anchor <= streamFrame + frames;
        if (block.anchor > streamFrame && !soon) break;
        jack.jack_ringbuffer_read_advance(blocks, sizeof(Block));
        taken++;
        changed = changed || block.jumped || !newest || block.playing != newest->playing;
        history[count % kHistory] = block;
        count++;
    }
    return changed;
}

const CJackTransport::Block& CJackTransport::blockAt(double at) const {
    long oldest = std::max(0L, count - kHistory);
    for (long i = count - 1; i >= oldest; i--) {
        const Block& block = history[i % kHistory];
        if (block.anchor > at) continue;
        // The frames before the host starts lead up to its start, as a count-in.
        const Block& next = history[(i + 1) % kHistory];
        return !block.playing && i + 1 < count && next.playing ? next : block;
    }
    return history[oldest % kHistory];
}

double CJackTransport::quartersAt(double at) const {
    const Block& block = blockAt(at);
    return block.quarters + (at - block.anchor) * block.quartersPerFrame;
}

uint32_t CJackTransport::transportFrameOf(double quarters, double tempo) const {
    double seconds = quarters * 60.0 / tempo;
    return uint32_t(std::lround(std::max(0.0, seconds) * serverRate));
}

// The frame JACK's transport has in this cycle ties its frames to the stream; and the first
// cycle in which it stands at a relocation's target tells how long JACK takes to carry out a
// request (two cycles for jackd, whose clients run after the server's turn of the cycle).
void CJackTransport::watchTransport(jack_client_t* client, long cycleStart, int frames) {
    jack_position_t position;
    jack_transport_state_t state = jack.jack_transport_query(client, &position);
    frameKnown = state == JackTransportRolling;
    frameOffset = double(cycleStart) - double(position.frame);
    if (locateAsked < 0) return;
    long cycles = (cycleStart - locateAsked) / std::max(1, frames);
    if (position.frame == locateTarget && cycles >= 1) {
        requestCycles = int(std::min(cycles, 4L));
        locateAsked = -1;
    } else if (cycles > 8) {
        locateAsked = -1;
    }
}

// Relocates to where the host will be at stream frame moves, where JACK's transport moves on,
// and starts or stops.
void CJackTransport::request(jack_client_t* client, long cycleStart, double moves) {
    const Block& newest = history[(count - 1) % kHistory];
    bool playing = newest.playing != 0;
    double quarters = newest.quarters + (moves - newest.anchor) * newest.quartersPerFrame;
    uint32_t target = transportFrameOf(quarters, newest.tempo);
    jack_position_t position;
    jack.jack_transport_query(client, &position);
    // Learnt only from a relocation that moves the frame.
    if (position.frame != target) {
        locateAsked = cycleStart;
        locateTarget = target;
    }
    jack.jack_transport_locate(client, target);
    if (playing && !rolling) jack.jack_transport_start(client);
    if (!playing && rolling) jack.jack_transport_stop(client);
    rolling = playing;
}

void CJackTransport::apply(jack_client_t* client, long cycleStart, int frames) {
    watchTransport(client, cycleStart, frames);
    nextCycle = double(cycleStart + frames);
    double effective = double(cycleStart) + double(requestCycles) * frames;
    // After a relocation JACK's frame stands for one cycle (the Starting state): the transport
    // moves on a cycle after the request is carried out.
    if (takeBlocksUntil(effective, frames)) request(client, cycleStart, effective + frames);
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
    if (count == 0) return;
    // Bar, beat and tick are the host's at the stream frame where JACK shows this frame, so an
    // application's beats fall where the host's do, also as the host's clock drifts.
    double at = frameKnown ? double(position->frame) + frameOffset : nextCycle;
    const Block& block = blockAt(at);
    int beatsPerBar = block.beatsPerBar;
    int beatUnit = block.beatUnit;
    // JACK counts beats of the metre's unit, and its tempo is in them.
    double beats = quartersAt(at) * beatUnit / kQuarter;
    double bar = std::floor(beats / beatsPerBar);
    double beat = std::floor(beats - bar * beatsPerBar);
    double tick = (beats - bar * beatsPerBar - beat) * kTicksPerBeat;
    position->valid = jack_position_bits_t(JackPositionBBT | JackTickDouble);
    position->bar = int32_t(bar) + 1;
    position->beat = int32_t(beat) + 1;
    position->tick = int32_t(tick);
    position->tick_double = tick;
    position->bar_start_tick = bar * beatsPerBar * kTicksPerBeat;
    position->beats_per_bar = float(beatsPerBar);
    position->beat_type = float(beatUnit);
    position->ticks_per_beat = kTicksPerBeat;
    position->beats_per_minute = block.tempo * beatUnit / kQuarter;
}
