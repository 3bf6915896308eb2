#include "rewire/midi.h"

namespace {
const char* const kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                    "F#", "G",  "G#", "A",  "A#", "B"};
const int kLowestOctave = -2;
} // namespace

CStr noteToStr(int note, bool withOctave) {
    if (note < 0) return CStr();
    CStr name(kNoteNames[note % 12]);
    if (withOctave) name.append(asStr(note / 12 + kLowestOctave));
    return name;
}

int strToNote(const CStr& text) {
    CStr wanted = text.upperCase();
    for (int note = 0; note < 128; note++)
        if (noteToStr(note, true) == wanted) return note;
    return -1;
}
