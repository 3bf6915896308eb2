#include "soundmeasure.h"

#include <cmath>
#include <cstddef>

long firstNonZero(const std::vector<float>& s) {
    for (long i = 0; i < static_cast<long>(s.size()); ++i)
        if (s[i] != 0.0f) return i;
    return -1;
}

double frequency(const std::vector<float>& s, long from, long to, int rate) {
    long first = -1, last = -1;
    int crossings = 0;
    for (long i = from + 1; i < to; ++i)
        if (s[i - 1] < 0.0f && s[i] >= 0.0f) {
            if (first < 0)
                first = i;
            else
                ++crossings;
            last = i;
        }
    return crossings > 0 ? crossings * static_cast<double>(rate) / (last - first) : 0.0;
}

std::vector<long> onsets(const std::vector<float>& samples, int gap, float silence) {
    std::vector<long> found;
    long quiet = gap;
    for (size_t i = 0; i < samples.size(); i++) {
        if (std::fabs(samples[i]) > silence) {
            if (quiet >= gap) found.push_back(long(i));
            quiet = 0;
        } else {
            quiet++;
        }
    }
    return found;
}
