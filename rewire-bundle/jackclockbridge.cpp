#include "jackclockbridge.h"

#include <algorithm>
#include <cmath>

namespace {
// Ring room in frames: several of the largest periods and host blocks JACK and hosts use.
const int kRingFrames = 16384;
// The fill error is averaged over about this long, which hides the sawtooth that whole periods
// arriving at once and whole host blocks leaving at once draw into it.
const double kAverageSeconds = 0.25;
// Natural frequency of the loop, rad/s: settles within seconds, far below the block rates.
const double kLoopOmega = 0.8;
// Largest ratio correction: far beyond any real clock's error (a few hundred ppm).
const double kMaxCorrection = 0.005;

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
}

double CJackDriftLoop::update(double error, double seconds) {
    averaged += std::min(1.0, seconds / kAverageSeconds) * (error - averaged);
    double correction =
        (2 * kLoopOmega * averaged + kLoopOmega * kLoopOmega * (integral + averaged * seconds)) /
        rate;
    // No integration while pinned at the limit, so the loop does not wind up.
    if (std::fabs(correction) < kMaxCorrection) integral += averaged * seconds;
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

void CJackClockBridge::pushPeriod(const float* const* inputs, int frames) {
    periodFrames.store(frames, std::memory_order_relaxed);
    size_t bytes = size_t(frames) * size_t(frameBytes);
    if (jack.jack_ringbuffer_write_space(ring) < bytes) {
        overrunFrames.fetch_add(frames, std::memory_order_relaxed);
        return;
    }
    jack_ringbuffer_data_t parts[2];
    jack.jack_ringbuffer_get_write_vector(ring, parts);
    for (int f = 0; f < frames; f++) {
        size_t at = size_t(f) * size_t(frameBytes);
        char* place = at < parts[0].len ? parts[0].buf + at : parts[1].buf + (at - parts[0].len);
        float* frame = reinterpret_cast<float*>(place);
        for (int n = 0; n < stride; n++)
            frame[n] = n < channels && inputs[n] ? inputs[n][f] : 0.0f;
    }
    jack.jack_ringbuffer_write_advance(ring, bytes);
    framesWritten.fetch_add(frames, std::memory_order_release);
}

bool CJackClockBridge::setHost(int rate, int maxFrames) {
    if (rate <= 0 || maxFrames <= 0) return false;
    if (resampler.setup(double(rate) / serverRate, unsigned(stride), kFilterHalfLength) != 0)
        return false;
    hostRate = rate;
    hostMaxFrames = maxFrames;
    interleaved.assign(size_t(maxFrames) * size_t(stride), 0.0f);
    running = false;
    return true;
}

double CJackClockBridge::getTargetFill() const {
    // Periods arrive whole: the fill swings by one period, around half of it above its low;
    // a quarter period more keeps a late JACK thread from emptying it; and the largest host
    // block must be there when it asks.
    double period = periodFrames.load(std::memory_order_relaxed);
    return 0.75 * period + hostMaxFrames * getServerPerHost();
}

int CJackClockBridge::readableFrames() const {
    return int(jack.jack_ringbuffer_read_space(ring) / size_t(frameBytes));
}

void CJackClockBridge::skipFrames(int frames) {
    jack.jack_ringbuffer_read_advance(ring, size_t(frames) * size_t(frameBytes));
    framesRead += frames;
}

void CJackClockBridge::beginBlock(int frames) {
    double fill = readableFrames();
    double target = getTargetFill();
    if (!running) {
        // Silence until the target fill has gathered, after the start and after an underrun.
        if (fill < target) return;
        running = true;
        loop.reset(serverRate);
    }
    double period = periodFrames.load(std::memory_order_relaxed);
    if (fill > target + 2 * (period + hostMaxFrames * getServerPerHost())) {
        // The host stopped calling for a while: drop the backlog instead of keeping its delay.
        skipFrames(int(fill - target));
        resyncs.fetch_add(1, std::memory_order_relaxed);
        loop.reset(serverRate);
        fill = readableFrames();
    }
    double correction = loop.update(fill - target, double(frames) / hostRate);
    resampler.set_rratio(1.0 / (1.0 + correction));
}

void CJackClockBridge::silence(float* const* outputs, int first, int count) {
    for (int n = 0; n < channels; n++)
        if (outputs[n]) std::fill(outputs[n] + first, outputs[n] + first + count, 0.0f);
}

int CJackClockBridge::resampleInto(float* const* outputs, int first, int count) {
    resampler.out_count = unsigned(count);
    resampler.out_data = interleaved.data();
    while (resampler.out_count > 0) {
        jack_ringbuffer_data_t parts[2];
        jack.jack_ringbuffer_get_read_vector(ring, parts);
        unsigned available = unsigned(parts[0].len / size_t(frameBytes));
        if (available == 0) break;
        resampler.inp_count = available;
        resampler.inp_data = reinterpret_cast<float*>(parts[0].buf);
        resampler.process();
        skipFrames(int(available - resampler.inp_count));
    }
    int made = count - int(resampler.out_count);
    for (int n = 0; n < channels; n++) {
        if (!outputs[n]) continue;
        const float* from = interleaved.data() + n;
        for (int f = 0; f < made; f++)
            outputs[n][first + f] = from[size_t(f) * size_t(stride)];
    }
    return made;
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
