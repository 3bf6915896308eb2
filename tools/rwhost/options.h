// Command-line values of rwhost: strict parsing of numbers and of the render command's options.
#pragma once

#include <string>

/// Whole text as a finite number within [low, high]; false otherwise.
bool parseNumber(const char* text, double low, double high, double& out);
bool parseInt(const char* text, int low, int high, int& out);
/// "A:B" in quarter notes with 0 <= A and B at least a 64th of a quarter after A.
bool parseLoop(const char* text, double& start, double& end);

struct RenderOptions {
    std::string plugin;
    std::string midi;
    std::string out;
    double seconds = 0.0; ///< 0: the song's length plus a second of tail
    double rate = 44100.0;
    int block = 512;
    double tempo = 0.0; ///< 0: the MIDI file's tempo map
    bool loop = false;
    double loopStart = 0.0;
    double loopEnd = 0.0;
    bool stopped = false;
    std::string chunkIn;
    std::string chunkOut;
    int device = -1; ///< -1: leave the plug-in's choice alone
    bool help = false;
};

/// argv holds the arguments after the command name; false with a message in error.
bool parseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error);

extern const char* const renderUsage;
