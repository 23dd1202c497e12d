#include "host/services.h"

// GoogleTest before Xlib, whose None and Bool macros it would trip over.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/thread_state.h"
#include "platform/desktop.h"
#include "platform/text.h"
#include "tests/support/xserver.h"

namespace {

std::string Cwd()
{
    char path[4096];
    return getcwd(path, sizeof path) ? path : "";
}

bool WaitFor(const std::atomic<bool>& flag)
{
    for (int i = 0; i < 5000 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

// What a thread function saw between EnterThread and LeaveThread.
struct ThreadView {
    std::atomic<bool> release = false;
    std::atomic<bool> done = false;
    int32_t comInside = -1;
    uint32_t targetInside = 99;
    int32_t comAfter = -1;
    size_t stackSize = 0;
};

DWORD ObservedThread(void* parameter)
{
    auto* view = static_cast<ThreadView*>(parameter);
    EnterThread(parameter);
    view->comInside = ComInitCount();
    view->targetInside = ThisThreadState().target;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &view->stackSize);
        pthread_attr_destroy(&attributes);
    }
    while (!view->release)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    LeaveThread(parameter);
    view->comAfter = ComInitCount();
    view->done = true;
    return 0;
}

} // namespace

TEST(Services, StackSizeIsRoundedDownToWhole64KiB)
{
    struct Case {
        uint32_t asked;
        uint32_t given;
    };
    const Case cases[] = {
        {0, 0},           {1, 65536},          {65535, 65536},           {65536, 65536},
        {100000, 65536},  {131071, 65536},     {131072, 131072},         {0x100000, 0x100000},
        {0x100001, 0x100000}, {0xFFFFFFFF, 0xFFFF0000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThreadStackSize(c.asked), c.given) << c.asked;
}

TEST(Services, ThreadsGetTheirOwnStateAndStack)
{
    ThreadView view;
    uint32_t thread = StartThread(ObservedThread, &view, 100000, 0);
    ASSERT_NE(thread, 0u);
    view.release = true;
    ASSERT_TRUE(WaitFor(view.done));
    EXPECT_EQ(view.comInside, 1);
    EXPECT_EQ(view.targetInside, 0u);
    EXPECT_EQ(view.comAfter, 0);
    EXPECT_GE(view.stackSize, 65536u);
    EXPECT_EQ(CloseThreadHandle(thread), -1);
}

TEST(Services, ClosingARunningThreadsHandleLeavesItRunning)
{
    ThreadView view;
    uint32_t thread = StartThread(ObservedThread, &view, 0x100000, 0);
    ASSERT_NE(thread, 0u);
    EXPECT_EQ(CloseThreadHandle(thread), -1);
    EXPECT_FALSE(view.done);
    view.release = true;
    EXPECT_TRUE(WaitFor(view.done));
    EXPECT_EQ(CloseThreadHandle(thread), 0); // already closed
    EXPECT_EQ(CloseThreadHandle(0), 0);
    EXPECT_EQ(StartThread(nullptr, nullptr, 0, 0), 0u);
}

TEST(Services, LeaveThreadDropsTheThreadsTarget)
{
    std::thread worker([] {
        EnterThread(nullptr);
        ThisThreadState().target = 1234;
        LeaveThread(nullptr);
        EXPECT_EQ(ThisThreadState().target, 0u);
        EXPECT_EQ(ComInitCount(), 0);
    });
    worker.join();
}

TEST(Services, CurrentFolderHasNoClosingSeparatorAndMayBeLong)
{
    std::string before = Cwd();
    char folderTemplate[] = "/tmp/sg-services-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    // Deeper than the 260 units of the usual buffer.
    std::string deep = folderTemplate;
    for (int i = 0; i < 12; ++i) {
        deep += "/folder-with-a-rather-long-name-" + std::to_string(i);
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    ASSERT_GT(deep.size(), 300u);

    const std::string folders[] = {folderTemplate, deep};
    for (const std::string& folder : folders) {
        ASSERT_EQ(chdir(folder.c_str()), 0);
        EXPECT_EQ(NarrowWide(GetCurrentFolder()), folder);
    }

    // The current directory removed: "".
    ASSERT_EQ(rmdir(deep.c_str()), 0);
    EXPECT_EQ(GetCurrentFolder(), u"");

    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_EQ(NarrowWide(GetCurrentFolder()), before);
    std::string cleanup = "rm -rf '" + std::string(folderTemplate) + "'";
    EXPECT_EQ(system(cleanup.c_str()), 0);
}

TEST(Services, PlatformCallsFromManyThreadsDoNotMixUp)
{
    std::string expected = Cwd();
    std::atomic<int> wrong = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                ThreadView view;
                view.release = true;
                uint32_t thread = StartThread(ObservedThread, &view, 65536, 0);
                if (thread == 0 || CloseThreadHandle(thread) != -1 || CloseThreadHandle(thread) != 0)
                    ++wrong;
                if (NarrowWide(GetCurrentFolder()) != expected)
                    ++wrong;
                WaitFor(view.done);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong, 0);
}

TEST(Services, PauseWaitsAtLeastTheTime)
{
    auto start = std::chrono::steady_clock::now();
    PauseMs(25);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

// The primary output is found where it lies: a primary monitor away from
// the origin gives its own place and size.
TEST(Services, PrimaryOutputIsWhereItLies)
{
    SG_REQUIRE_X();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    int major = 0, minor = 0;
    if (!XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) {
        XCloseDisplay(display);
        GTEST_SKIP() << "the X server has no RandR 1.5 monitors";
    }
    RECT whole = {};
    ASSERT_EQ(GetPrimaryOutputRect(&whole), TRUE);
    EXPECT_EQ(whole.left, 0);
    EXPECT_EQ(whole.top, 0);
    EXPECT_EQ(whole.right, 1920);
    EXPECT_EQ(whole.bottom, 1080);

    Window root = DefaultRootWindow(display);
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, 0);
    ASSERT_NE(monitor, nullptr);
    monitor->name = XInternAtom(display, "SG-SECOND", False);
    monitor->primary = True;
    monitor->x = 640;
    monitor->y = 200;
    monitor->width = 800;
    monitor->height = 600;
    monitor->mwidth = 200;
    monitor->mheight = 150;
    XRRSetMonitor(display, root, monitor);
    XSync(display, False);
    RECT primary = {};
    ASSERT_EQ(GetPrimaryOutputRect(&primary), TRUE);
    XRRDeleteMonitor(display, root, monitor->name);
    XSync(display, False);
    XRRFreeMonitors(monitor);
    XCloseDisplay(display);
    EXPECT_EQ(primary.left, 640);
    EXPECT_EQ(primary.top, 200);
    EXPECT_EQ(primary.right, 1440);
    EXPECT_EQ(primary.bottom, 800);
}

// The desktop is the whole primary screen, even when the window manager's
// work area leaves a strip for a panel.
TEST(Services, DesktopSizeIsThePrimaryScreenNotTheWorkArea)
{
    SG_REQUIRE_X();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Atom workArea = XInternAtom(display, "_NET_WORKAREA", False);
    long area[4] = {0, 0, 1920, 1040};
    XChangeProperty(display, DefaultRootWindow(display), workArea, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(area), 4);
    XSync(display, False);

    int32_t width = 0, height = 0;
    GetDesktopSize(width, height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
    RECT work = {};
    ASSERT_EQ(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0), TRUE);
    EXPECT_EQ(work.right, 1920);
    EXPECT_EQ(work.bottom, 1040);

    XDeleteProperty(display, DefaultRootWindow(display), workArea);
    XCloseDisplay(display);
}
