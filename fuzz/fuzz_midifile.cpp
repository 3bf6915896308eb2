// rwhost's MIDI file reader: any bytes give a song or an error, and a song's events are in
// time order with real status bytes.
#include <cstdint>
#include <cstdlib>

#include "midifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiSong song;
    if (readMidiFile(data, size, song) != MidiFileError::none) return 0;
    for (size_t i = 0; i < song.events.size(); i++) {
        if (song.events[i].data[0] < 0x80) abort();
        if (i > 0 && song.events[i].tick < song.events[i - 1].tick) abort();
    }
    return 0;
}
