// The split of one processing block at its events' frame offsets, shared by every plug-in
// format: audio up to an event's offset is rendered before the event is handed on, so each slice
// starts with the events that fall on its first frame.
#pragma once

#include <algorithm>

class CSynth;

/// Calls render(frames) for each slice and take(event) for each event of the source, in block
/// order. The source calls its argument with every waiting event (each with an offset field) in
/// order and then forgets them. An event before the current position sounds at it; one past the
/// block at the block's end. The last slice is always rendered, even when it is empty, so events
/// at the block's end still reach the device.
template <typename Events, typename Render, typename Take>
void sliceAtEvents(Events& events, int frames, Render render, Take take) {
    int position = 0;
    events.takeAll([&](const auto& e) {
        int offset = std::clamp(static_cast<int>(e.offset), position, frames);
        if (offset > position) {
            render(offset - position);
            position = offset;
        }
        take(e);
    });
    render(frames - position);
}

/// The eight outputs of one block, written slice by slice through the engine.
class CBlockWriter {
public:
    static constexpr int kOutputs = 8;

    /// outputs: the block's eight channels, silenced by the caller; the engine adds to them.
    CBlockWriter(CSynth& engine, float** outputs);

    /// Renders the next frames with the MIDI queued so far and moves on past them. The engine's
    /// buffers hold at most its block size: longer slices go in several parts.
    void render(int frames);
    /// Queues a MIDI message for the next slice; a full queue goes to the device at once, at
    /// this frame, and makes room, so no message is lost.
    void midi(int message);

private:
    CSynth& synth;
    float* work[kOutputs];
};
