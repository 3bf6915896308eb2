// The host's musical time as LV2 hosts hand it over: a time:Position object only when something
// changes (transport start and stop, a jump, a tempo or metre change), so the position moves on
// by itself with the frames rendered between two of them.
#pragma once

class CHostTransport {
public:
    /// What one position object says; each field only when its has-flag is set.
    struct CPosition {
        bool hasTempo = false, hasMetre = false, hasBeat = false, hasBar = false, hasSpeed = false;
        double beatsPerMinute = 120.0;
        double beatsPerBar = 4.0;
        int beatUnit = 4;
        /// Beats since the song's start.
        double beat = 0.0;
        /// Bars since the song's start and the beat within the bar.
        double bar = 0.0, barBeat = 0.0;
        double speed = 0.0;
    };

    /// Takes what the object says. The song position comes from the beat count when given (it
    /// stays right across metre changes), else from the bar and the beat within it.
    void apply(const CPosition& p);
    /// Moves the position on by frames at the sample rate, at the current tempo and speed.
    void advance(int frames, double sampleRate);

    /// The position in quarter notes, as the engine counts it.
    double quarterNotes() const { return beat * 4.0 / beatUnit; }
    /// Quarter notes per minute.
    double quarterTempo() const { return beatsPerMinute * 4.0 / beatUnit; }
    double getBeatsPerBar() const { return beatsPerBar; }
    int getBeatUnit() const { return beatUnit; }
    bool playing() const { return speed != 0.0; }

private:
    double beatsPerMinute = 120.0;
    double beatsPerBar = 4.0;
    int beatUnit = 4;
    double beat = 0.0;
    double speed = 0.0;
};
