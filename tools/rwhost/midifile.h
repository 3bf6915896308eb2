// Reader for Standard MIDI Files, format 0 and 1. Every read is checked against the end of the
// data, so any input either parses or gives one error code naming the kind of damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One channel message of the file, on the song's time line.
struct MidiFileEvent {
    uint64_t tick;
    unsigned char data[3]; ///< status, data 1, data 2 (0 when the message has one data byte)
    unsigned char size;    ///< bytes of the message: 2 or 3
};

/// A tempo change: from tick on, a quarter note lasts microsPerQuarter.
struct MidiTempo {
    uint64_t tick;
    uint32_t microsPerQuarter;
};

/// A time signature: from tick on, bars of numerator beats of a 1/denominator note.
struct MidiMetre {
    uint64_t tick;
    int numerator;
    int denominator;
};

struct MidiSong {
    int format = 0;
    int tracks = 0;
    /// Ticks per quarter note. Files that count time in SMPTE frames get the value that plays
    /// them at their real speed at 120 beats per minute, and timeCode is set.
    double ticksPerQuarter = 480.0;
    bool timeCode = false;
    std::vector<MidiFileEvent> events; ///< by tick; at equal ticks in track and file order
    std::vector<MidiTempo> tempos;     ///< by tick; empty when the file sets no tempo
    std::vector<MidiMetre> metres;     ///< by tick; empty when the file sets no time signature
    uint64_t endTick = 0;              ///< end of the longest track
};

enum class MidiFileError {
    none,
    notMidiFile,       ///< no "MThd" header at the start
    badHeader,         ///< header chunk shorter than its six bytes
    unsupportedFormat, ///< format 2 (independent patterns) or unknown
    badDivision,       ///< zero ticks per quarter note or an unknown frame rate
    truncatedChunk,    ///< a chunk's length reaches past the end of the file
    badDeltaTime,      ///< a variable-length number longer than four bytes or cut off
    missingStatus,     ///< a data byte where no running status applies
    badStatus,         ///< a system real-time or common status inside a track
    badDataByte,       ///< a data byte with its top bit set
    truncatedEvent,    ///< an event cut off by the end of its track
    noTracks,          ///< no track chunk at all
    unreadableFile,    ///< the file cannot be opened or read
    fileTooLarge,      ///< larger than maxMidiFileSize
};

constexpr size_t maxMidiFileSize = 16u << 20;
/// Time signatures beyond 64 beats or a 64th-note beat are taken for damage.
constexpr int maxMetreBeats = 64;
constexpr int maxMetreUnitPower = 6;

const char* asText(MidiFileError error);

MidiFileError readMidiFile(const unsigned char* data, size_t size, MidiSong& song);
MidiFileError loadMidiFile(const std::string& path, MidiSong& song);
