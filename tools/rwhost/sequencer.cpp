#include "sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double defaultBpm = 120.0;
/// Shorter loops would make the transport jump many times within one block.
constexpr double minLoopQuarters = 1.0 / 64.0;
/// Rounding slack when a position in quarter notes becomes a frame offset.
constexpr double frameTolerance = 1e-6;

} // namespace

CSequencer::CSequencer(const MidiSong& song, const TransportSettings& s)
    : events(song.events), ticksPerQuarter(song.ticksPerQuarter > 0 ? song.ticksPerQuarter : 480),
      songEndQuarter(song.endTick / (song.ticksPerQuarter > 0 ? song.ticksPerQuarter : 480)),
      settings(s) {
    if (settings.fixedTempo > 0) {
        tempoMap.push_back({0.0, settings.fixedTempo});
    } else {
        tempoMap.push_back({0.0, defaultBpm});
        for (const MidiTempo& t : song.tempos) {
            const Step step{t.tick / ticksPerQuarter, 60e6 / t.microsPerQuarter};
            if (step.quarter <= tempoMap.back().quarter)
                tempoMap.back().bpm = step.bpm;
            else
                tempoMap.push_back(step);
        }
    }
    buildMetreMap(song);
    // a loop that cannot be played is no loop
    if (settings.loop &&
        !(settings.loopEnd - settings.loopStart >= minLoopQuarters && settings.loopStart >= 0))
        settings.loop = false;
    updateTimeInfo(true);
}

double CSequencer::tempoAt(double quarter) const {
    // the map is ordered by position and its first step is at 0
    auto after = std::upper_bound(tempoMap.begin(), tempoMap.end(), quarter,
                                  [](double q, const Step& s) { return q < s.quarter; });
    return after == tempoMap.begin() ? tempoMap.front().bpm : (after - 1)->bpm;
}

// The song's time signatures by tick; one at the tick of the one before replaces it.
void CSequencer::buildMetreMap(const MidiSong& song) {
    if (settings.fixedBeatsPerBar > 0 && settings.fixedBeatUnit > 0) {
        metreMap.push_back({0, settings.fixedBeatsPerBar, settings.fixedBeatUnit});
        return;
    }
    metreMap.push_back({0, 4, 4});
    for (const MidiMetre& m : song.metres) {
        if (m.tick == metreMap.back().tick)
            metreMap.back() = m;
        else
            metreMap.push_back(m);
    }
}

MidiMetre CSequencer::metreAt(double quarter) const {
    const double tick = quarter * ticksPerQuarter;
    auto after = std::upper_bound(metreMap.begin(), metreMap.end(), tick,
                                  [](double t, const MidiMetre& m) { return t < double(m.tick); });
    return after == metreMap.begin() ? metreMap.front() : *(after - 1);
}

double CSequencer::nextTempoChange(double quarter) const {
    auto after = std::upper_bound(tempoMap.begin(), tempoMap.end(), quarter,
                                  [](double q, const Step& s) { return q < s.quarter; });
    return after == tempoMap.end() ? std::numeric_limits<double>::infinity() : after->quarter;
}

double CSequencer::songSeconds() const {
    double seconds = 0.0;
    double at = 0.0;
    while (at < songEndQuarter) {
        const double next = std::min(nextTempoChange(at), songEndQuarter);
        seconds += (next - at) * 60.0 / tempoAt(at);
        at = next;
    }
    return seconds;
}

void CSequencer::updateTimeInfo(bool changed) {
    // while stopped, the transport stays where playing would have started
    time.ppqPos = settings.playing ? position : 0.0;
    time.tempo = tempoAt(time.ppqPos);
    const MidiMetre metre = metreAt(time.ppqPos);
    time.timeSigNumerator = metre.numerator;
    time.timeSigDenominator = metre.denominator;
    time.flags = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
    if (settings.playing) time.flags |= kVstTransportPlaying;
    if (settings.loop) {
        time.cycleStartPos = settings.loopStart;
        time.cycleEndPos = settings.loopEnd;
        time.flags |= kVstTransportCycleActive | kVstCyclePosValid;
    }
    if (changed) time.flags |= kVstTransportChanged;
}

void CSequencer::emit(int offset, const unsigned char* data, BlockEvent* out, size_t capacity,
                      size_t& count) {
    if (count >= capacity) return;
    BlockEvent& e = out[count++];
    e.offset = offset;
    std::memcpy(e.data, data, 3);
    const unsigned char kind = data[0] & 0xF0;
    const Note note{static_cast<unsigned char>(data[0] & 0x0F), data[1]};
    auto same = [&](const Note& n) { return n.channel == note.channel && n.key == note.key; };
    if (kind == 0x90 && data[2] > 0)
        held.push_back(note);
    else if (kind == 0x80 || kind == 0x90)
        held.erase(std::remove_if(held.begin(), held.end(), same), held.end());
}

void CSequencer::releaseHeldNotes(int offset, BlockEvent* out, size_t capacity, size_t& count) {
    while (!held.empty() && count < capacity) {
        const unsigned char off[3] = {static_cast<unsigned char>(0x80 | held.back().channel),
                                      held.back().key, 0};
        emit(offset, off, out, capacity, count);
    }
}

void CSequencer::jumpTo(double quarter) {
    position = anchorQuarter = quarter;
    cursor = 0;
    while (cursor < events.size() && eventQuarter(cursor) < quarter)
        ++cursor;
}

size_t CSequencer::advance(int frames, BlockEvent* out, size_t capacity) {
    size_t count = 0;
    bool jumped = false;
    const double blockStart = clock;
    const double blockEnd = clock + frames;
    while (clock < blockEnd) {
        // positions are measured from the anchor, where the current tempo took over, so that
        // whole frames land on exact quarter positions instead of accumulating rounding
        const double bpm = tempoAt(anchorQuarter);
        const double framesPerMinute = 60.0 * settings.sampleRate;
        double segmentEnd = nextTempoChange(anchorQuarter);
        const bool looping = settings.playing && settings.loop && position < settings.loopEnd;
        if (looping) segmentEnd = std::min(segmentEnd, settings.loopEnd);
        const double boundary = anchorFrame + (segmentEnd - anchorQuarter) * framesPerMinute / bpm;
        const double segmentEndFrame = std::min(blockEnd, boundary);
        // events held back by a full buffer come first, at the start of this segment; when
        // the buffer is full the transport still moves and the rest wait for the next block
        while (cursor < events.size() && count < capacity) {
            double at =
                anchorFrame + (eventQuarter(cursor) - anchorQuarter) * framesPerMinute / bpm;
            at = std::max(at, clock);
            if (at >= segmentEndFrame - frameTolerance) break;
            const int offset =
                std::min(frames - 1, static_cast<int>(at - blockStart + frameTolerance));
            emit(offset, events[cursor].data, out, capacity, count);
            ++cursor;
        }
        clock = segmentEndFrame;
        position = anchorQuarter + (clock - anchorFrame) * bpm / framesPerMinute;
        if (clock < boundary - frameTolerance) continue; // the block ended first
        if (looping && segmentEnd >= settings.loopEnd) {
            const int offset = std::min(frames - 1, static_cast<int>(clock - blockStart));
            releaseHeldNotes(offset, out, capacity, count);
            jumpTo(settings.loopStart);
            jumped = true;
        } else {
            anchorQuarter = position = segmentEnd;
        }
        anchorFrame = clock;
    }
    updateTimeInfo(jumped);
    return count;
}
