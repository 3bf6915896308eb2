#include "synthdevice.h"

#include <cmath>

#include "rewire/midi.h"

namespace {
const double kTwoPi = 6.283185307179586;
const float kVoiceGain = 0.25f;
const int kBendRangeSemitones = 2;
const int kControllerAllNotesOff = 123;
const int kControllerAllSoundOff = 120;

// Voice colour per target: ramps in seconds and the level of the second harmonic. Linear ramps
// from and to zero keep note starts and ends free of clicks.
struct Colour {
    double attack;
    double release;
    float overtone;
};
const Colour kColours[] = {{0.005, 0.04, 0.3f}, {0.06, 0.25, 0.1f}, {0.003, 0.03, 0.5f}};

const Colour& colourOf(const ReWireEventTarget& target) {
    return kColours[(target.fBus * kReWireEventChannelCount + target.fChannel) % 3];
}

bool sameTarget(const ReWireEventTarget& a, const ReWireEventTarget& b) {
    return a.fBus == b.fBus && a.fChannel == b.fChannel;
}
} // namespace

CSynthDevice::CSynthDevice(const CStr& deviceName) : CBundleDevice(deviceName, 2) {
    setChannelName(0, "Left");
    setChannelName(1, "Right");
}

CBusLayout CSynthDevice::defaultLayout() {
    CBusLayout layout;
    layout.addBus("Synth", {"Lead", "Pad"});
    layout.addBus("Bass", {"Mono"});
    return layout;
}

double CSynthDevice::noteFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void CSynthDevice::reset() {
    for (Voice& voice : voices)
        voice = Voice();
    for (double& value : bend)
        value = 1.0;
}

CSynthDevice::Voice* CSynthDevice::findVoice(const ReWireEventTarget& target, int note) {
    for (Voice& voice : voices)
        if (voice.active && !voice.releasing && voice.note == note &&
            sameTarget(voice.target, target))
            return &voice;
    return nullptr;
}

// An idle voice, else the quietest releasing one, else the oldest.
CSynthDevice::Voice* CSynthDevice::freeVoice() {
    Voice* best = &voices[0];
    for (Voice& voice : voices) {
        if (!voice.active) return &voice;
        if (voice.releasing && (!best->releasing || voice.level < best->level))
            best = &voice;
        else if (!best->releasing && voice.age > best->age)
            best = &voice;
    }
    return best;
}

void CSynthDevice::startNote(const ReWireEventTarget& target, int note, int velocity) {
    Voice* voice = findVoice(target, note);
    if (!voice) {
        voice = freeVoice();
        // A stolen voice keeps its level and phase and ramps to the new note's level.
        if (!voice->active) {
            voice->phase = 0;
            voice->level = 0;
        }
    }
    const Colour& colour = colourOf(target);
    voice->active = true;
    voice->releasing = false;
    voice->target = target;
    voice->note = note;
    voice->frequency = noteFrequency(note);
    voice->peakLevel = kVoiceGain * float(velocity) / 127.0f;
    voice->attackStep = voice->peakLevel / float(colour.attack * rate + 1);
    voice->releaseStep = voice->peakLevel / float(colour.release * rate + 1);
    voice->overtone = colour.overtone;
    voice->age = 0;
}

void CSynthDevice::releaseNote(const ReWireEventTarget& target, int note) {
    Voice* voice = findVoice(target, note);
    if (voice) voice->releasing = true;
}

void CSynthDevice::releaseAll(const ReWireEventTarget& target) {
    for (Voice& voice : voices)
        if (voice.active && sameTarget(voice.target, target)) voice.releasing = true;
}

void CSynthDevice::midiEvent(const ReWireMIDIEvent& event) {
    switch (event.fStatus) {
    case kMIDINoteOn:
        if (event.fData2 > 0)
            startNote(event.fTarget, event.fData1, event.fData2);
        else
            releaseNote(event.fTarget, event.fData1);
        break;
    case kMIDINoteOff:
        releaseNote(event.fTarget, event.fData1);
        break;
    case kMIDIControlChange:
        if (event.fData1 == kControllerAllNotesOff || event.fData1 == kControllerAllSoundOff)
            releaseAll(event.fTarget);
        break;
    case kMIDIPitchBend: {
        int value = (event.fData1 & 0x7F) | ((event.fData2 & 0x7F) << 7);
        double semitones = (value - 8192) / 8192.0 * kBendRangeSemitones;
        bend[event.fTarget.fChannel % kReWireEventChannelCount] = std::pow(2.0, semitones / 12.0);
        break;
    }
    default:
        break;
    }
}

float CSynthDevice::nextSample(Voice& voice, double phaseStep) {
    if (voice.releasing) {
        voice.level -= voice.releaseStep;
        if (voice.level <= 0) {
            voice.active = false;
            voice.level = 0;
            return 0;
        }
    } else if (voice.level < voice.peakLevel) {
        voice.level = std::fmin(voice.level + voice.attackStep, voice.peakLevel);
    } else if (voice.level > voice.peakLevel) {
        voice.level = std::fmax(voice.level - voice.releaseStep, voice.peakLevel);
    }
    float sample =
        voice.level * float(std::sin(voice.phase) + voice.overtone * std::sin(2.0 * voice.phase));
    voice.phase += phaseStep;
    if (voice.phase >= kTwoPi) voice.phase -= kTwoPi;
    voice.age++;
    return sample;
}

void CSynthDevice::render(const ReWireDriveAudioInputParams&, float* const* buffers, int first,
                          int count) {
    for (int f = first; f < first + count; f++) {
        float mix = 0;
        for (Voice& voice : voices) {
            if (!voice.active) continue;
            double step = kTwoPi * voice.frequency * bend[voice.target.fChannel] / rate;
            mix += nextSample(voice, step);
        }
        if (buffers[0]) buffers[0][f] = mix;
        if (buffers[1]) buffers[1][f] = mix;
    }
}
