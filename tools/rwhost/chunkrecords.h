// Chunks made of tagged records: a 4-byte tag length, the tag, a 4-byte payload size and the
// payload, all little-endian. A plug-in that hosts ReWire devices keeps its chosen device in
// such a chunk as the record "app": the device's index in the list of installed devices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChunkRecord {
    std::string tag;
    size_t payload; ///< offset of the payload in the chunk
    int32_t size;
};

/// Splits a chunk into its records; false when the bytes are not a well-formed sequence of
/// records (printable tags of 1 to 64 bytes, sizes that stay inside the chunk).
bool parseChunkRecords(const std::vector<unsigned char>& chunk, std::vector<ChunkRecord>& records);

/// The device index of the "app" record; false when the chunk has no such record.
bool chunkDevice(const std::vector<unsigned char>& chunk, int32_t& device);
/// Writes a device index into the "app" record; false when the chunk has no such record.
bool setChunkDevice(std::vector<unsigned char>& chunk, int32_t device);
