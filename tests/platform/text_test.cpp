#include "platform/text.h"

#include <gtest/gtest.h>

// A byte b of an invalid sequence travels as the lone surrogate U+DC00 + b.
std::u16string Escaped(std::initializer_list<int> bytes)
{
    std::u16string out;
    for (int b : bytes)
        out += char16_t(0xDC00 + b);
    return out;
}

TEST(Text, WidenDecodesUtf8AndKeepsEachBadByteAsALoneSurrogate)
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
        {"lone continuation", "a\x80z", u"a" + Escaped({0x80}) + u"z"},
        {"overlong slash", "\xC0\xAF", Escaped({0xC0, 0xAF})},
        {"encoded surrogate", "\xED\xA0\x80", Escaped({0xED, 0xA0, 0x80})},
        {"above U+10FFFF", "\xF4\x90\x80\x80", Escaped({0xF4, 0x90, 0x80, 0x80})},
        {"truncated at end", "ab\xE2\x82", u"ab" + Escaped({0xE2, 0x82})},
        {"truncated before ascii", "\xE2\x82x", Escaped({0xE2, 0x82}) + u"x"},
        {"latin-1 name", "Caf\xE9.jpg", u"Caf" + Escaped({0xE9}) + u".jpg"},
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
        {"lone low outside the byte range", std::u16string(1, char16_t(0xDC10)), "?"},
        {"escaped byte", Escaped({0xB7}), "\xB7"},
        {"high at end", std::u16string(1, char16_t(0xD83D)), "?"},
        {"reversed pair", std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, "??"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NarrowWide(c.in), c.out) << c.name;
}

// Linux file names are bytes: whatever they hold comes back exactly, and
// a name that is not UTF-8 never turns into another, valid one (the file
// "Caf\uFFFD.jpg" must not be opened for "Caf\xE9.jpg").
TEST(Text, AnyByteStringRoundTripsExactly)
{
    const std::string names[] = {
        "Caf\xE9.jpg", "/tmp/\xFF\xFE/\x80.png", "\xE2\x82", "\xED\xA0\x80\xF0\x9F\x93\xB7", "\xC3\xA9t\xC3\xA9",
        std::string("a\0\xC0", 3),
    };
    for (const std::string& name : names)
        EXPECT_EQ(NarrowWide(WidenAnsi(name)), name);
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    EXPECT_EQ(NarrowWide(WidenAnsi(every)), every);
    EXPECT_NE(NarrowWide(WidenAnsi("Caf\xE9.jpg")), "Caf\xEF\xBF\xBD.jpg");
}

TEST(Text, ShownTextIsValidUtf8WithReplacementCharacters)
{
    EXPECT_EQ(DisplayBytes("Caf\xE9.jpg"), "Caf\xEF\xBF\xBD.jpg");
    EXPECT_EQ(DisplayBytes("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DisplayText(std::u16string(u"a") + char16_t(0xD83D)), "a\xEF\xBF\xBD");
    EXPECT_EQ(DisplayText(u"\U0001F4F7"), "\xF0\x9F\x93\xB7");
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
