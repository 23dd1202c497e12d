#pragma once
// Tests that answer the program's GTK dialogs by typing into them: openbox
// runs, xdotool is there, and GTK starts quietly (no accessibility bus, its
// settings kept in memory).
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/xserver.h"

namespace sgtest {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SG_REQUIRE_WM();
        if (system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed; skipping a test that types into a dialog";
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
    }
};

} // namespace sgtest
