#include "platform/x11_window_keys.h"

namespace {

struct EvdevKey {
    unsigned evdev;
    uint8_t code;
    bool extended;
};

// Keys whose set-1 code differs from the evdev code. NumLock is reported
// with the extended flag and Pause without it, as the PC keyboard driver
// reports them.
constexpr EvdevKey kOtherKeys[] = {
    {69, 0x45, true}, // NumLock
    {86, 0x56, false}, // the key left of Z on 102-key boards
    {87, 0x57, false}, // F11
    {88, 0x58, false}, // F12
    {96, 0x1C, true}, // keypad Enter
    {97, 0x1D, true}, // right Ctrl
    {98, 0x35, true}, // keypad slash
    {99, 0x37, true}, // Print Screen
    {100, 0x38, true}, // right Alt
    {102, 0x47, true}, // Home
    {103, 0x48, true}, // Up
    {104, 0x49, true}, // Page Up
    {105, 0x4B, true}, // Left
    {106, 0x4D, true}, // Right
    {107, 0x4F, true}, // End
    {108, 0x50, true}, // Down
    {109, 0x51, true}, // Page Down
    {110, 0x52, true}, // Insert
    {111, 0x53, true}, // Delete
    {113, 0x20, true}, // Mute
    {114, 0x2E, true}, // Volume Down
    {115, 0x30, true}, // Volume Up
    {117, 0x59, false}, // keypad equals
    {119, 0x45, false}, // Pause
    {121, 0x7E, false}, // keypad comma
    {125, 0x5B, true}, // left Windows key
    {126, 0x5C, true}, // right Windows key
    {127, 0x5D, true}, // Menu
    {183, 0x64, false}, // F13 .. F23
    {184, 0x65, false},
    {185, 0x66, false},
    {186, 0x67, false},
    {187, 0x68, false},
    {188, 0x69, false},
    {189, 0x6A, false},
    {190, 0x6B, false},
    {191, 0x6C, false},
    {192, 0x6D, false},
    {193, 0x6E, false},
    {194, 0x76, false}, // F24
};

} // namespace

ScanCode ScanCodeOfEvdev(unsigned evdevCode)
{
    for (const EvdevKey& key : kOtherKeys) {
        if (key.evdev == evdevCode)
            return {key.code, key.extended};
    }
    // Escape .. keypad full stop: the evdev codes are the set-1 codes.
    if (evdevCode >= 1 && evdevCode <= 83)
        return {static_cast<uint8_t>(evdevCode), false};
    return {};
}
