// Running rwhost as a user would, and reading what it wrote: WAV files, chunks, MIDI songs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soundmeasure.h"

using Bytes = std::vector<unsigned char>;

struct Outcome {
    int exitCode;
    std::string output; ///< stdout and stderr together
};

/// Runs the rwhost program with the arguments, through the shell.
Outcome rwhost(const std::string& args);

struct Wav {
    int rate = 0;
    int channels = 0;
    std::vector<std::vector<float>> channel;
};

bool readWav(const std::string& path, Wav& wav);
Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);

/// Format 1 file, 480 ticks per quarter: a conductor track (optional tempo) and one note track
/// holding A4 on MIDI channel 1 from quarter `start` for `length` quarters.
Bytes songFile(double start, double length, uint32_t microsPerQuarter = 0);
