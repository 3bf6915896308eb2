// Splits one processing block at the frame offsets of its MIDI events: audio up to an event's
// offset is rendered before the event is handed on, so each slice starts with the events that
// fall on its first frame.
#pragma once

#include <algorithm>

#include "vst/aeffect.h"

/// Packs a MIDI event's bytes as status + data 1 * 256 + data 2 * 65536.
inline int packMidiMessage(const VstMidiEvent& e) {
    return e.midiData[0] + e.midiData[1] * 256 + e.midiData[2] * 65536;
}

/// Calls render(frames) for each slice and midi(message) for each MIDI event, in block order.
/// An event before the current position sounds at it; one past the block at the block's end.
/// The last slice is always rendered, even when it is empty.
template <typename Render, typename Midi>
void sliceAtEvents(const VstEvents* list, int frames, Render render, Midi midi) {
    int position = 0;
    int count = list ? list->numEvents : 0;
    // The host allocates the list longer than its declared two slots: indexing the array
    // itself past them is undefined, so the slots are read through a plain pointer.
    const VstEvent* const* slots = list ? list->events : nullptr;
    for (int i = 0; i < count; i++) {
        const VstEvent* e = slots[i];
        if (!e || e->type != kVstMidiType) continue;
        int offset = std::clamp(static_cast<int>(e->deltaFrames), position, frames);
        if (offset > position) {
            render(offset - position);
            position = offset;
        }
        midi(packMidiMessage(*reinterpret_cast<const VstMidiEvent*>(e)));
    }
    render(frames - position);
}
