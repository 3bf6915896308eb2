// The engine's saved state: a sequence of records (tag, payload size, payload) with the chosen
// device, the sync switch and the MIDI mapping rows.
#include <cstring>

#include "engine/synth.h"
#include "foundation/stream.h"

namespace {
const char* const kTagApp = "app";
const char* const kTagSync = "sync";
const char* const kTagMap = "map";
const char* const kTagMapChannel = "mapch";

void writeIntRecord(CMemoryStream* s, const char* tag, int value) {
    s->writeStr(tag);
    s->writeInt(4);
    s->writeInt(value);
}

int bytesLeft(CMemoryStream* s) {
    return s->getSize() - s->pos();
}

// Reads one record's tag and payload size; false when the record is cut short or its fields
// are impossible, which ends the reading.
bool readRecordHead(CMemoryStream* s, CStr& tag, int& size) {
    if (bytesLeft(s) < 4) return false;
    int tagLength = s->readInt();
    if (tagLength < 0 || tagLength > bytesLeft(s) - 4) return false;
    tag.resize(tagLength);
    s->read(tag.data(), tagLength);
    size = s->readInt();
    return true;
}

// The known records always carry a 4-byte value, whatever their size field says.
bool readValue(CMemoryStream* s, int& value) {
    if (bytesLeft(s) < 4) return false;
    value = s->readInt();
    return true;
}
} // namespace

void CSynth::saveToStream(CMemoryStream* stream) const {
    if (!stream) return;
    CGateEdit editing(mixer->gate);
    writeIntRecord(stream, kTagApp, chosenDevice.load());
    writeIntRecord(stream, kTagSync, sync.load());
    for (int row = 0; row < mapping.getCount(); row++) {
        stream->writeStr(kTagMap);
        stream->writeInt(0);
        writeIntRecord(stream, kTagMapChannel, mapping.getChannel(row));
    }
}

void CSynth::loadFromStream(CMemoryStream* stream) {
    if (!stream) return;
    // The mapping and the sync switch change under a sounding block; only a device switch
    // keeps one block out.
    CGateEdit editing(mixer->gate);
    int deviceToSelect = chosenDevice.load();
    readRecords(stream, deviceToSelect);
    publishRoutes();
    // Restarting the open device would cut its sounding notes; keeping it gives up a switch
    // that it refused.
    if (!device || deviceToSelect != deviceIndex)
        setDevice(deviceToSelect);
    else
        wantedDevice.store(kNoSwitch);
    // A device that cannot be opened now stays the choice the project saves; one that would
    // not close stays the choice while it plays.
    if (!device) chosenDevice.store(deviceToSelect < 0 ? -1 : deviceToSelect);
    updateIdle(kIdleRebuildMapping, false);
}

void CSynth::readRecords(CMemoryStream* stream, int& deviceToSelect) {
    mapping.reset();
    int row = -1;
    CStr recordTag;
    int size = 0;
    while (stream->pos() < stream->getSize() && readRecordHead(stream, recordTag, size)) {
        int value = 0;
        if (recordTag == kTagApp) {
            if (!readValue(stream, value)) return;
            deviceToSelect = value;
        } else if (recordTag == kTagSync) {
            if (!readValue(stream, value)) return;
            sync.store(value);
        } else if (recordTag == kTagMap) {
            // Rows past the mapping's limit are not added; their values are dropped below.
            if (row < CMIDIMapping::kMaxRows) row++;
            mapping.addMap(-1);
        } else if (recordTag == kTagMapChannel) {
            if (!readValue(stream, value)) return;
            if (row >= 0 && row < mapping.getCount()) mapping.setChannel(row, value);
        } else {
            if (size < 0 || size > bytesLeft(stream)) return;
            stream->seek(size, 1);
        }
    }
}
