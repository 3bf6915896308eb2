// Measures on recorded sound: a tone's level, gaps and steepest step, and where clicks fall.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

/// Root mean square over [from, to); to -1 is the end.
inline double rms(const std::vector<float>& s, long from, long to = -1) {
    if (to == -1) to = long(s.size());
    double sum = 0;
    for (long i = from; i < to; i++)
        sum += double(s[size_t(i)]) * s[size_t(i)];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

/// Frames at which the clicks in s peak from frame from on, each placed between samples by the
/// parabola through the three samples around it; clicks are more than gap frames apart.
inline std::vector<double> clickPeaks(const std::vector<float>& s, long from, int gap) {
    std::vector<double> peaks;
    for (size_t i = size_t(from) + 1; i + 1 < s.size(); i++) {
        if (s[i] < 0.3f || s[i] < s[i - 1] || s[i] < s[i + 1]) continue;
        double a = s[i - 1], b = s[i], c = s[i + 1], bend = a - 2 * b + c;
        peaks.push_back(double(i) + (bend != 0 ? 0.5 * (a - c) / bend : 0.0));
        i += size_t(gap);
    }
    return peaks;
}

/// Highest less lowest of values.
inline double spread(const std::vector<double>& values) {
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    return *high - *low;
}

/// Silent stretches longer than frames, from frame from on: a dropout in a steady tone.
inline int silentStretches(const std::vector<float>& s, long from, int frames) {
    int stretches = 0, run = 0;
    for (size_t i = size_t(from); i < s.size(); i++) {
        run = std::fabs(s[i]) < 1e-6f ? run + 1 : 0;
        if (run == frames) stretches++;
    }
    return stretches;
}

/// Sign changes in frames from at on: few in a drum machine's kick, many in its noisy sounds.
inline int signChanges(const std::vector<float>& samples, long at, int frames) {
    int changes = 0;
    for (long i = at + 1; i < at + frames && i < long(samples.size()); i++)
        if ((samples[size_t(i)] < 0) != (samples[size_t(i - 1)] < 0)) changes++;
    return changes;
}

/// Largest change between neighbouring samples from frame from on.
inline float largestStep(const std::vector<float>& s, long from) {
    float largest = 0;
    for (size_t i = size_t(from) + 1; i < s.size(); i++)
        largest = std::max(largest, std::fabs(s[i] - s[i - 1]));
    return largest;
}
