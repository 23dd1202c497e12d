// Start-up refusals and the "No GDI+" message, in process under Xvfb.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "anaglyph/placement.h"
#include "app/startup.h"
#include "host/targets.h"
#include "platform/gdiplus.h"
#include "platform/kernel.h"
#include "tests/support/x_windows.h"
#include "tests/support/xdotool.h"
#include "tests/support/xserver.h"

using namespace sgtest;

namespace {

// Closes the message box titled with the default caption from a helper
// thread while the test's thread is blocked in it.
std::thread ConfirmBoxLater(std::atomic<bool>& seen)
{
    return std::thread([&seen] {
        unsigned long box = WaitForTitle("Stereoglass");
        seen = box != 0;
        if (box)
            DriveWindow(box, {"sleep:200", "key:Return"});
    });
}

} // namespace

TEST(StartUp, AnotherPlatformIsRefusedWithAMessageAndExitCode255)
{
    SG_REQUIRE_WM();
    SetReportedPlatformId(VER_PLATFORM_WIN32_WINDOWS);
    std::atomic<bool> seen = false;
    std::thread closer = ConfirmBoxLater(seen);
    int32_t exitCode = fStartUp();
    closer.join();
    SetReportedPlatformId(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(exitCode, 255);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Xdotool("search --name '^Select File$'"), ""); // no dialog was shown
}

TEST(Placement, NoGdiplusShowsItsMessageAndLeavesTheTargetSelected)
{
    SG_REQUIRE_WM();
    uint32_t target = CreateMemoryBitmap(4, 4);
    std::atomic<bool> seen = false;
    std::thread closer = ConfirmBoxLater(seen);
    FailNextGdiplusStartup();
    std::string pixels = fGDIp_DrawFile(target, 0, std::string(SG_TEST_DATA_DIR) + "/bench-sbs-959.png", 2, 0);
    closer.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(pixels, "");
    int32_t w = 0, h = 0;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 4); // still the thread's target
    EndMemoryBitmap();
}
