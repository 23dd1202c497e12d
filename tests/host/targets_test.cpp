#include "host/targets.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/pixel_string.h"
#include "host/target_record.h"
#include "host/thread_state.h"
#include "platform/gdi.h"
#include "platform/handles.h"

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

// A pixel string of width x height whose pixel i is pixel(i).
template <typename F>
std::string MakePixels(int32_t width, int32_t height, F pixel)
{
    std::string pixels = MakePixelString(width, height);
    for (int32_t i = 0; i < width * height; ++i) {
        uint32_t value = pixel(i);
        for (int b = 0; b < 4; ++b)
            pixels[8 + 4 * i + b] = static_cast<char>(value >> (8 * b));
    }
    return pixels;
}

uint32_t PixelAt(const std::string& pixels, int32_t i)
{
    uint32_t value = 0;
    for (int b = 0; b < 4; ++b)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(pixels[8 + 4 * i + b])) << (8 * b);
    return value;
}

// A selected memory bitmap holding the pixels given.
uint32_t MemoryBitmapWith(const std::string& pixels)
{
    uint32_t bitmap = CreateMemoryBitmap(PixelWidth(pixels), PixelHeight(pixels));
    SelectTarget(bitmap, 0, true);
    WritePixels(pixels);
    return bitmap;
}

TEST(Targets, WithoutATargetNothingHappens)
{
    SelectTarget(0, 0, false);
    int32_t width = -1, height = -1;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(ReadPixels(), "");
    EXPECT_EQ(GetTargetDC(), 0u);
    ClearTarget(0, 0);
    WritePixels(MakePixelString(1, 1));
    StretchCopy(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4);
    RefreshTarget();
    EndMemoryBitmap();

    uint32_t bitmap = CreateMemoryBitmap(2, 2);
    SelectTarget(bitmap, 0, true);
    SelectTarget(NewHandleId(), 0, true); // names nothing: the thread has no target afterwards
    EXPECT_EQ(ReadPixels(), "");
    SelectTarget(bitmap, 0, true);
    EndMemoryBitmap();
}

TEST(Targets, ReadPixelsOfATwoByOneBitmap)
{
    uint32_t bitmap = CreateMemoryBitmap(2, 1);
    ASSERT_NE(bitmap, 0u);
    SelectTarget(bitmap, 0, false);
    int32_t width = 0, height = 0;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 1);
    ClearTarget(0x0000FF, 0); // COLORREF: pure red
    EXPECT_EQ(ReadPixels(), Bytes({2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0}));
    WritePixels(Bytes({2, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 0x7F, 4, 5, 6, 0}));
    EXPECT_EQ(ReadPixels(), Bytes({2, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 0, 4, 5, 6, 0})); // fourth byte ignored
    EndMemoryBitmap();
}

TEST(Targets, PixelsRoundTripThroughBitmapsOfManyBands)
{
    // ReadPixels reads in bands of about 256 KiB: several rows, or one row.
    const int32_t sizes[][2] = {{300, 301}, {70001, 3}, {1, 1}};
    for (const auto& size : sizes) {
        const std::string pixels =
            MakePixels(size[0], size[1], [](int32_t i) { return static_cast<uint32_t>(i * 2654435761u) >> 8; });
        MemoryBitmapWith(pixels);
        EXPECT_TRUE(ReadPixels() == pixels) << size[0] << " x " << size[1];
        EndMemoryBitmap();
    }
}

TEST(Targets, CreateMemoryBitmapRefusesImpossibleSizes)
{
    EXPECT_EQ(CreateMemoryBitmap(0, 10), 0u);
    EXPECT_EQ(CreateMemoryBitmap(10, -1), 0u);
    EXPECT_EQ(CreateMemoryBitmap(65536, 65536), 0u);
}

TEST(Targets, ClearTargetColoursAndStyles)
{
    uint32_t bitmap = CreateMemoryBitmap(3, 2);
    SelectTarget(bitmap, 0, true);
    TargetRecord* record = FindTarget(bitmap);
    ASSERT_NE(record, nullptr);
    struct Case {
        int32_t colour, style;
        uint32_t pixel0;
    };
    const Case cases[] = {
        {0x0000FF, 0, 0xFF0000},  // red
        {0xFF0000, 99, 0x0000FF}, // unknown style: solid blue
        {-2, 0, 0x0000FF},        // paints nothing
        {-1, 0, 0xF0F0F0},        // the background
        {0x00FF00, 5, 0x00FF00},  // HS_CROSS: pixel (0, 0) lies on the line
    };
    for (const Case& c : cases) {
        record->isDirty = false;
        record->dirty = RECT{-1, -1, 0, 0};
        ClearTarget(c.colour, c.style);
        EXPECT_EQ(PixelAt(ReadPixels(), 0), c.pixel0) << c.colour;
        EXPECT_TRUE(record->isDirty);
        EXPECT_EQ(record->dirty.right, 3);
        EXPECT_EQ(record->dirty.bottom, 2);
    }
    EXPECT_EQ(PixelAt(ReadPixels(), 4), 0xF0F0F0u); // hatch background off the lines
    EndMemoryBitmap();
}

TEST(Targets, StretchCopyMixCodesAndInclusiveCorners)
{
    const std::string source = MakePixels(8, 1, [](int32_t i) { return 0x010101u * static_cast<uint32_t>(i + 1); });
    uint32_t from = MemoryBitmapWith(source);
    struct Case {
        int32_t mix;
        float x1, x2, x3, x4; // source and destination corners along x
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {13, 0, 7, 0, 7, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x00CC0020, 0, 7, 0, 7, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0, 0, 7, 0, 7, {1, 2, 3, 4, 5, 6, 7, 8}},
        {-4, 0, 7, 0, 7, {1, 2, 3, 4, 5, 6, 7, 8}},
        {7, 0, 7, 0, 7, {1 ^ 15, 2 ^ 15, 3 ^ 15, 4 ^ 15, 5 ^ 15, 6 ^ 15, 7 ^ 15, 8 ^ 15}},
        // 2.5 rounds to 2 and 3.5 to 4 (source: pixels 2..4); 0.5 to 0 and 2.5 to 2.
        {13, 2.5f, 3.5f, 0.5f, 2.5f, {3, 4, 5, 15, 15, 15, 15, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mix);
        MemoryBitmapWith(MakePixels(8, 1, [](int32_t) { return 0x0F0F0Fu; }));
        StretchCopy(from, 0, c.x1, 0, c.x2, 0, c.x3, 0, c.x4, 0, c.mix, 4);
        std::string result = ReadPixels();
        for (int32_t i = 0; i < 8; ++i)
            EXPECT_EQ(PixelAt(result, i), c.expected[i] * 0x010101u) << i;
        EndMemoryBitmap();
    }
    SelectTarget(from, 0, true);
    EndMemoryBitmap();
}

TEST(Targets, StretchCopyHalftoneWithOnePixelMore)
{
    // The program draws a picture onto W + 1 x H + 1 and clips: nothing shifts.
    const std::string source = MakePixels(3, 2, [](int32_t i) { return 0x102030u * static_cast<uint32_t>(i + 1); });
    uint32_t from = MemoryBitmapWith(source);
    MemoryBitmapWith(MakePixelString(3, 2));
    StretchCopy(from, 0, 0, 0, 2, 1, 0, 0, 3, 2, 13, 4);
    EXPECT_EQ(ReadPixels(), source);
    EndMemoryBitmap();
    SelectTarget(from, 0, true);
    EndMemoryBitmap();
}

TEST(Targets, StretchCopyFromAnUnknownSourceDoesNothing)
{
    const std::string before = MakePixels(2, 2, [](int32_t i) { return 0x111111u * static_cast<uint32_t>(i); });
    MemoryBitmapWith(before);
    TargetRecord* record = FindTarget(ThisThreadState().target);
    ASSERT_NE(record, nullptr);
    record->isDirty = false;
    StretchCopy(NewHandleId(), 0, 0, 0, 1, 1, 0, 0, 1, 1, 13, 4);
    StretchCopy(0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 13, 4);
    EXPECT_EQ(ReadPixels(), before);
    EXPECT_FALSE(record->isDirty);
    EndMemoryBitmap();
}

TEST(Targets, WritePixelsRefusesStringsThatDoNotMatch)
{
    const std::string before = MakePixels(2, 2, [](int32_t) { return 0x445566u; });
    MemoryBitmapWith(before);
    const std::string good = MakePixels(2, 2, [](int32_t) { return 0x010203u; });
    const std::string refused[] = {
        good.substr(0, good.size() - 1),                                      // one byte short
        good.substr(0, 8),                                                     // header only
        MakePixels(1, 4, [](int32_t) { return 0x010203u; }),                  // same bytes, other shape
        MakePixels(2, 1, [](int32_t) { return 0x010203u; }),                  // smaller
        "",
        Bytes({2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}) + good.substr(8),         // negative height
    };
    TargetRecord* record = FindTarget(ThisThreadState().target);
    ASSERT_NE(record, nullptr);
    record->isDirty = false;
    for (const std::string& pixels : refused)
        WritePixels(pixels);
    EXPECT_EQ(ReadPixels(), before);
    EXPECT_FALSE(record->isDirty);
    WritePixels(good + "extra");
    EXPECT_EQ(ReadPixels(), good);
    EXPECT_TRUE(record->isDirty);
    EndMemoryBitmap();
}

TEST(Targets, MemoryBitmapsAreAlwaysDeferredAndEndCleanly)
{
    uint32_t bitmap = CreateMemoryBitmap(4, 4);
    TargetRecord* record = FindTarget(bitmap);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->deferredRefresh);
    SelectTarget(bitmap, 0, false);
    EXPECT_TRUE(record->deferredRefresh);
    EXPECT_EQ(GetTargetDC(), record->memoryDC);
    EXPECT_EQ(GdiDCPixels(GetTargetDC()).width, 4);
    EndMemoryBitmap();
    EXPECT_EQ(ThisThreadState().target, 0u);
    EXPECT_EQ(FindTarget(bitmap), nullptr);
    EXPECT_EQ(GdiBitmapPixels(bitmap).bits, nullptr); // the bitmap is gone
    SelectTarget(bitmap, 0, false);
    EXPECT_EQ(GetTargetDC(), 0u);
}

// A window surface as the graphic window registers it, with a counting
// stand-in for the window's painting.
struct ShownAreas {
    int count = 0;
    bool lastWhole = false;
};
ShownAreas shown;

void CountShow(TargetRecord&, const RECT* area)
{
    shown.count++;
    shown.lastWhole = area == nullptr;
}

struct Surface {
    HWND frame = NewHandleId();
    uint32_t handle = NewHandleId();
    TargetRecord* record = nullptr;

    explicit Surface(bool batch)
    {
        record = new TargetRecord;
        record->handle = handle;
        record->kind = TargetKind::WindowSurface;
        record->frame = frame;
        record->width = 4;
        record->height = 3;
        HDC screen = GetDC(0);
        record->memoryDC = CreateCompatibleDC(screen);
        record->bitmap = CreateCompatibleBitmap(screen, 4, 3);
        ReleaseDC(0, screen);
        record->previousBitmap = SelectObject(record->memoryDC, record->bitmap);
        record->background = GetSysColor(COLOR_BTNFACE);
        record->backgroundBrush = CreateSolidBrush(record->background);
        record->batchRefresh = batch;
        record->showArea = CountShow;
        RegisterTarget(record);
        shown = ShownAreas{};
    }
    ~Surface()
    {
        LockDrawing();
        RemoveTarget(handle);
        UnlockDrawing();
    }
};

TEST(TargetsWindowSurface, FrameHandleResolvesToItsSurface)
{
    Surface surface(true);
    EXPECT_EQ(ResolveTarget(surface.frame, 0), surface.record);
    EXPECT_EQ(ResolveTarget(surface.handle, 0), surface.record); // named directly
    EXPECT_EQ(ResolveTarget(surface.frame, 1), nullptr);         // no child with that id
    SelectTarget(surface.frame, 0, false);
    EXPECT_EQ(ThisThreadState().target, surface.handle);
    EXPECT_FALSE(surface.record->deferredRefresh);

    EndMemoryBitmap(); // a window target is left alone
    int32_t width = 0, height = 0;
    GetTargetSize(width, height);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 3);

    LockDrawing();
    RemoveTarget(surface.handle); // the window went away
    UnlockDrawing();
    GetTargetSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(ReadPixels(), "");
}

TEST(TargetsWindowSurface, BatchRefreshEvery250thOperationOrWhenSoon)
{
    Surface surface(true);
    SelectTarget(surface.frame, 0, false);
    ClearTarget(-1, 0); // sets refreshSoon: shown at once
    EXPECT_EQ(shown.count, 1);
    EXPECT_FALSE(surface.record->isDirty);
    EXPECT_EQ(surface.record->refreshCounter, 0);
    const std::string pixels = MakePixelString(4, 3);
    for (int i = 1; i < 250; ++i)
        WritePixels(pixels);
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(surface.record->refreshCounter, 249);
    EXPECT_TRUE(surface.record->isDirty);
    EXPECT_EQ(surface.record->dirty.right, 4);
    EXPECT_EQ(surface.record->dirty.bottom, 3);
    StretchCopy(surface.frame, 0, 0, 0, 3, 2, 0, 0, 3, 2, 13, 4); // the 250th
    EXPECT_EQ(shown.count, 2);
    EXPECT_FALSE(shown.lastWhole);
    EXPECT_EQ(surface.record->refreshCounter, 0);
    EXPECT_EQ(static_cast<uint32_t>(surface.record->dirty.left), 0xFFFFFFFFu);

    surface.record->refreshSoon = true; // left by the window thread
    WritePixels(pixels);
    EXPECT_EQ(shown.count, 3);
    EXPECT_FALSE(surface.record->refreshSoon);
}

TEST(TargetsWindowSurface, ImmediateAndDeferredModes)
{
    Surface surface(false);
    SelectTarget(surface.frame, 0, false);
    const std::string pixels = MakePixelString(4, 3);
    WritePixels(pixels);
    WritePixels(pixels);
    EXPECT_EQ(shown.count, 2); // no batching: every operation shows

    SelectTarget(surface.frame, 0, true);
    WritePixels(pixels);
    ClearTarget(0, 0);
    EXPECT_EQ(shown.count, 2);
    EXPECT_TRUE(surface.record->isDirty);
    RefreshTarget();
    EXPECT_EQ(shown.count, 3);
    EXPECT_TRUE(shown.lastWhole);
    EXPECT_FALSE(surface.record->isDirty);
}

// Two threads draw into their own memory bitmaps at once; the drawing lock
// keeps their operations apart and each sees only its own pixels.
TEST(TargetsThreads, TwoThreadsDrawIntoTheirOwnBitmaps)
{
    auto draw = [](uint32_t colourBase, bool* ok) {
        *ok = true;
        for (int round = 0; round < 40; ++round) {
            uint32_t from = CreateMemoryBitmap(16, 8);
            uint32_t to = CreateMemoryBitmap(8, 4);
            SelectTarget(from, 0, true);
            COLORREF colour = colourBase + static_cast<COLORREF>(round);
            ClearTarget(static_cast<int32_t>(colour), 0);
            SelectTarget(to, 0, true);
            StretchCopy(from, 0, 0, 0, 15, 7, 0, 0, 7, 3, 13, 4);
            std::string pixels = ReadPixels();
            uint32_t expected = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
            for (int32_t i = 0; i < 32 && *ok; ++i)
                *ok = pixels.size() == 8 + 4 * 32 && PixelAt(pixels, i) == expected;
            EndMemoryBitmap();
            SelectTarget(from, 0, true);
            EndMemoryBitmap();
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread first(draw, 0x000100u, &ok1);
    std::thread second(draw, 0x030000u, &ok2);
    first.join();
    second.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

} // namespace
