// The graphic window under a window manager (openbox): the program's own
// full-screen call, focus, the window manager's Alt+F4 and close, minimising
// and restoring.
#include <gtest/gtest.h>
// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <thread>

#include "host/graphic_window.h"
#include "host/target_record.h"
#include "host/targets.h"
#include "tests/host/window_support.h"
#include "tests/support/xserver.h"

using namespace wintest;

namespace {

const std::u16string kAnyKey;

class GraphicWindowWmTest : public GraphicWindowFixture {
protected:
    void SetUp() override
    {
        SG_REQUIRE_WM();
        started_ = true;
    }

    // The program's call: no caption, (-1, -1), the whole screen, shown.
    HWND OpenFullScreen()
    {
        HWND frame = CreateGraphicWindow(u"", -1, -1, 1920, 1080, kShowGraphicWindow);
        window_ = WaitForGraphicWindow();
        return frame;
    }
};

TEST_F(GraphicWindowWmTest, ProgramCallCoversTheScreenWithoutTitleBar)
{
    HWND frame = OpenFullScreen();
    ASSERT_NE(frame, 0u);
    ASSERT_NE(window_, 0u);
    ASSERT_TRUE(WaitUntil([&] { return sgtest::WindowShown(window_); }));
    ClearTarget(RGB(255, 0, 0), 0);
    EXPECT_TRUE(WaitForScreenPixel(0, 0, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(960, 540, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(1919, 1079, 0xFF0000));
    EXPECT_EQ(sgtest::ScreenGeometry(window_), (std::vector<int>{0, 0, 1920, 1080}));
    std::vector<long> extents = sgtest::FrameExtents(window_);
    if (!extents.empty()) {
        EXPECT_EQ(extents[2], 0) << "title bar";
        EXPECT_EQ(extents[0] + extents[1] + extents[3], 0) << "border";
    }
}

TEST_F(GraphicWindowWmTest, CaptionGetsTheWindowManagersFrame)
{
    HWND frame = CreateGraphicWindow(u"Anaglyph \u00e9", 100, 100, 300, 200, kShowGraphicWindow);
    ASSERT_NE(frame, 0u);
    Window window = WaitForGraphicWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitUntil([&] { return sgtest::WindowShown(window); }));
    std::vector<long> extents;
    ASSERT_TRUE(WaitUntil([&] {
        extents = sgtest::FrameExtents(window);
        return !extents.empty() && extents[2] > 0;
    }));
    EXPECT_EQ(sgtest::ScreenGeometry(window),
              (std::vector<int>{100 + static_cast<int>(extents[0]), 100 + static_cast<int>(extents[2]), 300, 200}));
    Display* display = TestDisplay();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 64, False,
                       XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &after, &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "Anaglyph \xc3\xa9");
    XFree(data);
}

TEST_F(GraphicWindowWmTest, KeysReachTheFocusedWindow)
{
    HWND frame = OpenFullScreen();
    ASSERT_TRUE(WaitForFocus(frame));
    PressKey(XK_a);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"a");
    PressKey(XK_F1);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), (std::u16string{u'\0', 0x3B}));
}

TEST_F(GraphicWindowWmTest, AltF4ThroughTheWindowManagerGivesNothing)
{
    HWND frame = OpenFullScreen();
    ASSERT_TRUE(WaitForFocus(frame));
    EXPECT_EQ(WaitForKeyWhileClosing([] { PressKey(XK_F4, XK_Alt_L); }), u"");
    EXPECT_TRUE(WaitUntilNoGraphicWindow());
}

TEST_F(GraphicWindowWmTest, WindowManagerCloseGivesNothing)
{
    HWND frame = OpenFullScreen();
    ASSERT_TRUE(WaitForFocus(frame));
    Window window = window_;
    EXPECT_EQ(WaitForKeyWhileClosing([window] { SendDeleteWindow(window); }), u"");
    EXPECT_TRUE(WaitUntilNoGraphicWindow());
}

TEST_F(GraphicWindowWmTest, MinimiseAndRestoreKeepThePicture)
{
    HWND frame = OpenFullScreen();
    ASSERT_NE(window_, 0u);
    ASSERT_TRUE(WaitForFocus(frame));
    ClearTarget(RGB(0, 0, 255), 0);
    ASSERT_TRUE(WaitForScreenPixel(960, 540, 0x0000FF));
    Display* display = TestDisplay();
    XIconifyWindow(display, window_, DefaultScreen(display));
    XSync(display, False);
    ASSERT_TRUE(WaitUntil([&] { return !sgtest::WindowShown(window_); }));
    EXPECT_TRUE(WaitUntil([] { return ScreenPixel(960, 540) != 0x0000FF; }));
    // Restore the way a task bar does.
    XEvent message = {};
    message.xclient.type = ClientMessage;
    message.xclient.window = window_;
    message.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = 2;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &message);
    XSync(display, False);
    ASSERT_TRUE(WaitUntil([&] { return sgtest::WindowShown(window_); }));
    EXPECT_TRUE(WaitForScreenPixel(960, 540, 0x0000FF));
    EXPECT_TRUE(WaitForScreenPixel(0, 0, 0x0000FF));
    int32_t width = 0, height = 0;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
}

} // namespace
