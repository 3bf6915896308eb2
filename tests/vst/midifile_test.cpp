#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "midifile.h"

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(v >> s));
}

Bytes header(int format, int tracks, int division) {
    Bytes b = {'M', 'T', 'h', 'd'};
    put32(b, 6);
    for (int v : {format, tracks, division}) {
        b.push_back(static_cast<unsigned char>(v >> 8));
        b.push_back(static_cast<unsigned char>(v));
    }
    return b;
}

void addChunk(Bytes& file, const char* tag, const Bytes& body) {
    file.insert(file.end(), tag, tag + 4);
    put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
}

Bytes file(int format, int division, std::initializer_list<Bytes> tracks) {
    Bytes f = header(format, static_cast<int>(tracks.size()), division);
    for (const Bytes& t : tracks)
        addChunk(f, "MTrk", t);
    return f;
}

/// Parses from an exactly sized heap copy, so that a sanitizer sees any read past the end.
MidiFileError parse(const Bytes& bytes, MidiSong& song) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return readMidiFile(copy.get(), bytes.size(), song);
}

const Bytes endOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

// tempo 100 BPM (600000 us), note-on, running-status note-off 128 ticks later (two-byte delta)
const Bytes songTrack = cat({{0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0},
                             {0x00, 0x90, 60, 100},
                             {0x81, 0x00, 60, 0},
                             {0x10, 0xC1, 5},
                             {0x00, 7},
                             endOfTrack});

} // namespace

TEST(MidiFile, ReadsFormatZeroWithRunningStatusAndTempo) {
    MidiSong song;
    ASSERT_EQ(parse(file(0, 96, {songTrack}), song), MidiFileError::none);
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[1].tick, 128u);
    EXPECT_EQ(song.events[1].data[0], 0x90);
    EXPECT_EQ(song.events[1].data[2], 0);
    EXPECT_EQ(song.events[2].tick, 144u);
    EXPECT_EQ(song.events[2].size, 2);
    EXPECT_EQ(song.events[3].data[0], 0xC1); // running status for a one-byte message
    EXPECT_EQ(song.events[3].data[1], 7);
    ASSERT_EQ(song.tempos.size(), 1u);
    EXPECT_EQ(song.tempos[0].microsPerQuarter, 600000u);
    EXPECT_EQ(song.endTick, 144u);
}

TEST(MidiFile, MergesTracksByTickKeepingTrackOrder) {
    const Bytes conductor = cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, endOfTrack});
    const Bytes a = cat({{0x10, 0x91, 64, 1}, {0x10, 0x81, 64, 0}, endOfTrack});
    const Bytes b = cat({{0x10, 0x92, 65, 2}, {0x05, 0x82, 65, 0}, endOfTrack});
    MidiSong song;
    ASSERT_EQ(parse(file(1, 480, {conductor, a, b}), song), MidiFileError::none);
    EXPECT_EQ(song.tracks, 3);
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[0].data[0], 0x91);
    EXPECT_EQ(song.events[1].data[0], 0x92);
    EXPECT_EQ(song.events[2].data[0], 0x82);
    EXPECT_EQ(song.events[2].tick, 21u);
    EXPECT_EQ(song.events[3].data[0], 0x81);
    EXPECT_EQ(song.endTick, 32u);
}

// Time signatures from every track, by tick; the denominator is a power of two. Signatures no
// score has (no beats, a beat shorter than a 64th, a record too short) are skipped.
TEST(MidiFile, TimeSignaturesAreReadByTickAndNonsenseIsSkipped) {
    const Bytes conductor = cat({{0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8},
                                 {0x60, 0xFF, 0x58, 0x04, 6, 3, 24, 8},
                                 {0x00, 0xFF, 0x58, 0x04, 0, 2, 24, 8},
                                 {0x00, 0xFF, 0x58, 0x04, 7, 7, 24, 8},
                                 {0x00, 0xFF, 0x58, 0x01, 5},
                                 endOfTrack});
    const Bytes other = cat({{0x30, 0xFF, 0x58, 0x02, 5, 2}, endOfTrack});
    MidiSong song;
    ASSERT_EQ(parse(file(1, 96, {conductor, other}), song), MidiFileError::none);
    ASSERT_EQ(song.metres.size(), 3u);
    const int expected[3][3] = {{0, 3, 4}, {0x30, 5, 4}, {0x60, 6, 8}};
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(song.metres[i].tick, uint64_t(expected[i][0])) << i;
        EXPECT_EQ(song.metres[i].numerator, expected[i][1]) << i;
        EXPECT_EQ(song.metres[i].denominator, expected[i][2]) << i;
    }
}

TEST(MidiFile, ReadsFourByteDeltasAndSkipsForeignChunksHeaderExtrasAndTrailingBytes) {
    Bytes f = header(0, 1, 480);
    f[7] = 8; // two extra header bytes
    f.insert(f.begin() + 14, {0xAB, 0xCD});
    addChunk(f, "XFIH", {1, 2, 3});
    // the longest delta there is: four bytes
    addChunk(f, "MTrk", cat({{0x81, 0x80, 0x80, 0x00, 0x90, 1, 2}, endOfTrack, {0xFF, 0xFF}}));
    MidiSong song;
    ASSERT_EQ(parse(f, song), MidiFileError::none);
    EXPECT_EQ(song.tracks, 1);
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].tick, 1u << 21);
}

TEST(MidiFile, FrameBasedDivisionPlaysAtRealSpeed) {
    // 25 frames per second, 40 ticks per frame: 1000 ticks a second, 500 per quarter at 120
    MidiSong song;
    const Bytes t = cat({{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}, endOfTrack});
    ASSERT_EQ(parse(file(0, 0xE728, {t}), song), MidiFileError::none);
    EXPECT_TRUE(song.timeCode);
    EXPECT_DOUBLE_EQ(song.ticksPerQuarter, 500.0);
    EXPECT_TRUE(song.tempos.empty());
}

TEST(MidiFile, EachKindOfDamageHasItsOwnError) {
    struct Case {
        const char* what;
        Bytes bytes;
        MidiFileError expected;
    };
    Bytes shortHeader = header(0, 1, 96);
    shortHeader[7] = 4;
    Bytes longChunk = header(0, 1, 96);
    addChunk(longChunk, "MTrk", endOfTrack);
    longChunk[18] = 0x40;
    const Case cases[] = {
        {"empty", {}, MidiFileError::notMidiFile},
        {"RIFF", {'R', 'I', 'F', 'F', 0, 0, 0, 0}, MidiFileError::notMidiFile},
        {"header cut", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, MidiFileError::badHeader},
        {"header length 4", shortHeader, MidiFileError::badHeader},
        {"format 2", file(2, 96, {endOfTrack}), MidiFileError::unsupportedFormat},
        {"zero division", file(0, 0, {endOfTrack}), MidiFileError::badDivision},
        {"23 fps", file(0, 0xE950, {endOfTrack}), MidiFileError::badDivision},
        {"chunk too long", longChunk, MidiFileError::truncatedChunk},
        {"five-byte delta", file(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1}}),
         MidiFileError::badDeltaTime},
        {"delta cut", file(0, 96, {{0x81}}), MidiFileError::badDeltaTime},
        {"no status", file(0, 96, {{0x00, 0x40, 0x40}}), MidiFileError::missingStatus},
        {"status after sysex",
         file(0, 96, {{0x00, 0x90, 1, 1, 0x00, 0xF0, 0x01, 0xF7, 0x00, 2, 2}}),
         MidiFileError::missingStatus},
        {"clock in track", file(0, 96, {{0x00, 0xF8}}), MidiFileError::badStatus},
        {"data byte 0x80", file(0, 96, {{0x00, 0x90, 0x80, 1}}), MidiFileError::badDataByte},
        {"note cut", file(0, 96, {{0x00, 0x90, 60}}), MidiFileError::truncatedEvent},
        {"meta cut", file(0, 96, {{0x00, 0xFF, 0x01, 0x05, 'a'}}), MidiFileError::truncatedEvent},
        {"sysex cut", file(0, 96, {{0x00, 0xF0, 0x7F, 1}}), MidiFileError::truncatedEvent},
        {"no tracks", header(0, 0, 96), MidiFileError::noTracks},
    };
    for (const Case& c : cases) {
        MidiSong song;
        EXPECT_EQ(parse(c.bytes, song), c.expected) << c.what;
        EXPECT_STRNE(asText(c.expected), "unknown error");
    }
}
