// The host's transport carried to JACK's: the host's audio thread turns its play state and
// position into start, stop and relocate commands (a position that jumps, as at a loop's end,
// relocates); the JACK thread carries them out. As JACK's timebase master the device gives
// tempo and bar, beat and tick in 4/4 from the host's tempo.
#pragma once

#include <atomic>
#include <cstdint>

#include "jackapi.h"

class CJackTransport {
public:
    CJackTransport(const CJackApi& api, int serverRate);
    ~CJackTransport();
    CJackTransport(const CJackTransport&) = delete;
    CJackTransport& operator=(const CJackTransport&) = delete;

    bool isValid() const { return commands != nullptr; }

    // Host audio thread: one block's transport, position in quarter notes and tempo in beats
    // per minute.
    void follow(bool playing, double position, double tempo, int frames, int hostRate);

    // JACK thread: carries out what the host asked since the last period.
    void apply(jack_client_t* client);
    /// Takes the timebase master's role unless another client holds it.
    bool becomeTimebaseMaster(jack_client_t* client);

private:
    enum Kind : int32_t { kStart, kStop, kLocate };
    struct Command {
        int32_t kind;
        uint32_t frame;
    };

    static void timebase(jack_transport_state_t state, jack_nframes_t frames,
                         jack_position_t* position, int newPosition, void* self);
    void fillPosition(jack_position_t* position) const;
    void send(Kind kind, double quarters = 0);
    bool hasJumped(double position, int frames, int hostRate) const;

    const CJackApi& jack;
    int serverRate;
    jack_ringbuffer_t* commands = nullptr;
    // Commands put into and taken from the ring; the count publishes each command.
    std::atomic<long> sent{0};
    long taken = 0;
    std::atomic<double> tempo{120.0};

    // Host side: the previous block.
    bool followed = false;
    bool wasPlaying = false;
    double lastPosition = 0;
    double lastTempo = 120.0;
    int lastFrames = 0;
};
