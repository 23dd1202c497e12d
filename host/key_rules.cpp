#include "host/key_rules.h"

namespace {

bool IsFunctionKey(uint8_t scanCode)
{
    return (scanCode >= 0x3B && scanCode <= 0x44) || scanCode == 0x57 || scanCode == 0x58;
}

// Home, Up, PgUp, Left, (5), Right, End, Down, PgDn, Ins, Del on the keypad;
// 0x4A and 0x4E are its minus and plus.
bool IsKeypadCursorKey(uint8_t scanCode)
{
    return scanCode >= 0x47 && scanCode <= 0x53 && scanCode != 0x4A && scanCode != 0x4E;
}

// Keypad Enter, keypad slash, and the lock and break keys type text or
// change state; they stay with the default processing.
bool IsLeftExtendedKey(uint8_t scanCode)
{
    return scanCode == 0x1C || scanCode == 0x35 || scanCode == 0x3A || scanCode == 0x45 || scanCode == 0x46;
}

bool KeepsKey(const KeyStroke& key)
{
    if (key.systemKey)
        return !key.extended && key.scanCode == 0x44;
    if (key.extended)
        return !IsLeftExtendedKey(key.scanCode);
    if (IsFunctionKey(key.scanCode))
        return true;
    // With NumLock on the keypad types digits, unless Shift turns it back
    // into cursor keys.
    return IsKeypadCursorKey(key.scanCode) && (!key.numLock || key.shift);
}

} // namespace

uint32_t KeyDownSlot(const KeyStroke& key)
{
    return KeepsKey(key) ? static_cast<uint32_t>(key.scanCode) << 16 : 0;
}

uint32_t CharSlot(char16_t unit, bool systemKey)
{
    if (systemKey || unit == u'\t')
        return 0;
    return unit;
}

bool IsCloseKey(const KeyStroke& key)
{
    return key.systemKey && !key.extended && key.scanCode == 0x3E;
}

std::u16string KeySlotText(uint32_t slot)
{
    char16_t unit = static_cast<char16_t>(slot & 0xFFFF);
    if (unit != 0)
        return std::u16string(1, unit);
    std::u16string pair(2, u'\0');
    pair[1] = static_cast<char16_t>((slot >> 16) & 0xFF);
    return pair;
}
