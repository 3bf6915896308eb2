// The host's transport carried to JACK's, on the same time line as the device's MIDI: each host
// block is placed on the server's stream at the frame where its events leave (its anchor), with
// its position, tempo and metre. The JACK thread takes each block when the stream reaches it:
// a start, a stop or a jump in the position (as at a loop's end) becomes a start, stop or
// relocation of JACK's transport, and as JACK's timebase master the device gives bar, beat and
// tick from the host's position at each cycle's start, so a JACK application's beats fall where
// the host's do even on a host clock that drifts against the server's.
#pragma once

#include <atomic>
#include <cstdint>

#include "jackapi.h"

/// The host's musical time at the start of a block.
struct CJackHostTime {
    bool playing = false;
    double quarters = 0;
    /// Quarter notes per minute.
    double tempo = 120;
    int beatsPerBar = 4;
    int beatUnit = 4;
};

class CJackTransport {
public:
    /// Ticks per beat in the bar, beat and tick JACK's clients see.
    static constexpr double kTicksPerBeat = 1920;

    CJackTransport(const CJackApi& api, int serverRate);
    ~CJackTransport();
    CJackTransport(const CJackTransport&) = delete;
    CJackTransport& operator=(const CJackTransport&) = delete;

    bool isValid() const { return blocks != nullptr; }

    // Host audio thread: one block of frames at hostRate whose first frame is at stream frame
    // anchor, with serverPerHost stream frames per host frame.
    void follow(const CJackHostTime& time, double anchor, double serverPerHost, int frames,
                int hostRate);

    // JACK thread, each cycle of frames starting at stream frame cycleStart: takes the blocks
    // that JACK's next transport requests concern and makes the requests they need.
    void apply(jack_client_t* client, long cycleStart, int frames);
    /// Fills bar, beat, tick, tempo and metre for the transport frame in position (what a
    /// timebase master does).
    void fillPosition(jack_position_t* position) const;
    /// Takes the timebase master's role unless another client holds it.
    bool becomeTimebaseMaster(jack_client_t* client);

private:
    struct Block {
        double anchor;
        double quarters;
        /// Quarter notes per stream frame; 0 while stopped.
        double quartersPerFrame;
        double tempo;
        int32_t beatsPerBar;
        int32_t beatUnit;
        uint8_t playing;
        uint8_t jumped;
    };

    static constexpr int kHistory = 128;

    static void timebase(jack_transport_state_t state, jack_nframes_t frames,
                         jack_position_t* position, int newPosition, void* self);
    bool hasJumped(double position, int frames, int hostRate) const;
    bool peekBlock(Block& block) const;
    /// Takes the blocks begun by streamFrame, and a start or jump in the period after; true
    /// when one of them starts, stops or jumps.
    bool takeBlocksUntil(double streamFrame, int frames);
    const Block& blockAt(double at) const;
    /// The host's position in quarter notes at stream frame at, from the blocks taken so far.
    double quartersAt(double at) const;
    void request(jack_client_t* client, long cycleStart, double moves);
    void watchTransport(jack_client_t* client, long cycleStart, int frames);
    uint32_t transportFrameOf(double quarters, double tempo) const;

    const CJackApi& jack;
    int serverRate;
    jack_ringbuffer_t* blocks = nullptr;
    // Blocks put into and taken from the ring; the count publishes each block.
    std::atomic<long> sent{0};
    long taken = 0;

    // Host side: the previous block.
    bool followed = false;
    bool wasPlaying = false;
    double lastPosition = 0;
    double lastTempo = 120.0;
    int lastFrames = 0;

    // JACK thread: the blocks taken, newest at history[(count - 1) % kHistory].
    Block history[kHistory] = {};
    long count = 0;
    bool rolling = false;
    /// Cycles after which JACK carries out a transport request; learnt from each relocation.
    int requestCycles = 2;
    long locateAsked = -1;
    uint32_t locateTarget = 0;
    /// Stream frame less JACK's transport frame, this cycle.
    double frameOffset = 0;
    double nextCycle = 0;
    bool frameKnown = false;
};
