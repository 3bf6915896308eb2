#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sequencer.h"

namespace {

constexpr double rate = 48000.0;
constexpr int block = 512;

MidiFileEvent note(uint64_t tick, unsigned char status, unsigned char key, unsigned char vel) {
    return MidiFileEvent{tick, {status, key, vel}, 3};
}

struct Played {
    long frame; ///< absolute frame of the render
    unsigned char status;
    unsigned char key;
};

/// Runs the transport for a number of blocks and collects every event at its absolute frame.
std::vector<Played> play(CSequencer& seq, int blocks, size_t capacity = 64,
                         std::vector<VstTimeInfo>* times = nullptr) {
    std::vector<Played> played;
    std::vector<BlockEvent> buffer(capacity);
    for (int b = 0; b < blocks; ++b) {
        if (times) times->push_back(seq.timeInfo());
        const size_t n = seq.advance(block, buffer.data(), capacity);
        for (size_t i = 0; i < n; ++i) {
            EXPECT_GE(buffer[i].offset, 0);
            EXPECT_LT(buffer[i].offset, block);
            played.push_back(
                {long(b) * block + buffer[i].offset, buffer[i].data[0], buffer[i].data[1]});
        }
    }
    return played;
}

MidiSong songOf(std::vector<MidiFileEvent> events, std::vector<MidiTempo> tempos = {}) {
    MidiSong song;
    song.ticksPerQuarter = 480;
    song.events = std::move(events);
    song.tempos = std::move(tempos);
    song.endTick = song.events.empty() ? 0 : song.events.back().tick;
    return song;
}

} // namespace

TEST(Sequencer, FollowsTheTempoMap) {
    // 120 BPM for the first quarter (24000 frames), then 60 BPM: quarter 2 is 72000 frames in
    const MidiSong song = songOf({note(960, 0x90, 64, 1)}, {{480, 1000000}});
    TransportSettings s;
    s.sampleRate = rate;
    CSequencer mapped(song, s);
    const auto played = play(mapped, 200);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_NEAR(played[0].frame, 72000, 1);
    EXPECT_DOUBLE_EQ(mapped.songSeconds(), 1.5);
    EXPECT_EQ(mapped.tempoAt(0.5), 120.0);
    EXPECT_EQ(mapped.tempoAt(1.0), 60.0);
}

// The host reports the time signature in force at each block's position: the song's (4/4
// where it sets none) or the one given in its place.
TEST(Sequencer, ReportsTheTimeSignatureAtThePosition) {
    MidiSong song = songOf({note(1920, 0x90, 64, 1)});
    song.metres = {{0, 3, 4}, {960, 6, 8}}; // 6/8 from quarter 2, a second in at 120 BPM
    auto metres = [&](const TransportSettings& s) {
        CSequencer seq(song, s);
        std::vector<VstTimeInfo> times;
        play(seq, 100, 64, &times);
        std::string seen;
        for (const VstTimeInfo& t : times) {
            EXPECT_TRUE(t.flags & kVstTimeSigValid);
            std::string metre =
                std::to_string(t.timeSigNumerator) + "/" + std::to_string(t.timeSigDenominator);
            if (seen.empty() || seen.substr(seen.rfind(' ') + 1) != metre) seen += " " + metre;
        }
        return seen;
    };
    TransportSettings s;
    s.sampleRate = rate;
    EXPECT_EQ(metres(s), " 3/4 6/8");
    s.fixedBeatsPerBar = 5;
    s.fixedBeatUnit = 4;
    EXPECT_EQ(metres(s), " 5/4");
    song.metres.clear();
    s.fixedBeatsPerBar = s.fixedBeatUnit = 0;
    EXPECT_EQ(metres(s), " 4/4");
}

TEST(Sequencer, LoopRepeatsItsEventsAndReleasesHeldNotes) {
    // loop over quarters 1..2; a note starts at 1.5 and would end at 3
    const MidiSong song =
        songOf({note(240, 0x90, 50, 1), note(720, 0x90, 60, 1), note(1440, 0x80, 60, 0)});
    TransportSettings s;
    s.sampleRate = rate;
    s.loop = true;
    s.loopStart = 1.0;
    s.loopEnd = 2.0;
    CSequencer seq(song, s);
    const auto played = play(seq, 200); // 102400 frames: quarters 0..2, then 3 passes
    std::vector<long> noteOns, noteOffs;
    for (const Played& p : played) {
        if (p.key != 60) continue;
        (p.status == 0x90 ? noteOns : noteOffs).push_back(p.frame);
    }
    ASSERT_GE(noteOns.size(), 3u);
    EXPECT_EQ(noteOns[0], 36000);
    EXPECT_NEAR(noteOns[1], 36000 + 24000, 1);
    EXPECT_NEAR(noteOns[2], 36000 + 48000, 1);
    ASSERT_GE(noteOffs.size(), 2u);
    EXPECT_NEAR(noteOffs[0], 47999, 1); // at the loop's end, before the jump back
    EXPECT_LT(noteOffs[0], noteOns[1]);
    EXPECT_EQ(played[0].key, 50); // the note before the loop plays once only
    EXPECT_EQ(std::count_if(played.begin(), played.end(),
                            [](const Played& p) { return p.key == 50 && p.status == 0x90; }),
              1);
}

TEST(Sequencer, StoppedTransportStaysPutWhileTheSongIsPlayedLive) {
    const MidiSong song = songOf({note(480, 0x90, 60, 1)});
    TransportSettings s;
    s.sampleRate = rate;
    s.playing = false;
    s.loop = true;
    s.loopEnd = 0.5;
    CSequencer seq(song, s);
    std::vector<VstTimeInfo> times;
    const auto played = play(seq, 60, 64, &times);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].frame, 24000);
    for (const VstTimeInfo& t : times) {
        EXPECT_FALSE(t.flags & kVstTransportPlaying);
        EXPECT_EQ(t.ppqPos, 0.0);
    }
}

TEST(Sequencer, EventsBeyondTheBlocksRoomWaitForTheNextBlock) {
    std::vector<MidiFileEvent> chord;
    for (unsigned char k = 0; k < 10; ++k)
        chord.push_back(note(4, 0x90, k, 1));
    TransportSettings s;
    s.sampleRate = rate;
    CSequencer seq(songOf(chord), s);
    const auto played = play(seq, 3, 4);
    ASSERT_EQ(played.size(), 10u);
    for (size_t i = 0; i < played.size(); ++i)
        EXPECT_EQ(played[i].key, i);
    EXPECT_EQ(played[3].frame, 200);
    EXPECT_EQ(played[4].frame, block); // the rest start the next blocks
    EXPECT_EQ(played[8].frame, 2 * block);
}
