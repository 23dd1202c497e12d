// The window calls the dialog watcher relies on, on windows the test makes
// itself: first with no window manager, then under openbox.
// GoogleTest before Xlib, whose None and Bool macros it would trip over.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/source_chooser.h"
#include "host/services.h"
#include "platform/user_windows.h"
#include "platform/user_windows_x11.h"
#include "tests/support/x_windows.h"
#include "tests/support/xserver.h"

namespace {

struct TestWindow {
    Display* display = nullptr;
    Window window = None;

    // A 300 x 200 window at (40, 30), titled through WM_NAME (Latin-1) or,
    // when utf8Title is given, through _NET_WM_NAME; _NET_WM_PID names pid
    // (this process by default, as toolkits set it).
    TestWindow(const char* latin1Title, const char* utf8Title, bool show, long pid = getpid())
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            return;
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 40, 30, 300, 200, 0, 0, 0);
        if (latin1Title)
            XStoreName(display, window, latin1Title);
        if (utf8Title)
            XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                            XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8Title), static_cast<int>(strlen(utf8Title)));
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
        if (show)
            XMapWindow(display, window);
        XSync(display, False);
        sgtest::WaitUntil(
            [&] {
                sgtest::NudgeWindowManager();
                return !show || sgtest::WindowShown(window);
            },
            3000);
    }
    ~TestWindow()
    {
        if (!display)
            return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
    void SetMotifHints(long flags, long functions, long decorations)
    {
        long hints[5] = {flags, functions, decorations, 0, 0};
        Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
        XChangeProperty(display, window, property, property, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(hints), 5);
        XSync(display, False);
    }
};

} // namespace

TEST(WatcherWindows, FindsShownWindowsByEitherTitleWithoutRegardToCase)
{
    SG_REQUIRE_X();
    sgtest::StopWindowManager();
    TestWindow latin("Select File \xE9", nullptr, true);
    TestWindow utf8(nullptr, "\xC3\x89tude", true);
    TestWindow hidden("Hidden Select", nullptr, false);
    ASSERT_NE(latin.display, nullptr);

    HWND byLatin = FindWindowA(nullptr, "select file \xC3\xA9");
    ASSERT_NE(byLatin, 0u);
    EXPECT_EQ(XWindowForHandle(byLatin), latin.window);
    EXPECT_EQ(FindWindowA(nullptr, "Select File \xC3\xA9"), byLatin); // one handle per window

    HWND byUtf8 = FindWindowA(nullptr, "\xC3\xA9TUDE");
    ASSERT_NE(byUtf8, 0u);
    EXPECT_EQ(XWindowForHandle(byUtf8), utf8.window);
    EXPECT_NE(byUtf8, byLatin);

    EXPECT_EQ(FindWindowA(nullptr, "Hidden Select"), 0u);
    EXPECT_EQ(FindWindowA(nullptr, "Select"), 0u); // whole titles only
    EXPECT_EQ(FindWindowA("NoSuchClass", "\xC3\xA9tude"), 0u);
    EXPECT_EQ(XWindowForHandle(0), None);
}

TEST(WatcherWindows, ClearingTheSystemMenuTakesAwayCloseAndTheMenuOnly)
{
    SG_REQUIRE_X();
    sgtest::StopWindowManager();
    struct Case {
        const char* name;
        std::vector<long> hints; // flags, functions, decorations; empty: none
        long functionsAfter;
        long decorationsAfter;
    };
    // Functions: resize 2, move 4, minimise 8, maximise 16, close 32.
    // Decorations: border 2, resize 4, title 8, menu 16, minimise 32, maximise 64.
    const Case cases[] = {
        {"no hints", {}, 2 | 4 | 8 | 16, 2 | 4 | 8 | 32 | 64},
        {"all but resize", {3, 1 | 2, 1}, 4 | 8 | 16, 2 | 4 | 8 | 32 | 64},
        {"listed", {3, 4 | 32, 8 | 16}, 4, 8},
    };
    for (const Case& c : cases) {
        TestWindow test("Style Window", nullptr, true);
        if (!c.hints.empty())
            test.SetMotifHints(c.hints[0], c.hints[1], c.hints[2]);
        HWND window = FindWindowA(nullptr, "Style Window");
        ASSERT_NE(window, 0u) << c.name;
        LONG style = GetWindowLongA(window, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU) << c.name;
        EXPECT_TRUE(style & WS_VISIBLE) << c.name;
        EXPECT_EQ(SetWindowLongA(window, GWL_STYLE, style & static_cast<LONG>(0xFFF7FFFF)), style) << c.name;
        // A round trip on the connection that made the change: the server has
        // it before the hints are read through the test's own connection.
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), style & ~WS_SYSMENU) << c.name;
        std::vector<long> hints = sgtest::PropertyLongs(test.window, "_MOTIF_WM_HINTS");
        ASSERT_EQ(hints.size(), 5u) << c.name;
        EXPECT_EQ(hints[0] & 3, 3) << c.name;
        EXPECT_EQ(hints[1], c.functionsAfter) << c.name;
        EXPECT_EQ(hints[2], c.decorationsAfter) << c.name;

        SetWindowLongA(window, GWL_STYLE, style);
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), style) << c.name;
    }
    EXPECT_EQ(GetWindowLongA(0, GWL_STYLE), 0);
    EXPECT_EQ(SetWindowLongA(0, GWL_STYLE, 0), 0);
}

TEST(WatcherWindows, MaximiseWithoutAWindowManagerCoversTheScreen)
{
    SG_REQUIRE_X();
    sgtest::StopWindowManager();
    TestWindow test("Grow Me", nullptr, true);
    HWND window = FindWindowA(nullptr, "Grow Me");
    ASSERT_NE(window, 0u);
    EXPECT_EQ(ShowWindow(window, SW_MAXIMIZE), TRUE);
    std::vector<int> geometry;
    EXPECT_TRUE(sgtest::WaitUntil(
        [&] { return (geometry = sgtest::ScreenGeometry(test.window)) == std::vector<int>{0, 0, 1920, 1080}; }))
        << "geometry " << ::testing::PrintToString(geometry);
    EXPECT_EQ(ShowWindow(0, SW_MAXIMIZE), FALSE);
}

// Last, since it leaves openbox running.
TEST(WatcherWindows, UnderAWindowManagerTheClientIsFoundAndMaximised)
{
    SG_REQUIRE_WM();
    TestWindow test("Managed Window", nullptr, true);
    HWND window = 0;
    ASSERT_TRUE(sgtest::WaitUntil(
        [&] {
            sgtest::NudgeWindowManager();
            return (window = FindWindowA(nullptr, "Managed Window")) != 0;
        },
        3000));
    EXPECT_EQ(XWindowForHandle(window), test.window); // the client, not the frame
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_SYSMENU);
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_TRUE(sgtest::WaitUntil(
        [&] {
            return sgtest::HasAtom(test.window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_VERT") &&
                   sgtest::HasAtom(test.window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_HORZ");
        },
        3000));
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_MAXIMIZE);
    EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU);
}

// The watcher on its own thread against a plain window: it waits for the
// title, strips the close function and the menu, maximises, and ends.
TEST(WatcherWindows, WatcherChangesTheWindowOnceItAppears)
{
    SG_REQUIRE_WM();
    struct Run {
        std::atomic<bool> done = false;
    };
    static Run run;
    uint32_t thread = StartThread(
        [](void* title) -> DWORD {
            DWORD code = fDialogWatcher(title);
            run.done = true;
            return code;
        },
        const_cast<char*>(kSelectFileTitle), 0x100000, 0);
    ASSERT_NE(thread, 0u);
    EXPECT_EQ(CloseThreadHandle(thread), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a few empty looks first
    EXPECT_FALSE(run.done);
    // Another program's window of that title is left alone.
    TestWindow foreign("Select File", nullptr, true, getpid() + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(run.done) << "the watcher took another program's window";

    TestWindow test("Select File", nullptr, true);
    EXPECT_TRUE(sgtest::WaitUntil([&] { return run.done.load(); }, 5000));
    EXPECT_TRUE(sgtest::WaitUntil(
        [&] {
            return sgtest::HasAtom(test.window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_VERT") &&
                   sgtest::HasAtom(test.window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_HORZ");
        },
        3000));
    std::vector<long> hints = sgtest::PropertyLongs(test.window, "_MOTIF_WM_HINTS");
    ASSERT_EQ(hints.size(), 5u);
    EXPECT_EQ(hints[1] & 32, 0); // no close function
    EXPECT_EQ(hints[2] & 16, 0); // no window menu
    EXPECT_FALSE(sgtest::HasAtom(foreign.window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_TRUE(sgtest::PropertyLongs(foreign.window, "_MOTIF_WM_HINTS").empty());
}
