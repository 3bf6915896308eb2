#include "midifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

/// A window on the file's bytes; every read checks the remaining length first.
class CReader {
public:
    CReader(const unsigned char* d, size_t n) : data(d), size(n) {}

    size_t left() const { return size - at; }
    bool atEnd() const { return at >= size; }
    bool take(size_t n, const unsigned char*& out) {
        if (left() < n) return false;
        out = data + at;
        at += n;
        return true;
    }
    bool byte(unsigned char& v) {
        if (atEnd()) return false;
        v = data[at++];
        return true;
    }
    bool peek(unsigned char& v) const {
        if (atEnd()) return false;
        v = data[at];
        return true;
    }
    bool u16(uint32_t& v) {
        const unsigned char* p;
        if (!take(2, p)) return false;
        v = (uint32_t(p[0]) << 8) | p[1];
        return true;
    }
    bool u32(uint32_t& v) {
        const unsigned char* p;
        if (!take(4, p)) return false;
        v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        return true;
    }
    /// Variable-length number: 7 bits a byte, top bit set on all but the last; at most four.
    bool varLen(uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned char b;
            if (!byte(b)) return false;
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }

private:
    const unsigned char* data;
    size_t size;
    size_t at = 0;
};

/// Format notes: the division word holds ticks per quarter note when bit 15 is clear;
/// otherwise its high byte is the negative SMPTE frame rate (24, 25, 29 for 29.97 drop
/// frame, 30) and its low byte the ticks per frame.
MidiFileError readDivision(uint32_t division, MidiSong& song) {
    if (!(division & 0x8000)) {
        if (division == 0) return MidiFileError::badDivision;
        song.ticksPerQuarter = division;
        return MidiFileError::none;
    }
    const int fps = -static_cast<int>(static_cast<signed char>(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    double rate;
    switch (fps) {
    case 24:
    case 25:
    case 30:
        rate = fps;
        break;
    case 29:
        rate = 29.97;
        break;
    default:
        return MidiFileError::badDivision;
    }
    if (ticksPerFrame == 0) return MidiFileError::badDivision;
    // at 120 beats per minute a quarter note lasts half a second
    song.ticksPerQuarter = rate * ticksPerFrame / 2.0;
    song.timeCode = true;
    return MidiFileError::none;
}

MidiFileError readHeader(CReader& file, MidiSong& song) {
    const unsigned char* tag;
    if (!file.take(4, tag) || std::memcmp(tag, "MThd", 4) != 0) return MidiFileError::notMidiFile;
    uint32_t length = 0, format = 0, tracks = 0, division = 0;
    if (!file.u32(length) || length < 6 || file.left() < length) return MidiFileError::badHeader;
    file.u16(format);
    file.u16(tracks);
    file.u16(division);
    const unsigned char* extra;
    file.take(length - 6, extra); // later versions may add fields
    if (format > 1) return MidiFileError::unsupportedFormat;
    song.format = static_cast<int>(format);
    return readDivision(division, song);
}

/// Number of data bytes that follow a channel status.
int dataBytesOf(unsigned char status) {
    const unsigned char kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

/// Meta events: 0xFF, type, length, data. Type 0x51 (three bytes) sets the tempo; type 0x58
/// the time signature (numerator, then the denominator as a power of two; a signature no score
/// can have is skipped); type 0x2F ends the track.
MidiFileError readMeta(CReader& track, uint64_t tick, MidiSong& song, bool& endOfTrack) {
    unsigned char type;
    uint32_t length;
    const unsigned char* body;
    if (!track.byte(type)) return MidiFileError::truncatedEvent;
    if (!track.varLen(length)) return MidiFileError::badDeltaTime;
    if (!track.take(length, body)) return MidiFileError::truncatedEvent;
    if (type == 0x2F) endOfTrack = true;
    if (type == 0x51 && length == 3) {
        const uint32_t micros = (uint32_t(body[0]) << 16) | (uint32_t(body[1]) << 8) | body[2];
        if (micros > 0) song.tempos.push_back({tick, micros});
    }
    if (type == 0x58 && length >= 2 && body[0] >= 1 && body[0] <= maxMetreBeats &&
        body[1] <= maxMetreUnitPower)
        song.metres.push_back({tick, body[0], 1 << body[1]});
    return MidiFileError::none;
}

/// Format notes: a status byte of a channel message becomes the running status, which a
/// following message may omit; meta and system-exclusive events cancel it.
MidiFileError readTrack(CReader track, MidiSong& song) {
    uint64_t tick = 0;
    unsigned char running = 0;
    bool endOfTrack = false;
    while (!track.atEnd() && !endOfTrack) {
        uint32_t delta;
        if (!track.varLen(delta)) return MidiFileError::badDeltaTime;
        tick += delta;
        unsigned char status;
        if (!track.peek(status)) return MidiFileError::truncatedEvent;
        if (status & 0x80) {
            track.byte(status);
        } else if (running) {
            status = running;
        } else {
            return MidiFileError::missingStatus;
        }
        if (status == 0xFF) {
            running = 0;
            if (MidiFileError e = readMeta(track, tick, song, endOfTrack); e != MidiFileError::none)
                return e;
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            running = 0;
            uint32_t length;
            const unsigned char* body;
            if (!track.varLen(length)) return MidiFileError::badDeltaTime;
            if (!track.take(length, body)) return MidiFileError::truncatedEvent;
            continue;
        }
        if (status >= 0xF0) return MidiFileError::badStatus;
        running = status;
        MidiFileEvent event{tick, {status, 0, 0}, 1};
        for (int i = 0; i < dataBytesOf(status); ++i) {
            unsigned char b;
            if (!track.byte(b)) return MidiFileError::truncatedEvent;
            if (b & 0x80) return MidiFileError::badDataByte;
            event.data[event.size++] = b;
        }
        song.events.push_back(event);
    }
    song.endTick = std::max(song.endTick, tick);
    return MidiFileError::none;
}

} // namespace

const char* asText(MidiFileError error) {
    switch (error) {
    case MidiFileError::none:
        return "no error";
    case MidiFileError::notMidiFile:
        return "not a Standard MIDI File (no MThd header)";
    case MidiFileError::badHeader:
        return "damaged file header";
    case MidiFileError::unsupportedFormat:
        return "only MIDI file formats 0 and 1 can be played";
    case MidiFileError::badDivision:
        return "invalid time division in the header";
    case MidiFileError::truncatedChunk:
        return "a chunk reaches past the end of the file";
    case MidiFileError::badDeltaTime:
        return "invalid variable-length number";
    case MidiFileError::missingStatus:
        return "data byte without a status byte";
    case MidiFileError::badStatus:
        return "system message inside a track";
    case MidiFileError::badDataByte:
        return "invalid data byte in a channel message";
    case MidiFileError::truncatedEvent:
        return "an event is cut off at the end of its track";
    case MidiFileError::noTracks:
        return "the file has no tracks";
    case MidiFileError::unreadableFile:
        return "cannot read the file";
    case MidiFileError::fileTooLarge:
        return "the file is too large";
    }
    return "unknown error";
}

MidiFileError readMidiFile(const unsigned char* data, size_t size, MidiSong& song) {
    song = MidiSong();
    if (!data) return MidiFileError::notMidiFile;
    CReader file(data, size);
    if (MidiFileError e = readHeader(file, song); e != MidiFileError::none) return e;

    // chunks other than "MTrk" are skipped by their length
    while (file.left() >= 8) {
        const unsigned char* tag;
        const unsigned char* body;
        uint32_t length = 0;
        file.take(4, tag);
        file.u32(length);
        if (!file.take(length, body)) return MidiFileError::truncatedChunk;
        if (std::memcmp(tag, "MTrk", 4) != 0) continue;
        ++song.tracks;
        if (MidiFileError e = readTrack(CReader(body, length), song); e != MidiFileError::none)
            return e;
    }
    if (song.tracks == 0) return MidiFileError::noTracks;

    // tracks were appended one after the other; a stable sort keeps track order at equal ticks
    auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    std::stable_sort(song.events.begin(), song.events.end(), byTick);
    std::stable_sort(song.tempos.begin(), song.tempos.end(), byTick);
    std::stable_sort(song.metres.begin(), song.metres.end(), byTick);
    if (song.timeCode) song.tempos.clear(); // frame-based time does not follow tempo changes
    return MidiFileError::none;
}

MidiFileError loadMidiFile(const std::string& path, MidiSong& song) {
    song = MidiSong();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return MidiFileError::unreadableFile;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
        if (bytes.size() + n > maxMidiFileSize) {
            std::fclose(f);
            return MidiFileError::fileTooLarge;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool failed = std::ferror(f) != 0;
    const int reason = errno; // the read's, for the message; closing may overwrite it
    std::fclose(f);
    errno = reason;
    if (failed) return MidiFileError::unreadableFile;
    return readMidiFile(bytes.data(), bytes.size(), song);
}
