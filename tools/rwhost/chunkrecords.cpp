#include "chunkrecords.h"

namespace {

constexpr uint32_t maxTagLength = 64;
const char* const deviceTag = "app";

uint32_t readLE(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void writeLE(std::vector<unsigned char>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

bool printable(const std::vector<unsigned char>& b, size_t at, size_t n) {
    for (size_t i = at; i < at + n; ++i)
        if (b[i] < 0x20 || b[i] > 0x7E) return false;
    return true;
}

/// The "app" record with its four payload bytes, or null.
const ChunkRecord* deviceRecord(const std::vector<ChunkRecord>& records) {
    for (const ChunkRecord& r : records)
        if (r.tag == deviceTag && r.size == 4) return &r;
    return nullptr;
}

} // namespace

bool parseChunkRecords(const std::vector<unsigned char>& chunk, std::vector<ChunkRecord>& records) {
    records.clear();
    size_t at = 0;
    while (at < chunk.size()) {
        if (chunk.size() - at < 4) return false;
        const uint32_t tagLength = readLE(chunk, at);
        at += 4;
        if (tagLength == 0 || tagLength > maxTagLength || chunk.size() - at < tagLength + 4ull)
            return false;
        if (!printable(chunk, at, tagLength)) return false;
        ChunkRecord r;
        r.tag.assign(chunk.begin() + static_cast<long>(at),
                     chunk.begin() + static_cast<long>(at + tagLength));
        at += tagLength;
        const uint32_t size = readLE(chunk, at);
        at += 4;
        if (size > chunk.size() - at) return false;
        r.payload = at;
        r.size = static_cast<int32_t>(size);
        records.push_back(r);
        at += size;
    }
    return !records.empty();
}

bool chunkDevice(const std::vector<unsigned char>& chunk, int32_t& device) {
    std::vector<ChunkRecord> records;
    if (!parseChunkRecords(chunk, records)) return false;
    const ChunkRecord* r = deviceRecord(records);
    if (!r) return false;
    device = static_cast<int32_t>(readLE(chunk, r->payload));
    return true;
}

bool setChunkDevice(std::vector<unsigned char>& chunk, int32_t device) {
    std::vector<ChunkRecord> records;
    if (!parseChunkRecords(chunk, records)) return false;
    const ChunkRecord* r = deviceRecord(records);
    if (!r) return false;
    writeLE(chunk, r->payload, static_cast<uint32_t>(device));
    return true;
}
