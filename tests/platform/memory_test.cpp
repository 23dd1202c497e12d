#include "platform/memory.h"

#include <gtest/gtest.h>

TEST(Memory, RefusesWhatTheSystemCannotGiveAndNamesBothSizes)
{
    int64_t available = AvailableMemoryBytes();
    ASSERT_GT(available, 0) << "MemAvailable is read from /proc/meminfo";
    std::string reason = "left over";
    EXPECT_TRUE(MemoryAvailableFor(4096, reason));
    EXPECT_EQ(reason, "");
    int64_t tooMuch = available + (int64_t{64} << 30);
    EXPECT_FALSE(MemoryAvailableFor(tooMuch, reason));
    EXPECT_EQ(reason, "It needs about " + ByteCountText(tooMuch) + " of memory, but only " + ByteCountText(available) +
                          " is available.");
}

TEST(Memory, ByteCountsForPeople)
{
    EXPECT_EQ(ByteCountText(int64_t{812} << 20), "812 MB");
    EXPECT_EQ(ByteCountText(int64_t{3328} << 20), "3.2 GB");
    EXPECT_EQ(ByteCountText(10), "1 MB");
}
