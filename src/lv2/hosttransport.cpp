#include "lv2/hosttransport.h"

#include <cmath>

namespace {
// Values a host could not mean: the previous ones stay.
bool usableTempo(double bpm) {
    return std::isfinite(bpm) && bpm > 0.0 && bpm < 1.0e6;
}

bool usableMetre(double perBar, int unit) {
    return std::isfinite(perBar) && perBar > 0.0 && perBar < 1.0e4 && unit > 0 && unit <= 256;
}
} // namespace

void CHostTransport::apply(const CPosition& p) {
    if (p.hasMetre && usableMetre(p.beatsPerBar, p.beatUnit)) {
        beatsPerBar = p.beatsPerBar;
        beatUnit = p.beatUnit;
    }
    if (p.hasTempo && usableTempo(p.beatsPerMinute)) beatsPerMinute = p.beatsPerMinute;
    if (p.hasBeat && std::isfinite(p.beat))
        beat = p.beat;
    else if (p.hasBar && std::isfinite(p.bar) && std::isfinite(p.barBeat))
        beat = p.bar * beatsPerBar + p.barBeat;
    if (p.hasSpeed && std::isfinite(p.speed)) speed = p.speed;
}

void CHostTransport::advance(int frames, double sampleRate) {
    if (frames <= 0 || !(sampleRate > 0.0)) return;
    beat += speed * frames * beatsPerMinute / (60.0 * sampleRate);
}
