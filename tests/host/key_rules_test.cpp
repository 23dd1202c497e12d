#include "host/key_rules.h"

#include <gtest/gtest.h>

namespace {

struct KeyCase {
    const char* name;
    KeyStroke key;
    bool kept;
};

KeyStroke Key(uint8_t scanCode, bool extended = false, bool systemKey = false, bool numLock = false,
              bool shift = false)
{
    return KeyStroke{scanCode, extended, systemKey, numLock, shift};
}

const KeyCase kKeyCases[] = {
    {"F1", Key(0x3B), true},
    {"F9", Key(0x43), true},
    {"F11", Key(0x57), true},
    {"F12", Key(0x58), true},
    {"F10 as a system key", Key(0x44, false, true), true},
    {"letter A", Key(0x1E), false},
    {"Enter", Key(0x1C), false},
    {"left Shift", Key(0x2A), false},
    {"right Shift", Key(0x36), false},
    {"left Ctrl", Key(0x1D), false},
    {"CapsLock", Key(0x3A), false},
    {"ScrollLock", Key(0x46), false},
    {"key after F10", Key(0x45), false},
    {"keypad 7 NumLock off", Key(0x47), true},
    {"keypad 7 NumLock on", Key(0x47, false, false, true), false},
    {"keypad 7 NumLock on with Shift", Key(0x47, false, false, true, true), true},
    {"keypad 7 NumLock off with Shift", Key(0x47, false, false, false, true), true},
    {"keypad full stop NumLock off", Key(0x53), true},
    {"keypad minus", Key(0x4A), false},
    {"keypad plus", Key(0x4E), false},
    {"keypad 5 NumLock off", Key(0x4C), true},
    {"key after the keypad", Key(0x54), false},
    {"Up", Key(0x48, true), true},
    {"Delete", Key(0x53, true), true},
    {"Delete with NumLock on", Key(0x53, true, false, true), true},
    {"right Ctrl", Key(0x1D, true), true},
    {"left Windows key", Key(0x5B, true), true},
    {"keypad Enter", Key(0x1C, true), false},
    {"keypad slash", Key(0x35, true), false},
    {"extended 0x3A", Key(0x3A, true), false},
    {"NumLock", Key(0x45, true), false},
    {"Ctrl+Break", Key(0x46, true), false},
    {"Alt+F1", Key(0x3B, false, true), false},
    {"Alt+F4", Key(0x3E, false, true), false},
    {"Alt+Up", Key(0x48, true, true), false},
    {"extended 0x44 as a system key", Key(0x44, true, true), false},
    {"right Alt", Key(0x38, true, true), false},
};

TEST(KeyRules, KeyDownKeepsFunctionCursorAndExtendedKeys)
{
    for (const KeyCase& c : kKeyCases) {
        uint32_t expected = c.kept ? static_cast<uint32_t>(c.key.scanCode) << 16 : 0;
        EXPECT_EQ(KeyDownSlot(c.key), expected) << c.name;
    }
}

TEST(KeyRules, CharactersAreKeptExceptTabAndSystemCharacters)
{
    struct CharCase {
        char16_t unit;
        bool systemKey;
        uint32_t slot;
    };
    const CharCase cases[] = {
        {u'a', false, 0x61},   {u'A', false, 0x41},  {u'\r', false, 0x0D},  {u'\x1b', false, 0x1B},
        {u'\x08', false, 0x08}, {u'\t', false, 0},   {u'a', true, 0},       {u'\u00e9', false, 0xE9},
        {u'\u20ac', false, 0x20AC}, {u'\xd83d', false, 0xD83D},
    };
    for (const CharCase& c : cases)
        EXPECT_EQ(CharSlot(c.unit, c.systemKey), c.slot) << static_cast<int>(c.unit);
}

TEST(KeyRules, OnlyAltF4Closes)
{
    EXPECT_TRUE(IsCloseKey(Key(0x3E, false, true)));
    EXPECT_FALSE(IsCloseKey(Key(0x3E)));
    EXPECT_FALSE(IsCloseKey(Key(0x3E, true, true)));
    EXPECT_FALSE(IsCloseKey(Key(0x3D, false, true)));
}

TEST(KeyRules, SlotTextIsTheCharacterOrNulAndScanCode)
{
    EXPECT_EQ(KeySlotText(0x61), u"a");
    EXPECT_EQ(KeySlotText(0x20AC), u"\u20ac");
    EXPECT_EQ(KeySlotText(0x3B0000), std::u16string(u"\0\x3b", 2));
    EXPECT_EQ(KeySlotText(0x530000), std::u16string(u"\0\x53", 2));
    // A stored key and its slot value round-trip through the rules.
    EXPECT_EQ(KeySlotText(KeyDownSlot(Key(0x58))), std::u16string(u"\0\x58", 2));
}

} // namespace
