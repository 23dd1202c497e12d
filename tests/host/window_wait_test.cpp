// The parts of the graphic window that need no display: the wait's clock
// within the hour and the X key codes as PC scan codes.
#include <gtest/gtest.h>

#include "host/graphic_window.h"
#include "platform/x11_window_keys.h"

namespace {

TEST(KeyWaitDeadline, RunsOutAtTheDeadlineAcrossTheFullHour)
{
    struct Case {
        const char* name;
        int32_t start, timeout, now;
        bool expired;
    };
    const Case cases[] = {
        {"before", 1000, 500, 1499, false},
        {"at", 1000, 500, 1500, true},
        {"after", 1000, 500, 2500, true},
        {"just started", 1000, 500, 1000, false},
        // 5 s from 59:59.000 ends at 00:04.000 of the next hour.
        {"before the hour", 3599000, 5000, 3599500, false},
        {"at the hour", 3599000, 5000, 0, false},
        {"after the hour", 3599000, 5000, 3999, false},
        {"deadline after the hour", 3599000, 5000, 4000, true},
        {"long after the hour", 3599000, 5000, 600000, true},
        {"longest wait, before", 0, 3590000, 3589999, false},
        {"longest wait, at", 0, 3590000, 3590000, true},
        {"longer is cut", 0, 4000000, 3590000, true},
        {"negative is cut", 0, -1, 3589999, false},
        {"no timeout", 1000, 0, 3599999, false},
    };
    for (const Case& c : cases) {
        int32_t deadline = KeyWaitDeadline(c.start, c.timeout);
        EXPECT_EQ(KeyWaitExpired(deadline, c.now, c.timeout), c.expired) << c.name;
    }
}

TEST(KeyWaitDeadline, ClockStaysWithinTheHour)
{
    int32_t now = TimeInHourMs();
    EXPECT_GE(now, 0);
    EXPECT_LT(now, 3600000);
    EXPECT_EQ(KeyWaitDeadline(3599000, 5000), 4000);
}

TEST(WindowKeyCodes, EvdevCodesBecomeSetOneScanCodes)
{
    struct Case {
        unsigned evdev;
        uint8_t code;
        bool extended;
    };
    const Case cases[] = {
        {1, 0x01, false},   // Escape
        {30, 0x1E, false},  // A
        {15, 0x0F, false},  // Tab
        {42, 0x2A, false},  // left Shift
        {59, 0x3B, false},  // F1
        {68, 0x44, false},  // F10
        {87, 0x57, false},  // F11
        {88, 0x58, false},  // F12
        {71, 0x47, false},  // keypad 7
        {83, 0x53, false},  // keypad full stop
        {69, 0x45, true},   // NumLock
        {119, 0x45, false}, // Pause
        {96, 0x1C, true},   // keypad Enter
        {98, 0x35, true},   // keypad slash
        {103, 0x48, true},  // Up
        {111, 0x53, true},  // Delete
        {125, 0x5B, true},  // left Windows key
        {0, 0, false},      {84, 0, false}, {240, 0, false},
    };
    for (const Case& c : cases) {
        ScanCode scan = ScanCodeOfEvdev(c.evdev);
        EXPECT_EQ(scan.code, c.code) << c.evdev;
        EXPECT_EQ(scan.extended, c.extended) << c.evdev;
    }
}

} // namespace
