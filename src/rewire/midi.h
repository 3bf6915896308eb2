// Packed short MIDI messages (status in bits 0-7, data 1 in 8-15, data 2 in 16-23) and note
// names.
#pragma once

#include "foundation/str.h"

enum {
    kMIDINoteOff = 0x80,
    kMIDINoteOn = 0x90,
    kMIDIPolyPressure = 0xA0,
    kMIDIControlChange = 0xB0,
    kMIDIProgramChange = 0xC0,
    kMIDIChannelPressure = 0xD0,
    kMIDIPitchBend = 0xE0,
};

/// The kind of message without its channel.
inline int statusByte(int m) {
    return m & 0xF0;
}
inline int chByte(int m) {
    return m & 0x0F;
}
inline int asByte1(int m) {
    return (m >> 8) & 0xFF;
}
inline int asByte2(int m) {
    return (m >> 16) & 0xFF;
}
inline int asData(int status, int d1, int d2) {
    return status + (d1 << 8) + (d2 << 16);
}
inline bool noteOn(int m) {
    return statusByte(m) == kMIDINoteOn && asByte2(m) > 0;
}
inline bool noteOff(int m) {
    return statusByte(m) == kMIDINoteOff || (statusByte(m) == kMIDINoteOn && asByte2(m) == 0);
}

/// "C", "C#" ... "B" for note mod 12, with the octave (note 60 is C3) when asked; empty for a
/// negative note.
CStr noteToStr(int note, bool withOctave);
/// The note 0..127 whose name with octave matches text (case-insensitive); -1 when none does.
int strToNote(const CStr& text);
