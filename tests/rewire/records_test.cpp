// Sizes and offsets are checked where the records are defined; here: what the helpers leave.
#include <cstring>
#include <gtest/gtest.h>

#include "rewire/rewire.h"

namespace {
bool allZeroFrom(const void* data, size_t from, size_t to) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = from; i < to; i++)
        if (bytes[i] != 0) return false;
    return true;
}
} // namespace

TEST(ReWireBitFields, BitsLiveInWholeWordsLeastSignificantFirst) {
    uint32_t field[9];
    memset(field, 0xFF, sizeof(field));
    ReWireClearBitField(field, 1);
    EXPECT_EQ(field[0], 0u);
    EXPECT_EQ(field[1], 0xFFFFFFFFu);
    ReWireClearBitField(field, 256);
    EXPECT_TRUE(allZeroFrom(field, 0, 32));
    EXPECT_EQ(field[8], 0xFFFFFFFFu);
    ReWireSetBitInBitField(field, 33);
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

TEST(ReWireRecords, PrepareZeroFillsAndSetsTheRecordSize) {
    ReWireOpenInfo open;
    memset(&open, 0xA5, sizeof(open));
    ReWirePrepareOpenInfo(&open, 48000, 256);
    EXPECT_EQ(open.fRecordSize, sizeof(ReWireOpenInfo));
    EXPECT_EQ(open.fAudioInfo.fRecordSize, sizeof(ReWireAudioInfo));
    EXPECT_EQ(open.fAudioInfo.fSampleRate, 48000);
    EXPECT_EQ(open.fAudioInfo.fBlockFramesMax, 256);

    ReWireDeviceInfo device;
    memset(&device, 0xA5, sizeof(device));
    ReWirePrepareDeviceInfo(&device);
    EXPECT_EQ(device.fRecordSize, sizeof(device));
    EXPECT_TRUE(allZeroFrom(&device, 4, sizeof(device)));

    ReWireEvent events[4];
    memset(&events, 0xA5, sizeof(events));
    ReWireDriveAudioInputParams input;
    memset(&input, 0xA5, sizeof(input));
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
    memset(&output, 0xA5, sizeof(output));
    ReWirePrepareDriveAudioOutputParams(&output, 0, nullptr);
    EXPECT_EQ(output.fRecordSize, sizeof(output));
    EXPECT_EQ(output.fOutputEvents.fCapacity, 0u);
    EXPECT_TRUE(allZeroFrom(&output, 28, sizeof(output)));
}

TEST(ReWireEvents, ConvertKeepsOnlyTypeAndTargetAndCastChecksTheType) {
    ReWireEvent event;
    memset(&event, 0xA5, sizeof(event));
    ReWireEventTarget target{3, 7};
    ReWireMIDIEvent* midi = ReWireConvertToMIDIEvent(&event, &target);
    EXPECT_EQ(midi->fEventType, kReWireMIDIEvent);
    EXPECT_EQ(midi->fTarget.fBus, 3);
    EXPECT_EQ(midi->fTarget.fChannel, 7);
    EXPECT_TRUE(allZeroFrom(event.fBytes, 2, 12));
    EXPECT_TRUE(allZeroFrom(event.fBytes, 16, 24));
    EXPECT_EQ(ReWireCastToRequestTempoEvent(&event), nullptr);

    ReWireConvertToRequestTempoEvent(&event);
    EXPECT_NE(ReWireCastToRequestTempoEvent(&event), nullptr);
    EXPECT_EQ(ReWireCastToMIDIEvent(&event), nullptr);
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
