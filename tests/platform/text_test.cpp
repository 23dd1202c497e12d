#include "platform/text.h"

#include <gtest/gtest.h>

TEST(Text, WidenDecodesUtf8AndReplacesEachBadSequenceOnce)
{
    struct Case {
        const char* name;
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {"ascii", "a.jpg", u"a.jpg"},
        {"empty", "", u""},
        {"two-byte", "\xC3\x89t\xC3\xA9", u"\u00C9t\u00E9"},
        {"astral becomes a pair", "\xF0\x9F\x93\xB7", u"\U0001F4F7"},
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at end", "ab\xE2\x82", u"ab\uFFFD"},
        {"truncated before ascii", "\xE2\x82x", u"\uFFFDx"},
        {"embedded NUL kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WidenAnsi(c.in), c.out) << c.name;
}

TEST(Text, NarrowEncodesUtf8AndReplacesUnpairedSurrogates)
{
    struct Case {
        const char* name;
        std::u16string in;
        std::string out;
    };
    const Case cases[] = {
        {"ascii", u"image/jpeg", "image/jpeg"},
        {"bmp", u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
        {"pair", u"\U0001F4F7", "\xF0\x9F\x93\xB7"},
        {"lone high", std::u16string(u"a") + char16_t(0xD83D) + u"b", "a?b"},
        {"lone low", std::u16string(1, char16_t(0xDCB7)), "?"},
        {"high at end", std::u16string(1, char16_t(0xD83D)), "?"},
        {"reversed pair", std::u16string{char16_t(0xDCB7), char16_t(0xD83D)}, "??"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NarrowWide(c.in), c.out) << c.name;
}

TEST(Text, WindowsEntryPointsQuerySizeAndRefuseShortBuffers)
{
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "\xC3\xA9t\xC3\xA9", -1, nullptr, 0), 4); // with NUL
    WCHAR two[2];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", 3, two, 2), 0);
    WCHAR wide[8];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", -1, wide, 8), 4);
    EXPECT_EQ(lstrlenW(wide), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);

    char narrow[8] = {};
    const WCHAR lone[] = {u'a', char16_t(0xD800), 0};
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, narrow, 8, nullptr, &usedDefault), 3);
    EXPECT_STREQ(narrow, "a?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E9", 1, narrow, 1, nullptr, nullptr), 0); // needs 2 bytes
}

TEST(Text, CaseMappingFollowsUnicodeAndNeverSplitsASequence)
{
    struct Case {
        const char* name;
        std::string in, lower, upper;
    };
    const Case cases[] = {
        {"ascii", "Pair.JPG", "pair.jpg", "PAIR.JPG"},
        {"latin", "\xC3\x89t\xC3\xA9.PNG", "\xC3\xA9t\xC3\xA9.png", "\xC3\x89T\xC3\x89.PNG"},
        {"greek sigma", "\xCE\xA3", "\xCF\x83", "\xCE\xA3"},
        {"cyrillic", "\xD0\x96", "\xD0\xB6", "\xD0\x96"},
        {"digits and marks", "C:\\a_1", "c:\\a_1", "C:\\A_1"},
        {"invalid bytes stay", "A\xFF\xC3", "a\xFF\xC3", "A\xFF\xC3"},
        {"truncated sequence stays", "\xC3", "\xC3", "\xC3"},
        {"astral untouched", "\xF0\x9F\x93\xB7X", "\xF0\x9F\x93\xB7x", "\xF0\x9F\x93\xB7X"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharLowerA(c.in), c.lower) << c.name;
        EXPECT_EQ(CharUpperA(c.in), c.upper) << c.name;
    }
}
