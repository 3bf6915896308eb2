#include "jackclockbridge.h"

#include <algorithm>
#include <cmath>

namespace {
// Ring room in frames: several of the largest periods and host blocks JACK and hosts use.
const int kRingFrames = 16384;
// The fill error is averaged over about this long, against the jitter of the threads' wake-ups.
const double kAverageSeconds = 0.25;
// Natural frequency of the loop, rad/s: far below the block rates. It starts four times as fast
// and slows down over the first seconds, to take up a clock's offset quickly and then hold.
const double kLoopOmega = 0.8;
const double kStartBoost = 3.0;
const double kSlowDownSeconds = 4.0;
// Largest ratio correction: far beyond any real clock's error (a few hundred ppm).
const double kMaxCorrection = 0.005;
// Blocks over which the fill is watched before reading starts.
const int kGatherBlocks = 8;
// Largest step of the fill error into the average, in periods.
const double kErrorLimit = 0.125;

int strideFor(int channels) {
    int stride = 1;
    while (stride < channels)
        stride *= 2;
    return stride;
}
} // namespace

void CJackDriftLoop::reset(int serverRate) {
    rate = serverRate;
    averaged = 0;
    integral = 0;
    elapsed = 0;
}

double CJackDriftLoop::update(double error, double seconds, double limit) {
    elapsed += seconds;
    double omega = kLoopOmega * (1 + kStartBoost * std::max(0.0, 1 - elapsed / kSlowDownSeconds));
    double limited = std::clamp(error, averaged - limit, averaged + limit);
    averaged += std::min(1.0, seconds / kAverageSeconds) * (limited - averaged);
    // The integral is kept as a ratio correction, so that slowing the loop down does not move it.
    double step = omega * omega * averaged * seconds / rate;
    double correction = 2 * omega * averaged / rate + integral + step;
    // No integration while pinned at the limit, so the loop does not wind up.
    if (std::fabs(correction) < kMaxCorrection) integral += step;
    return std::clamp(correction, -kMaxCorrection, kMaxCorrection);
}

CJackClockBridge::CJackClockBridge(const CJackApi& api, int channelCount, int rate)
    : jack(api), channels(channelCount), stride(strideFor(channelCount)),
      frameBytes(stride * int(sizeof(float))), serverRate(rate) {
    // Frames are a power of two bytes long, like the ring, so no frame is split at its end.
    ring = jack.jack_ringbuffer_create(size_t(kRingFrames) * size_t(frameBytes));
    setHost(hostRate, hostMaxFrames);
}

CJackClockBridge::~CJackClockBridge() {
    if (ring) jack.jack_ringbuffer_free(ring);
}

void CJackClockBridge::pushPeriod(const float* const* inputs, int frames, uint64_t now) {
    periodFrames.store(frames, std::memory_order_relaxed);
    size_t bytes = size_t(frames) * size_t(frameBytes);
    if (jack.jack_ringbuffer_write_space(ring) < bytes) {
        overrunFrames.fetch_add(frames, std::memory_order_relaxed);
        return;
    }
    jack_ringbuffer_data_t parts[2];
    jack.jack_ringbuffer_get_write_vector(ring, parts);
    bool sounding = false;
    for (int f = 0; f < frames; f++) {
        size_t at = size_t(f) * size_t(frameBytes);
        char* place = at < parts[0].len ? parts[0].buf + at : parts[1].buf + (at - parts[0].len);
        float* frame = reinterpret_cast<float*>(place);
        for (int n = 0; n < stride; n++) {
            frame[n] = n < channels && inputs[n] ? inputs[n][f] : 0.0f;
            sounding |= frame[n] != 0.0f;
        }
    }
    jack.jack_ringbuffer_write_advance(ring, bytes);
    long written = framesWritten.load(std::memory_order_relaxed) + frames;
    // Published with the frames: a reader that sees them sees this too.
    if (sounding) soundEnd.store(written, std::memory_order_relaxed);
    framesWritten.store(written, std::memory_order_release);
    unsigned next = stampCount.load(std::memory_order_relaxed) + 1;
    stamps[next % kStamps].streamEnd.store(written, std::memory_order_relaxed);
    stamps[next % kStamps].arrival.store(double(now), std::memory_order_relaxed);
    stampCount.store(next, std::memory_order_release);
}

bool CJackClockBridge::setHost(int rate, int maxFrames) {
    if (rate <= 0 || maxFrames <= 0) return false;
    if (resampler.setup(double(rate) / serverRate, unsigned(stride), kFilterHalfLength) != 0)
        return false;
    // Fills the filter's history with silence, so that the first block takes no more from the
    // ring than any later one and the fill starts where the loop holds it.
    resampler.inp_count = 2 * kFilterHalfLength;
    resampler.inp_data = nullptr;
    resampler.out_count = 1;
    resampler.out_data = nullptr;
    resampler.process();
    hostRate = rate;
    hostMaxFrames = maxFrames;
    interleaved.assign(size_t(maxFrames) * size_t(stride), 0.0f);
    running = false;
    gatheredBlocks = 0;
    silentFrames = 0;
    return true;
}

double CJackClockBridge::getTargetFill(int period) const {
    // Periods arrive whole: just before one arrives, the ring holds one period less than the
    // measured fill. The largest host block and the resampler's look-ahead must be there then,
    // and a quarter period more keeps a JACK thread that wakes late from emptying the ring.
    // Every frame more is latency.
    return 1.25 * period + 2 * kFilterHalfLength + hostMaxFrames * getServerPerHost();
}

// Counted by our own atomics rather than the ring's read space: so the frames read are those
// whose writing the JACK thread has published, also to a thread sanitizer, which cannot see
// the ring's own ordering inside libjack.
int CJackClockBridge::readableFrames() const {
    return int(framesWritten.load(std::memory_order_acquire) - framesRead);
}

void CJackClockBridge::skipFrames(int frames) {
    jack.jack_ringbuffer_read_advance(ring, size_t(frames) * size_t(frameBytes));
    framesRead += frames;
}

double CJackClockBridge::measureFill(uint64_t now) const {
    const Stamp& stamp = stamps[stampCount.load(std::memory_order_acquire) % kStamps];
    long streamEnd = stamp.streamEnd.load(std::memory_order_relaxed);
    double arrival = stamp.arrival.load(std::memory_order_relaxed);
    double since = std::max(0.0, (double(now) - arrival) * 1e-6 * serverRate);
    // No more than a period: a stalled server delivers nothing, whatever the clock says.
    double period = periodFrames.load(std::memory_order_relaxed);
    return double(streamEnd - framesRead) + std::min(since, period);
}

void CJackClockBridge::beginBlock(int frames, uint64_t now) {
    double fill = measureFill(now);
    double target = getTargetFill();
    double period = periodFrames.load(std::memory_order_relaxed);
    if (!running) {
        gather(fill - target, frames);
        return;
    }
    if (fill > target + 2 * (period + hostMaxFrames * getServerPerHost())) {
        // The host stopped calling for a while: drop the backlog instead of keeping its delay.
        resyncs.fetch_add(1, std::memory_order_relaxed);
        skipFrames(std::min(readableFrames(), int(fill - target)));
        loop.reset(serverRate);
        return;
    }
    double correction = loop.update(fill - target, double(frames) / hostRate, kErrorLimit * period);
    resampler.set_rratio(1.0 / (1.0 + correction));
}

// Silence until the target fill has gathered, after the start and after an underrun; then a few
// blocks more, and reading starts from the least excess seen (each less what the host would
// have read since), so that the loop has nothing to pull in even when one measurement was off
// (a thread woken late).
void CJackClockBridge::gather(double excess, int frames) {
    if (excess < 0) {
        gatheredBlocks = 0;
        return;
    }
    if (gatheredBlocks == 0) {
        gatheredFrames = 0;
        leastExcess = excess;
    }
    leastExcess = std::min(leastExcess, excess - gatheredFrames);
    if (++gatheredBlocks < kGatherBlocks) {
        gatheredFrames += frames * getServerPerHost();
        return;
    }
    skipFrames(std::min(readableFrames(), int(leastExcess + gatheredFrames)));
    loop.reset(serverRate);
    gatheredBlocks = 0;
    running = true;
}

void CJackClockBridge::silence(float* const* outputs, int first, int count) {
    for (int n = 0; n < channels; n++)
        if (outputs[n]) std::fill(outputs[n] + first, outputs[n] + first + count, 0.0f);
}

int CJackClockBridge::resampleInto(float* const* outputs, int first, int count) {
    int made = 0;
    while (made < count) {
        jack_ringbuffer_data_t parts[2];
        jack.jack_ringbuffer_get_read_vector(ring, parts);
        unsigned available = unsigned(
            std::min(parts[0].len / size_t(frameBytes), size_t(std::max(0, readableFrames()))));
        if (available == 0) break;
        // Frames past the last sounding period are silence on every channel: given as no
        // input, which the resampler takes as zeros. Once its whole history is such silence,
        // what it makes is zeros, written here directly. The output is the same as for the
        // zeros themselves, so starting and stopping this neither clicks nor moves the latency.
        long sounding = soundEnd.load(std::memory_order_relaxed) - framesRead;
        if (sounding > 0) available = std::min(available, unsigned(sounding));
        bool quiet = sounding <= 0 && silentFrames >= resampler.inpsize();
        resampler.inp_count = available;
        resampler.inp_data = sounding > 0 ? reinterpret_cast<float*>(parts[0].buf) : nullptr;
        resampler.out_count = unsigned(count - made);
        resampler.out_data = quiet ? nullptr : interleaved.data();
        resampler.process();
        int taken = int(available - resampler.inp_count);
        int produced = count - made - int(resampler.out_count);
        skipFrames(taken);
        silentFrames = sounding > 0 ? 0 : std::min(silentFrames + taken, resampler.inpsize());
        if (quiet)
            silence(outputs, first + made, produced);
        else
            deinterleave(outputs, first + made, produced);
        made += produced;
    }
    return made;
}

void CJackClockBridge::deinterleave(float* const* outputs, int first, int count) {
    for (int n = 0; n < channels; n++) {
        if (!outputs[n]) continue;
        const float* from = interleaved.data() + n;
        for (int f = 0; f < count; f++)
            outputs[n][first + f] = from[size_t(f) * size_t(stride)];
    }
}

void CJackClockBridge::pull(float* const* outputs, int first, int count) {
    if (!running) {
        silence(outputs, first, count);
        return;
    }
    int done = 0;
    while (done < count) {
        int chunk = std::min(count - done, hostMaxFrames);
        int made = resampleInto(outputs, first + done, chunk);
        done += made;
        if (made < chunk) {
            // Underrun: silence for what is missing, then gather the target fill again.
            silence(outputs, first + done, count - done);
            underrunFrames.fetch_add(count - done, std::memory_order_relaxed);
            running = false;
            return;
        }
    }
}
