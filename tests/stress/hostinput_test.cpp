// Host input the plug-in must take as hosts really send it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "plughost.h"
#include "vst/slicer.h"

using namespace stress;

// Event lists are allocated longer than the record declares; every entry must be read
// (the sanitizer build also checks the entries are reached without undefined behaviour).
TEST(HostInput, LongEventListsAreReadToTheEnd) {
    NoteEvents notes(24, 240);
    std::vector<int> statuses;
    int frames = 0;
    auto inbox = std::make_unique<CEventInbox>();
    inbox->add(notes.get());
    sliceAtEvents(
        *inbox, 240, [&](int n) { frames += n; },
        [&](int message) { statuses.push_back(message & 0xFF); });
    ASSERT_EQ(statuses.size(), 24u);
    EXPECT_EQ(frames, 240);
    for (int i = 0; i < 24; i++)
        EXPECT_EQ(statuses[size_t(i)], (i % 2 ? 0x80 : 0x90) | (i / 2) % 4) << i;
}
