#include "app/naming.h"

#include <gtest/gtest.h>

TEST(Naming, AnaglyphBaseDropsExactlyFourBytes)
{
    struct Case {
        std::string source, base;
    };
    const Case cases[] = {
        {"c:\\photos\\pair.jpg", "c:\\photos\\pair_anaglyph"},
        {"c:\\photos\\pair.png", "c:\\photos\\pair_anaglyph"},
        {"c:\\photos\\pair.jpeg", "c:\\photos\\pair._anaglyph"},
        {"c:\\photos\\pair.tiff", "c:\\photos\\pair._anaglyph"},
        {"c:\\photos\\stereo", "c:\\photos\\st_anaglyph"},
        {"c:\\photos\\pair_anaglyph.jpg", "c:\\photos\\pair_anaglyph_anaglyph"},
        {"", "_anaglyph"},
        {"a", "a_anaglyph"},
        {"abc", "abc_anaglyph"},
        {"abcd", "abcd_anaglyph"},
        {"abcde", "a_anaglyph"},
        // Bytes, not characters: "é" is two bytes, so "ab.é" (five bytes)
        // keeps "a" where counting characters would keep nothing.
        {"ab.\xC3\xA9", "a_anaglyph"},
        {"/\xC3\xA9.png", "/\xC3\xA9_anaglyph"},
        // A name of four bytes or fewer is kept whole: the cut never takes
        // the slash and puts the output in the parent folder.
        {"/home/ann/dir/ab", "/home/ann/dir/ab_anaglyph"},
        {"/home/ann/dir/abcd", "/home/ann/dir/abcd_anaglyph"},
        {"/home/ann/dir/abcde", "/home/ann/dir/a_anaglyph"},
        {"dir/\xC3\xA9\xC3\xA9", "dir/\xC3\xA9\xC3\xA9_anaglyph"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fAnaglyphBase(c.source), c.base) << c.source;
}

TEST(Naming, OnlyTheFileNameIsLowerCased)
{
    struct Case {
        std::string chosen, naming, base;
    };
    const Case cases[] = {
        {"/home/ann/Photos/Pair.JPG", "/home/ann/Photos/pair.jpg", "/home/ann/Photos/pair_anaglyph"},
        {"", "", "_anaglyph"},
        {"Pair.JPG", "pair.jpg", "pair_anaglyph"},
        {"/Photos/", "/Photos/", "/Photos/_anaglyph"},
        {"/tmp/\xC3\x89t\xC3\xA9.PNG", "/tmp/\xC3\xA9t\xC3\xA9.png", "/tmp/\xC3\xA9t\xC3\xA9_anaglyph"},
        {"/Ünï/Ö.JPS", "/Ünï/ö.jps", "/Ünï/ö_anaglyph"},
        // Bytes that are not UTF-8 stay exactly as they are.
        {"/tmp/Caf\xE9.PNG", "/tmp/caf\xE9.png", "/tmp/caf\xE9_anaglyph"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fNamingPath(c.chosen), c.naming) << c.chosen;
        EXPECT_EQ(fAnaglyphBase(fNamingPath(c.chosen)), c.base) << c.chosen;
    }
}
