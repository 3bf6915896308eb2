#include "drumdevice.h"

#include <algorithm>
#include <cmath>

#include "rewire/midi.h"

namespace {
const double kTwoPi = 6.283185307179586;
// Ramps that keep hit starts and ends, and stops, free of clicks.
const double kAttackSeconds = 0.001;
const double kEndFadeSeconds = 0.01;
const double kStopFadeSeconds = 0.005;
// A bar longer than this is a time signature no score has.
const uint64_t kMaxEighthsPerBar = 1024;

float nextNoise(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 23) - 1.0f;
}

bool isLooping(const ReWireDriveAudioInputParams& input) {
    return input.fLoopActive && input.fLoopTo > input.fLoopFrom;
}

// Loop length in ticks: a loop may be longer than the 32-bit tick range.
double loopLength(const ReWireDriveAudioInputParams& input) {
    return double(input.fLoopTo) - double(input.fLoopFrom);
}

// Song position in ticks of a frame, wrapped into the loop when it runs past the loop end.
double tickAt(const ReWireDriveAudioInputParams& input, int frame, double ticksPerFrame) {
    double tick = input.fPosition + frame * ticksPerFrame;
    if (isLooping(input) && tick >= input.fLoopTo)
        tick = input.fLoopFrom + std::fmod(tick - input.fLoopFrom, loopLength(input));
    return tick;
}
} // namespace

CDrumDevice::CDrumDevice(const CStr& deviceName) : CBundleDevice(deviceName, 2) {
    setChannelName(0, "Left");
    setChannelName(1, "Right");
}

CBusLayout CDrumDevice::defaultLayout() {
    CBusLayout layout;
    layout.addBus("Drums", {"Pads"});
    return layout;
}

CDrumDevice::Sound CDrumDevice::patternSound(int eighth, int perBar) {
    int inBar = ((eighth % perBar) + perBar) % perBar;
    if (inBar % 2 == 1) return kHat;
    bool halfway = perBar >= 8 && perBar % 2 == 0 && inBar == perBar / 2;
    return inBar == 0 || halfway ? kKick : kSnare;
}

int CDrumDevice::eighthsPerBar(const ReWireDriveAudioInputParams& input) {
    uint64_t beats = input.fBeatsPerBar > 0 ? input.fBeatsPerBar : 4;
    uint64_t unit = input.fBeatUnit > 0 ? input.fBeatUnit : 4;
    return int(std::clamp<uint64_t>(beats * 8 / unit, 1, kMaxEighthsPerBar));
}

double CDrumDevice::soundLength(Sound sound) {
    switch (sound) {
    case kKick:
        return 0.09;
    case kSnare:
        return 0.08;
    case kHat:
        return 0.03;
    }
    return 0;
}

void CDrumDevice::reset() {
    for (Hit& hit : hits)
        hit = Hit();
    wasPlaying = false;
    lastGridTick = -1;
    framesSinceGrid = 0;
}

void CDrumDevice::trigger(Sound sound, bool sequenced) {
    Hit* slot = &hits[0];
    for (Hit& hit : hits) {
        if (!hit.active) {
            slot = &hit;
            break;
        }
        if (hit.age > slot->age) slot = &hit;
    }
    uint32_t seed = uint32_t(sound) * 7919u + 17u;
    *slot = Hit();
    slot->active = true;
    slot->sequenced = sequenced;
    slot->sound = sound;
    slot->length = int(soundLength(sound) * rate);
    slot->noise = seed;
}

void CDrumDevice::stopSequencedHits() {
    for (Hit& hit : hits)
        if (hit.active && hit.sequenced && hit.stopAge < 0) hit.stopAge = hit.age;
}

void CDrumDevice::midiEvent(const ReWireMIDIEvent& event) {
    if (event.fStatus != kMIDINoteOn || event.fData2 == 0) return;
    if (event.fData1 == kPadKick)
        trigger(kKick, false);
    else if (event.fData1 == kPadSnare)
        trigger(kSnare, false);
    else if (event.fData1 == kPadHat)
        trigger(kHat, false);
}

float CDrumDevice::nextSample(Hit& hit) {
    double t = double(hit.age) / rate;
    float value = 0;
    switch (hit.sound) {
    case kKick: {
        double frequency = 50.0 + 70.0 * std::exp(-t / 0.02);
        value = 0.8f * float(std::cos(hit.phase) * std::exp(-t / 0.03));
        hit.phase += kTwoPi * frequency / rate;
        break;
    }
    case kSnare:
        value =
            float((0.4 * nextNoise(hit.noise) + 0.3 * std::sin(hit.phase)) * std::exp(-t / 0.015));
        hit.phase += kTwoPi * 180.0 / rate;
        break;
    case kHat: {
        float noise = nextNoise(hit.noise);
        value = 0.3f * (noise - hit.lastNoise) * float(std::exp(-t / 0.008));
        hit.lastNoise = noise;
        break;
    }
    }
    double gain = std::fmin(1.0, (hit.age + 1) / (kAttackSeconds * rate));
    gain = std::fmin(gain, (hit.length - hit.age) / (kEndFadeSeconds * rate));
    if (hit.stopAge >= 0)
        gain *= std::fmax(0.0, 1.0 - (hit.age - hit.stopAge) / (kStopFadeSeconds * rate));
    hit.age++;
    if (hit.age >= hit.length || (hit.stopAge >= 0 && gain <= 0)) hit.active = false;
    return value * float(gain);
}

// Starts the pattern's sound when a grid point of the eighth-note grid falls on this frame.
void CDrumDevice::firePatternAt(const ReWireDriveAudioInputParams& input, int frame,
                                double ticksPerFrame) {
    double tick = tickAt(input, frame, ticksPerFrame);
    double end = tick + ticksPerFrame;
    double grid = std::ceil(tick / kTicksPerEighth) * kTicksPerEighth;
    framesSinceGrid++;
    if (isLooping(input) && tick < input.fLoopTo && end > input.fLoopTo) {
        // The position wraps inside this frame: past the loop end it goes on from the start.
        if (grid >= input.fLoopTo) {
            grid = std::ceil(double(input.fLoopFrom) / kTicksPerEighth) * kTicksPerEighth;
            if (grid >= input.fLoopFrom + (end - input.fLoopTo)) return;
        }
    } else if (grid >= end) {
        return;
    }
    // Block positions arrive rounded down to whole ticks, so a grid point just before a block
    // start can show up again at its first frame; it sounds only once.
    int eighthFrames = int(kTicksPerEighth / ticksPerFrame);
    if (grid == lastGridTick && framesSinceGrid < eighthFrames / 2) return;
    lastGridTick = grid;
    framesSinceGrid = 0;
    trigger(patternSound(int(std::llround(grid / kTicksPerEighth)), eighthsPerBar(input)), true);
}

void CDrumDevice::render(const ReWireDriveAudioInputParams& input, float* const* buffers, int first,
                         int count) {
    bool playing = input.fTransportMode != kReWireTransportStopped;
    if (input.fTransportMode == kReWireTransportPlayStarted && first == 0) lastGridTick = -1;
    if (!playing && wasPlaying) stopSequencedHits();
    wasPlaying = playing;
    double ticksPerFrame = input.fTempo / 1000.0 / 60.0 * kReWirePPQ / rate;
    for (int f = first; f < first + count; f++) {
        if (playing && ticksPerFrame > 0) firePatternAt(input, f, ticksPerFrame);
        float mix = 0;
        for (Hit& hit : hits)
            if (hit.active) mix += nextSample(hit);
        if (buffers[0]) buffers[0][f] = mix;
        if (buffers[1]) buffers[1][f] = mix;
    }
}
