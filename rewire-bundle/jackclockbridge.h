// The audio road from the JACK thread to the host's audio thread: the JACK side writes each
// period into a lock-free ring; the host side reads it through zita-resampler's VResampler, at
// the host's rate and on the host's clock. A slow control loop keeps the ring's fill at a
// target by nudging the resampling ratio, which follows a host clock that drifts against the
// server's and keeps the latency constant. The fill is measured as if frames arrived one by one:
// the frames in the ring plus those that have played into the server since its last period
// began, by the microsecond clock JACK keeps (jack_get_time); so neither whole periods arriving
// at once nor host blocks leaving at once draw a sawtooth into it.
#pragma once

#include <atomic>
#include <vector>

#include <zita-resampler/vresampler.h>

#include "jackapi.h"

/// The fill control loop: a low-passed fill error drives a critically damped PI correction of
/// the resampling ratio.
class CJackDriftLoop {
public:
    void reset(int serverRate);
    /// One host block of seconds with the fill error in server frames; returns the relative
    /// correction of the input consumption (positive reads faster). An error further than
    /// limit from the average counts as that far: a JACK thread that woke late once makes the
    /// fill look short for one block, which must not move the latency.
    double update(double error, double seconds, double limit);

private:
    double rate = 48000;
    double averaged = 0;
    double integral = 0;
    double elapsed = 0;
};

class CJackClockBridge {
public:
    /// Filter half length of the resampler, in input frames.
    static constexpr int kFilterHalfLength = 16;

    CJackClockBridge(const CJackApi& api, int channels, int serverRate);
    ~CJackClockBridge();
    CJackClockBridge(const CJackClockBridge&) = delete;
    CJackClockBridge& operator=(const CJackClockBridge&) = delete;

    bool isValid() const { return ring != nullptr; }

    // JACK thread.
    /// Appends a period arriving at now (microseconds); a null input gives silence. Drops it
    /// when the ring is full.
    void pushPeriod(const float* const* inputs, int frames, uint64_t now);
    /// Frames appended since the start, the position of the server's stream.
    long getFramesWritten() const { return framesWritten.load(std::memory_order_acquire); }

    // Host side, with no drive running: the host's format; resets the reading side.
    bool setHost(int hostRate, int hostMaxFrames);

    // Host audio thread.
    /// Starts a host block of frames at now (microseconds): measures the fill and adjusts the
    /// ratio.
    void beginBlock(int frames, uint64_t now);
    /// Writes frames [first, first + count) of every non-null output.
    void pull(float* const* outputs, int first, int count);
    /// Server stream frames taken into the resampler so far.
    long getFramesRead() const { return framesRead; }
    /// The fill the loop holds, in server frames.
    double getTargetFill() const { return getTargetFill(getPeriodFrames()); }
    /// The fill the loop holds with periods of period frames.
    double getTargetFill(int period) const;
    int getPeriodFrames() const { return periodFrames.load(std::memory_order_relaxed); }
    /// Server frames per host frame.
    double getServerPerHost() const { return double(serverRate) / hostRate; }

    // Counters, readable from any thread.
    long getUnderrunFrames() const { return underrunFrames.load(std::memory_order_relaxed); }
    long getOverrunFrames() const { return overrunFrames.load(std::memory_order_relaxed); }
    long getResyncs() const { return resyncs.load(std::memory_order_relaxed); }

private:
    /// The last period's end in the stream and its arrival time, published together.
    struct Stamp {
        std::atomic<long> streamEnd{0};
        std::atomic<double> arrival{0};
    };
    static constexpr int kStamps = 4;

    double measureFill(uint64_t now) const;
    void gather(double excess, int frames);
    int readableFrames() const;
    void skipFrames(int frames);
    void silence(float* const* outputs, int first, int count);
    int resampleInto(float* const* outputs, int first, int count);
    void deinterleave(float* const* outputs, int first, int count);

    const CJackApi& jack;
    int channels;
    int stride;
    int frameBytes;
    int serverRate;
    int hostRate = 44100;
    int hostMaxFrames = 1024;
    jack_ringbuffer_t* ring = nullptr;
    std::atomic<int> periodFrames{256};
    std::atomic<long> framesWritten{0};
    /// The end of the last period with a sample other than zero on any channel.
    std::atomic<long> soundEnd{0};
    // The newest entry is stamps[stampCount % kStamps]; the JACK thread reuses an entry only
    // kStamps periods later.
    Stamp stamps[kStamps];
    std::atomic<unsigned> stampCount{0};

    VResampler resampler;
    CJackDriftLoop loop;
    std::vector<float> interleaved;
    bool running = false;
    int gatheredBlocks = 0;
    double leastExcess = 0;
    double gatheredFrames = 0;
    long framesRead = 0;
    /// Frames given to the resampler as silence since the last sounding ones.
    int silentFrames = 0;
    std::atomic<long> underrunFrames{0};
    std::atomic<long> overrunFrames{0};
    std::atomic<long> resyncs{0};
};
