#pragma once
// Key codes of the X server (evdev keycode + 8 on Linux) as the PC set-1 scan
// codes with the extended flag that the program's key rules are written on.
#include <cstdint>

struct ScanCode {
    uint8_t code = 0; // 0: the key has no set-1 scan code
    bool extended = false;
};

// evdev keycode = X keycode - 8.
ScanCode ScanCodeOfEvdev(unsigned evdevCode);
