// The graphic window on a real X server without a window manager: placement,
// painting, keys, the wait, resizing, closing and the refresh policy.
#include <gtest/gtest.h>
// GDI+'s Status before Xlib, which defines Status as a macro.
#include "platform/gdiplus.h"
// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/pixel_string.h"
#include "host/graphic_window.h"
#include "host/target_record.h"
#include "host/targets.h"
#include "platform/gdi.h"
#include "tests/host/window_support.h"
#include "tests/support/xserver.h"

using namespace wintest;

namespace {

const std::u16string kAnyKey;

std::u16string ScanKey(char16_t scanCode)
{
    return std::u16string{u'\0', scanCode};
}

// 0x00RRGGBB of a COLORREF.
uint32_t Rgb(COLORREF colour)
{
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// A picture with a different colour in each quadrant.
uint32_t QuadrantColour(int32_t x, int32_t y, int32_t width, int32_t height)
{
    static const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    return colours[(x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0)];
}

std::string QuadrantPixels(int32_t width, int32_t height)
{
    std::string pixels = MakePixelString(width, height);
    uint8_t* data = PixelData(pixels);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb = QuadrantColour(x, y, width, height);
            std::memcpy(data + (static_cast<size_t>(y) * width + x) * 4, &rgb, 4);
        }
    }
    return pixels;
}

uint32_t PixelAt(const std::string& pixels, int32_t x, int32_t y)
{
    uint32_t rgb = 0;
    std::memcpy(&rgb, PixelData(pixels) + (static_cast<size_t>(y) * PixelWidth(pixels) + x) * 4, 4);
    return rgb & 0xFFFFFF;
}

class GraphicWindowTest : public GraphicWindowFixture {
protected:
    void SetUp() override
    {
        SG_REQUIRE_X();
        started_ = true;
    }

    HWND Open(int32_t width = 200, int32_t height = 100, int32_t options = kShowGraphicWindow)
    {
        HWND frame = CreateGraphicWindow(u"", -1, -1, width, height, options);
        window_ = WaitForGraphicWindow();
        return frame;
    }

    // Opens a window and waits until it has the keyboard focus.
    HWND OpenFocused()
    {
        HWND frame = Open();
        EXPECT_TRUE(WaitForFocus(frame));
        return frame;
    }
};

TEST_F(GraphicWindowTest, OpensWhereAskedAndBecomesTheTarget)
{
    HWND frame = Open();
    ASSERT_NE(frame, 0u);
    ASSERT_NE(window_, 0u);
    // (-1, -1) is the frame's corner; the client area starts at (0, 0).
    EXPECT_EQ(sgtest::ScreenGeometry(window_), (std::vector<int>{0, 0, 200, 100}));
    int32_t targetWidth = 0, targetHeight = 0;
    GetTargetSize(targetWidth, targetHeight);
    EXPECT_EQ(targetWidth, 200);
    EXPECT_EQ(targetHeight, 100);
    // The new bitmap is filled with the background colour and shown.
    EXPECT_TRUE(WaitForScreenPixel(199, 99, Rgb(GetSysColor(COLOR_BTNFACE))));
    XWindowAttributes attributes = {};
    XGetWindowAttributes(TestDisplay(), window_, &attributes);
    EXPECT_EQ(attributes.map_state, IsViewable);
}

TEST_F(GraphicWindowTest, DrawingShowsOnTheScreen)
{
    Open();
    WritePixels(QuadrantPixels(200, 100));
    EXPECT_TRUE(WaitForScreenPixel(10, 10, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(150, 10, 0x00FF00));
    EXPECT_TRUE(WaitForScreenPixel(10, 90, 0x0000FF));
    EXPECT_TRUE(WaitForScreenPixel(199, 99, 0xFFFF00));
    ClearTarget(RGB(0, 0, 255), 0);
    EXPECT_TRUE(WaitForScreenPixel(0, 0, 0x0000FF));
    EXPECT_TRUE(WaitForScreenPixel(199, 99, 0x0000FF));
}

TEST_F(GraphicWindowTest, WithoutShowOptionStaysHidden)
{
    HWND frame = Open(200, 100, 0);
    ASSERT_NE(frame, 0u);
    ASSERT_NE(window_, 0u);
    XWindowAttributes attributes = {};
    XGetWindowAttributes(TestDisplay(), window_, &attributes);
    EXPECT_NE(attributes.map_state, IsViewable);
}

// The run's result window: made hidden while the conversion runs, drawn
// into, then shown; or closed unseen when the conversion failed.
TEST_F(GraphicWindowTest, HiddenWindowShowsWhatWasDrawnOnceAskedOrClosesUnseen)
{
    HWND frame = Open(200, 100, 0);
    ASSERT_NE(window_, 0u);
    WritePixels(QuadrantPixels(200, 100));
    ASSERT_TRUE(ShowGraphicWindow(frame));
    EXPECT_TRUE(WaitForFocus(frame));
    EXPECT_TRUE(WaitForScreenPixel(10, 10, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(199, 99, 0xFFFF00));

    HWND unseen = CreateGraphicWindow(u"", 300, 300, 50, 40, 0);
    ASSERT_NE(unseen, 0u);
    EXPECT_FALSE(ShowGraphicWindow(unseen + 1000));
    EXPECT_FALSE(CloseGraphicWindow(unseen + 1000));
    ASSERT_TRUE(CloseGraphicWindow(unseen));
    for (int i = 0; i < 200 && SurfaceOf(unseen) != nullptr; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(SurfaceOf(unseen), nullptr);
    // The shown window is untouched and still the target.
    EXPECT_NE(SurfaceOf(frame), nullptr);
    EXPECT_TRUE(WaitForScreenPixel(10, 10, 0xFF0000));
}

TEST_F(GraphicWindowTest, RefusesSizesItCannotShow)
{
    const int32_t sizes[][2] = {{0, 100}, {100, 0}, {-5, 100}, {40000, 10}, {10, 40000}};
    for (const auto& size : sizes) {
        EXPECT_EQ(CreateGraphicWindow(u"", 0, 0, size[0], size[1], kShowGraphicWindow), 0u)
            << size[0] << " x " << size[1];
    }
    int32_t width = -1, height = -1;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(FindGraphicWindow(), 0u);
}

TEST_F(GraphicWindowTest, KeysGiveTheirText)
{
    OpenFocused();
    struct Case {
        const char* name;
        unsigned long keysym;
        unsigned long modifier;
        std::u16string text;
    };
    const Case cases[] = {
        {"a", XK_a, 0, u"a"},
        {"Shift+a", XK_a, XK_Shift_L, u"A"},
        {"digit", XK_7, 0, u"7"},
        {"Escape", XK_Escape, 0, u"\x1b"},
        {"Return", XK_Return, 0, u"\r"},
        {"F1", XK_F1, 0, ScanKey(0x3B)},
        {"F10", XK_F10, 0, ScanKey(0x44)},
        {"F12", XK_F12, 0, ScanKey(0x58)},
        {"Up", XK_Up, 0, ScanKey(0x48)},
        {"Delete", XK_Delete, 0, ScanKey(0x53)},
        {"keypad Home, NumLock off", XK_KP_Home, 0, ScanKey(0x47)},
    };
    for (const Case& c : cases) {
        PressKey(c.keysym, c.modifier);
        EXPECT_EQ(WaitForKey(kAnyKey, 3000), c.text) << c.name;
    }
}

TEST_F(GraphicWindowTest, KeypadFollowsNumLockAndShift)
{
    OpenFocused();
    Display* display = TestDisplay();
    KeyCode keypad7 = XKeysymToKeycode(display, XK_KP_7);
    KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    PressKey(XK_Num_Lock);
    PressKeycode(keypad7);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"7") << "NumLock on";
    XTestFakeKeyEvent(display, shift, True, CurrentTime);
    PressKeycode(keypad7);
    XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), ScanKey(0x47)) << "NumLock on, Shift held";
    PressKey(XK_Num_Lock);
    PressKeycode(keypad7);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), ScanKey(0x47)) << "NumLock off";
}

TEST_F(GraphicWindowTest, TabShiftAndAltLettersGiveNothing)
{
    OpenFocused();
    struct Case {
        const char* name;
        unsigned long keysym;
        unsigned long modifier;
    };
    const Case cases[] = {
        {"Tab", XK_Tab, 0},
        {"lone Shift", XK_Shift_L, 0},
        {"lone Ctrl", XK_Control_L, 0},
        {"Alt+a", XK_a, XK_Alt_L},
        {"Alt+F1", XK_F1, XK_Alt_L},
    };
    for (const Case& c : cases) {
        PressKey(c.keysym, c.modifier);
        EXPECT_EQ(WaitForKey(kAnyKey, 300), u"") << c.name;
        // The window does get keys: the next one comes through.
        PressKey(XK_b);
        EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"b") << "after " << c.name;
    }
}

TEST_F(GraphicWindowTest, NonAsciiCharacterArrivesAsUtf16)
{
    OpenFocused();
    Display* display = TestDisplay();
    int lowest = 0, highest = 0;
    XDisplayKeycodes(display, &lowest, &highest);
    int spare = 0;
    for (int code = highest; code >= lowest && !spare; --code) {
        if (XkbKeycodeToKeysym(display, static_cast<KeyCode>(code), 0, 0) == NoSymbol)
            spare = code;
    }
    ASSERT_NE(spare, 0);
    KeySym euro = XK_EuroSign;
    XChangeKeyboardMapping(display, spare, 1, &euro, 1);
    XSync(display, False);
    Pause(100); // the window's connection learns of the new mapping
    PressKeycode(static_cast<unsigned>(spare));
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"\u20ac");
}

TEST_F(GraphicWindowTest, KeyPressedBeforeTheWaitEndsItAndLaterKeysOverwrite)
{
    OpenFocused();
    PressKey(XK_x);
    Pause(200);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"x");
    PressKey(XK_x);
    PressKey(XK_F2);
    PressKey(XK_y);
    Pause(200);
    EXPECT_EQ(WaitForKey(kAnyKey, 3000), u"y");
    // The slot is empty again.
    EXPECT_EQ(WaitForKey(kAnyKey, 200), u"");
}

TEST_F(GraphicWindowTest, OnlyAllowedKeysEndTheWait)
{
    OpenFocused();
    PressKey(XK_a);
    PressKey(XK_F3);
    std::thread later([] {
        Pause(300);
        PressKey(XK_F1);
        Pause(100);
        PressKey(XK_q);
    });
    std::u16string allowed = u"q" + ScanKey(0x3B);
    EXPECT_EQ(WaitForKey(allowed, 5000), ScanKey(0x3B));
    EXPECT_EQ(WaitForKey(allowed, 5000), u"q");
    later.join();
}

TEST_F(GraphicWindowTest, TimeoutGivesNothing)
{
    OpenFocused();
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForKey(kAnyKey, 250), u"");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(200));
}

TEST_F(GraphicWindowTest, WaitWithoutTargetGivesNothingAtOnce)
{
    SelectTarget(0, 0, false);
    EXPECT_EQ(WaitForKey(kAnyKey, 0), u"");
}

TEST_F(GraphicWindowTest, ClosingEndsAWaitingWaitAndTheWindow)
{
    HWND frame = OpenFocused();
    ASSERT_NE(window_, 0u);
    Window window = window_;
    EXPECT_EQ(WaitForKeyWhileClosing([window] { SendDeleteWindow(window); }), u"");
    EXPECT_TRUE(WaitUntilNoGraphicWindow());
    // The records went with the window.
    EXPECT_EQ(SurfaceOf(frame), nullptr);
    EXPECT_EQ(WaitForKey(kAnyKey, 0), u"");
    SelectTarget(frame, 0, false);
    int32_t width = -1, height = -1;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST_F(GraphicWindowTest, AltF4ClosesWithoutAWindowManager)
{
    OpenFocused();
    EXPECT_EQ(WaitForKeyWhileClosing([] { PressKey(XK_F4, XK_Alt_L); }), u"");
    EXPECT_TRUE(WaitUntilNoGraphicWindow());
}

TEST_F(GraphicWindowTest, ResizingKeepsThePictureTopLeft)
{
    HWND frame = Open();
    ASSERT_NE(window_, 0u);
    WritePixels(QuadrantPixels(200, 100));
    TargetRecord* record = SurfaceOf(frame);
    ASSERT_NE(record, nullptr);
    XResizeWindow(TestDisplay(), window_, 100, 50);
    XSync(TestDisplay(), False);
    auto sizeIs = [](int32_t w, int32_t h) {
        return [w, h] {
            int32_t width = 0, height = 0;
            GetTargetSize(width, height);
            return width == w && height == h;
        };
    };
    ASSERT_TRUE(WaitUntil(sizeIs(100, 50)));
    XResizeWindow(TestDisplay(), window_, 300, 120);
    XSync(TestDisplay(), False);
    ASSERT_TRUE(WaitUntil(sizeIs(300, 120)));
    std::string pixels = ReadPixels();
    ASSERT_EQ(PixelWidth(pixels), 300);
    uint32_t background = Rgb(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(PixelAt(pixels, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 99, 49), 0xFF0000u);
    EXPECT_EQ(PixelAt(pixels, 100, 0), background);
    EXPECT_EQ(PixelAt(pixels, 0, 50), background);
    EXPECT_EQ(PixelAt(pixels, 299, 119), background);
    EXPECT_TRUE(WaitForScreenPixel(50, 25, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(250, 100, background));
}

// GDI+ draws into the window's bitmap and copies it while the window thread
// resizes it (freeing the old bitmap) and paints from it: every pixel access
// holds the GDI lock, so nothing touches freed pixels (the ThreadSanitizer
// run sees any access that does not).
TEST_F(GraphicWindowTest, GdiplusDrawsWhileTheWindowResizesAndRepaints)
{
    HWND frame = Open(300, 120);
    ASSERT_NE(window_, 0u);
    GdiplusStartupInput input;
    uint32_t token = 0;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    HDC screen = GetDC(0);
    HBITMAP source = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(0, screen);
    GpBitmap* picture = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(source, 0, &picture), Ok);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(GetTargetDC(), &graphics), Ok);
    std::atomic<bool> stop = false;
    std::thread resizer([&] {
        Display* display = XOpenDisplay(nullptr);
        for (int i = 0; display && !stop; ++i) {
            XResizeWindow(display, window_, i % 2 ? 120 : 300, i % 2 ? 60 : 120);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (display) {
            XResizeWindow(display, window_, 300, 120);
            XCloseDisplay(display);
        }
    });
    int drawn = 0;
    for (int i = 0; i < 150; ++i) {
        drawn += GdipDrawImageRectI(graphics, picture, 0, 0, 300, 120) == Ok;
        GpBitmap* copy = nullptr;
        if (GdipCreateBitmapFromHBITMAP(static_cast<HBITMAP>(GetCurrentObject(GetTargetDC(), OBJ_BITMAP)), 0,
                                        &copy) == Ok)
            GdipDisposeImage(copy);
        RefreshTarget();
    }
    stop = true;
    resizer.join();
    EXPECT_GT(drawn, 0);
    // The window thread works through the last size changes before the
    // window is closed.
    EXPECT_TRUE(WaitUntil(
        [] {
            int32_t width = 0, height = 0;
            GetTargetSize(width, height);
            return width == 300 && height == 120;
        },
        20000));
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(picture);
    DeleteObject(source);
    GdiplusShutdown(token);
    EXPECT_NE(SurfaceOf(frame), nullptr);
}

TEST_F(GraphicWindowTest, EndMemoryBitmapLeavesTheWindowTargetAlone)
{
    HWND frame = Open();
    SelectTarget(frame, 0, false);
    EndMemoryBitmap();
    int32_t width = 0, height = 0;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
    EXPECT_NE(SurfaceOf(frame), nullptr);
    ClearTarget(RGB(0, 255, 0), 0);
    EXPECT_TRUE(WaitForScreenPixel(100, 50, 0x00FF00));
}

TEST_F(GraphicWindowTest, DeferredDrawingWaitsForRefreshTarget)
{
    HWND frame = Open();
    ClearTarget(RGB(255, 255, 255), 0);
    ASSERT_TRUE(WaitForScreenPixel(10, 10, 0xFFFFFF));
    SelectTarget(frame, 0, true);
    ClearTarget(RGB(0, 0, 255), 0);
    WritePixels(QuadrantPixels(200, 100));
    Pause(300);
    EXPECT_EQ(ScreenPixel(10, 10), 0xFFFFFFu);
    RefreshTarget();
    EXPECT_TRUE(WaitForScreenPixel(10, 10, 0xFF0000));
    EXPECT_TRUE(WaitForScreenPixel(150, 90, 0xFFFF00));
}

TEST_F(GraphicWindowTest, WindowThreadRefreshesABatchedDrawing)
{
    HWND frame = Open();
    TargetRecord* record = SurfaceOf(frame);
    ASSERT_NE(record, nullptr);
    ClearTarget(RGB(255, 255, 255), 0);
    ASSERT_TRUE(WaitForScreenPixel(100, 50, 0xFFFFFF));
    // One drawing in immediate mode: the batch counter does not refresh it
    // by itself, the window thread's idle pass does.
    WritePixels(QuadrantPixels(200, 100));
    EXPECT_TRUE(WaitForScreenPixel(150, 90, 0xFFFF00));
    EXPECT_TRUE(WaitUntil([&] {
        LockDrawing();
        bool clean = !record->isDirty && record->refreshCounter == 0;
        UnlockDrawing();
        return clean;
    }));
}

TEST_F(GraphicWindowTest, BusyDrawingLockLeavesRefreshSoon)
{
    HWND frame = Open();
    TargetRecord* record = SurfaceOf(frame);
    ASSERT_NE(record, nullptr);
    LockDrawing();
    record->refreshSoon = false;
    // A drawing left the surface dirty and woke the window thread, whose
    // pass then finds the lock taken.
    record->isDirty = true;
    record->wake(*record);
    bool asked = WaitUntil([&] { return record->refreshSoon.load(); }, 2000);
    UnlockDrawing();
    EXPECT_TRUE(asked);
    // The next drawing then reaches the screen by itself.
    ClearTarget(RGB(0, 255, 255), 0);
    EXPECT_TRUE(WaitForScreenPixel(100, 50, 0x00FFFF));
}

TEST_F(GraphicWindowTest, SecondWindowDoesNotTakeTheTarget)
{
    HWND first = Open(120, 60);
    ASSERT_NE(first, 0u);
    HWND second = CreateGraphicWindow(u"second", 300, 300, 50, 40, 0);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    int32_t width = 0, height = 0;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 120);
    EXPECT_EQ(height, 60);
    // Both close.
    Display* display = TestDisplay();
    Window window;
    while ((window = FindGraphicWindow()) != 0) {
        SendDeleteWindow(window);
        ASSERT_TRUE(WaitUntil([&] { return FindGraphicWindow() != window; }));
    }
    XSync(display, False);
}

} // namespace
