#include <gtest/gtest.h>

#include <cstring>

#include "platform/ole.h"

namespace {

TEST(OleStrings, LengthBeforeTheTextAndNulAfterIt)
{
    BSTR text = SysAllocStringByteLen("a\0b.jpg", 7);
    ASSERT_NE(text, nullptr);
    uint32_t stored = 0;
    std::memcpy(&stored, text - 4, 4);
    EXPECT_EQ(stored, 7u);
    EXPECT_EQ(SysStringByteLen(text), 7u);
    EXPECT_EQ(std::memcmp(text, "a\0b.jpg", 7), 0);
    EXPECT_EQ(text[7], '\0');
    EXPECT_EQ(text[8], '\0');
    SysFreeString(text);

    BSTR blank = SysAllocStringByteLen(nullptr, 3);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(std::memcmp(blank, "\0\0\0\0", 4), 0);
    SysFreeString(blank);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
}

} // namespace
