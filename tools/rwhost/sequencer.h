// The host's transport during a render: a song position in quarter notes that advances with
// the tempo map, an optional loop, and the MIDI events of the song that fall into each block.
#pragma once

#include <cstddef>
#include <vector>

#include "midifile.h"
#include "vst/aeffect.h"

struct TransportSettings {
    double sampleRate = 44100.0;
    double fixedTempo = 0.0;  ///< beats per minute; 0 follows the song's tempo map
    int fixedBeatsPerBar = 0; ///< with fixedBeatUnit the time signature; 0 follows the song's
    int fixedBeatUnit = 0;
    bool playing = true;
    bool loop = false;
    double loopStart = 0.0; ///< quarter notes
    double loopEnd = 0.0;
};

/// One MIDI message for the current block, at its frame offset.
struct BlockEvent {
    int offset;
    unsigned char data[3];
};

class CSequencer {
public:
    CSequencer(const MidiSong& song, const TransportSettings& settings);

    /// The transport at the start of the next block, as the host reports it.
    const VstTimeInfo& timeInfo() const { return time; }
    /// Collects the MIDI messages of the next block of frames into out (at most capacity;
    /// the rest follow at the start of the next block) and moves the transport on.
    size_t advance(int frames, BlockEvent* out, size_t capacity);

    /// Seconds that the song takes to play once from its start.
    double songSeconds() const;
    /// Quarter-note position where the MIDI events are read.
    double songPosition() const { return position; }
    double tempoAt(double quarter) const;
    /// The time signature in force at a quarter-note position (4/4 where the song sets none).
    MidiMetre metreAt(double quarter) const;

private:
    struct Step {
        double quarter;
        double bpm;
    };
    struct Note {
        unsigned char channel;
        unsigned char key;
    };

    double eventQuarter(size_t i) const { return events[i].tick / ticksPerQuarter; }
    double nextTempoChange(double quarter) const;
    void buildMetreMap(const MidiSong& song);
    void emit(int offset, const unsigned char* data, BlockEvent* out, size_t capacity,
              size_t& count);
    void releaseHeldNotes(int offset, BlockEvent* out, size_t capacity, size_t& count);
    void jumpTo(double quarter);
    void updateTimeInfo(bool changed);

    std::vector<MidiFileEvent> events;
    double ticksPerQuarter;
    double songEndQuarter;
    std::vector<Step> tempoMap;
    std::vector<MidiMetre> metreMap; ///< by tick, the first at 0
    TransportSettings settings;
    double position = 0.0; ///< where the song is read; the transport while playing
    double clock = 0.0;    ///< frames rendered so far
    double anchorQuarter = 0.0;
    double anchorFrame = 0.0; ///< the frame at which the song was at anchorQuarter
    size_t cursor = 0;        ///< first event not yet sent
    std::vector<Note> held;
    VstTimeInfo time{};
};
