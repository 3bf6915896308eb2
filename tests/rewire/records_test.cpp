#include <cstring>
#include <gtest/gtest.h>

#include "rewire/rewire.h"

namespace {
template <typename Record> void fillDirty(Record* record) {
    memset(record, 0xA5, sizeof(*record));
}

bool allZeroFrom(const void* data, size_t from, size_t to) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = from; i < to; i++)
        if (bytes[i] != 0) return false;
    return true;
}
} // namespace

TEST(ReWireBitFields, ClearZeroesWholeWordsForTheBitCount) {
    uint32_t field[9];
    for (uint32_t& word : field)
        word = 0xFFFFFFFFu;
    ReWireClearBitField(field, 1);
    EXPECT_EQ(field[0], 0u);
    EXPECT_EQ(field[1], 0xFFFFFFFFu);
    ReWireClearBitField(field, 256);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(field[i], 0u) << i;
    EXPECT_EQ(field[8], 0xFFFFFFFFu);
}

TEST(ReWireBitFields, BitsLiveInWordsLeastSignificantFirst) {
    uint32_t field[8] = {};
    ReWireSetBitInBitField(field, 33);
    EXPECT_EQ(field[0], 0u);
    EXPECT_EQ(field[1], 2u);
    EXPECT_TRUE(ReWireIsBitInBitFieldSet(field, 33));
    EXPECT_FALSE(ReWireIsBitInBitFieldSet(field, 32));
    ReWireSetBitInBitField(field, 255);
    EXPECT_EQ(field[7], 0x80000000u);
    ReWireClearBitInBitField(field, 33);
    EXPECT_EQ(field[1], 0u);
    ReWireSetBitRangeInBitField(field, 30, 4);
    EXPECT_EQ(field[0], 0xC0000000u);
    EXPECT_EQ(field[1], 0x3u);
}

// Sizes and offsets are checked where the records are defined; here: what preparing leaves.
TEST(ReWireRecords, PrepareZeroFillsAndSetsTheRecordSize) {
    ReWireOpenInfo open;
    fillDirty(&open);
    ReWirePrepareOpenInfo(&open, 48000, 256);
    EXPECT_EQ(open.fRecordSize, sizeof(ReWireOpenInfo));
    EXPECT_EQ(open.fAudioInfo.fRecordSize, sizeof(ReWireAudioInfo));
    EXPECT_EQ(open.fAudioInfo.fSampleRate, 48000);
    EXPECT_EQ(open.fAudioInfo.fBlockFramesMax, 256);

    ReWireDeviceInfo device;
    fillDirty(&device);
    ReWirePrepareDeviceInfo(&device);
    EXPECT_EQ(device.fRecordSize, sizeof(device));
    EXPECT_TRUE(allZeroFrom(&device, 4, sizeof(device)));

    ReWireEventBusInfo bus;
    fillDirty(&bus);
    ReWirePrepareEventBusInfo(&bus);
    EXPECT_EQ(bus.fRecordSize, sizeof(bus));
    EXPECT_TRUE(allZeroFrom(&bus, 4, sizeof(bus)));
}

TEST(ReWireRecords, DriveParamsCarryTheirEventBuffers) {
    ReWireEvent events[4];
    fillDirty(&events);
    ReWireDriveAudioInputParams input;
    fillDirty(&input);
    ReWirePrepareDriveAudioInputParams(&input, 4, events);
    EXPECT_EQ(input.fRecordSize, sizeof(input));
    EXPECT_EQ(input.fInputEvents.fEventSize, sizeof(ReWireEvent));
    EXPECT_EQ(input.fInputEvents.fCount, 0u);
    EXPECT_EQ(input.fInputEvents.fCapacity, 4u);
    // Pointers inside the packed records are copied out before comparing.
    ReWireEvent* heldEvents = input.fInputEvents.fEvents;
    float* lastBuffer = input.fBufferPointers[255];
    EXPECT_EQ(heldEvents, events);
    EXPECT_TRUE(allZeroFrom(events, 0, sizeof(events)));
    EXPECT_EQ(lastBuffer, nullptr);

    ReWireDriveAudioOutputParams output;
    fillDirty(&output);
    ReWirePrepareDriveAudioOutputParams(&output, 0, nullptr);
    EXPECT_EQ(output.fRecordSize, sizeof(output));
    EXPECT_EQ(output.fOutputEvents.fCapacity, 0u);
    EXPECT_TRUE(allZeroFrom(&output, 28, sizeof(output)));
}

TEST(ReWireEvents, ConvertToMIDIEventKeepsOnlyTypeAndTarget) {
    ReWireEvent event;
    fillDirty(&event);
    ReWireEventTarget target{3, 7};
    ReWireMIDIEvent* midi = ReWireConvertToMIDIEvent(&event, &target);
    const unsigned char* bytes = event.fBytes;
    EXPECT_EQ(bytes[0] | bytes[1] << 8, 10);
    EXPECT_EQ(bytes[12] | bytes[13] << 8, 3);
    EXPECT_EQ(bytes[14] | bytes[15] << 8, 7);
    EXPECT_TRUE(allZeroFrom(bytes, 2, 12));
    EXPECT_TRUE(allZeroFrom(bytes, 16, 24));
    EXPECT_EQ(midi->fTarget.fChannel, 7);
}

TEST(ReWireEvents, CastAnswersOnlyForTheMatchingType) {
    ReWireEvent event;
    ReWireConvertToRequestTempoEvent(&event);
    EXPECT_EQ(event.fEventType, kReWireRequestTempoEvent);
    EXPECT_NE(ReWireCastToRequestTempoEvent(&event), nullptr);
    EXPECT_EQ(ReWireCastToMIDIEvent(&event), nullptr);
    ReWireConvertToEventTargetChangedEvent(&event);
    EXPECT_NE(ReWireCastToEventTargetChangedEvent(&event), nullptr);
    EXPECT_EQ(ReWireCastToRequestTempoEvent(&event), nullptr);
}

TEST(ReWireEvents, TargetsNeedBusBelow255AndChannelBelow16) {
    ReWireEventTarget target{0, 0};
    EXPECT_TRUE(ReWirePrepareEventTarget(&target, 254, 15));
    EXPECT_EQ(target.fBus, 254);
    EXPECT_EQ(target.fChannel, 15);
    EXPECT_FALSE(ReWirePrepareEventTarget(&target, 255, 0));
    EXPECT_FALSE(ReWirePrepareEventTarget(&target, 0, 16));
    EXPECT_EQ(target.fBus, 254);
}
