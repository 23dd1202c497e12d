#pragma once
// Which key presses the graphic window keeps for WaitForKey, how a kept key
// sits in the record's one-key slot, and how a slot reads back as key text.
// The window side hands every key press here as a scan code of the PC set-1
// keyboard and every typed character as UTF-16 code units.
#include <cstdint>
#include <string>

struct KeyStroke {
    uint8_t scanCode = 0; // PC set-1 scan code, without the E0 prefix
    bool extended = false; // the E0-prefixed keys (arrows, right Ctrl, keypad Enter ...)
    bool systemKey = false; // pressed with Alt held, or F10
    bool numLock = false; // NumLock on when pressed
    bool shift = false; // Shift held
};

// Slot value for a key going down: scan code << 16, or 0 when the key is
// left to the default processing (its character, if any, comes separately).
uint32_t KeyDownSlot(const KeyStroke& key);
// Slot value for a typed character: the code unit itself, or 0 for TAB and
// for characters typed with Alt held (those are system characters).
uint32_t CharSlot(char16_t unit, bool systemKey);
// Alt+F4, which the default processing answers by closing the window.
bool IsCloseKey(const KeyStroke& key);
// Key text of a non-zero slot value: the one character, or NUL and the scan code.
std::u16string KeySlotText(uint32_t slot);
