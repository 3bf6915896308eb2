// The command line of rwhost: one table of options with their values and limits, read with
// getopt_long for every command, and each command's help text built from the same table.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

/// Whole text as a finite number within [low, high]; false otherwise.
bool parseNumber(const char* text, double low, double high, double& out);
bool parseInt(const char* text, int low, int high, int& out);
/// "A:B" in quarter notes with 0 <= A and B at least a 64th of a quarter after A.
bool parseLoop(const char* text, double& start, double& end);
/// "N/D": N beats of 1 to 64 in a bar, D a power of two from 1 to 64.
bool parseMetre(const char* text, int& beatsPerBar, int& beatUnit);

/// The longest render or editor run, in seconds; a damaged file may claim a song of years.
constexpr double maxSeconds = 3600.0;

/// What the command line asked for; each command reads the fields of its options.
struct HostOptions {
    std::string plugin;
    std::string midi;
    std::string out;
    std::string report;
    std::string chunkIn;
    std::string chunkOut;
    double seconds = 0.0; ///< 0: the command's default length
    double rate = 44100.0;
    int block = 512;
    double tempo = 0.0;  ///< 0: the MIDI file's tempo map
    int beatsPerBar = 0; ///< with beatUnit the time signature; 0: the MIDI file's
    int beatUnit = 0;
    bool compensate = true; ///< drop the plug-in's latency from the start of a render
    bool loop = false;
    double loopStart = 0.0;
    double loopEnd = 0.0;
    bool stopped = false;
    bool realtime = false;
    int device = -1; ///< -1: leave the plug-in's choice alone
};

enum class Option {
    midi,
    out,
    seconds,
    rate,
    block,
    tempo,
    metre,
    loop,
    stopped,
    realtime,
    chunkIn,
    chunkOut,
    device,
    report,
    noCompensate
};

/// One option as a command offers it, with that command's wording of what it does.
struct CommandOption {
    Option option;
    const char* help; ///< continuation lines start with '\n'
    bool required;
};

struct CommandSpec {
    const char* name;
    const char* synopsis; ///< the arguments after the command's name
    const char* description;
    std::vector<CommandOption> options;
};

extern const CommandSpec infoCommand;
extern const CommandSpec renderCommand;
extern const CommandSpec guiCommand;
extern const CommandSpec screenshotCommand;

enum class Parsed { run, help, usageError };

/// Reads a command's arguments; argv[0] is the command's name. A usage error leaves a one-line
/// message in error.
Parsed parseCommandLine(const CommandSpec& command, int argc, char** argv, HostOptions& options,
                        std::string& error);

void printHelp(const CommandSpec& command, FILE* to);
