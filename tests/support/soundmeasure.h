// Measurements on rendered sound.
#pragma once

#include <vector>

/// Index of the first non-zero sample; -1 when none.
long firstNonZero(const std::vector<float>& s);
/// Frequency from the rising zero crossings of a stretch of signal.
double frequency(const std::vector<float>& s, long from, long to, int rate);
/// Frames where sound louder than silence starts after at least gap frames of silence.
std::vector<long> onsets(const std::vector<float>& samples, int gap, float silence = 1e-4f);
