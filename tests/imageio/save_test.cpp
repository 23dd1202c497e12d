#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "tests/imageio/imageio_support.h"

namespace {

using namespace sgtest;

std::set<std::string> FilesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// What a file holds, by its first bytes.
std::string KindOf(const std::string& path)
{
    std::string head = ReadBytes(path).substr(0, 4);
    if (head.rfind("\xFF\xD8", 0) == 0)
        return "jpeg";
    if (head.rfind("\x89PNG", 0) == 0)
        return "png";
    if (head.rfind("GIF8", 0) == 0)
        return "gif";
    if (head.rfind("BM", 0) == 0)
        return "bmp";
    if (head == std::string("II*\0", 4) || head == std::string("MM\0*", 4))
        return "tiff";
    return "?";
}

TEST(ImageioSave, ExtensionChoosesTheFormatOrNothing)
{
    struct Case {
        const char* name;
        int32_t result; // -2: any non-zero status
        const char* kind; // "" = nothing written
    } cases[] = {
        {"out.jpg", 0, "jpeg"},    {"out.JPG", 0, "jpeg"},     {"out.Jpeg", 0, "jpeg"},  {"out.tif", 0, "tiff"},
        {"out.TIFF", 0, "tiff"},   {"out.bmp", 0, "bmp"},      {"out.png", 0, "png"},    {"out.gif", 0, "gif"},
        {"out", 0, ""},            {"out.", 0, ""},            {"out.jpg.bak", 0, ""},   {"my.dir\\out", 0, ""},
        {"out.dib", 0, ""},        {"out.emf", -2, ""},        {"out.wmf", -2, ""},      {"out.ico", -2, ""},
        {"out.jpgx", 0, ""},       {"out.pn", 0, ""},
    };
    GdiplusRunning gdip;
    TempFolder pictures;
    ASSERT_TRUE(WritePicture(pictures / "p.png", PictureFormat::Png, Pattern(6, 4), 6, 4));
    GpImage* picture = nullptr;
    ASSERT_EQ(GdipLoadImageFromFile(fStr2Wide(pictures / "p.png").c_str(), &picture), Ok);
    for (const Case& c : cases) {
        TempFolder folder;
        int32_t result = fGDIp_SaveImage(folder / c.name, picture);
        if (c.result == -2) {
            EXPECT_GT(result, 0) << c.name;
        } else {
            EXPECT_EQ(result, c.result) << c.name;
        }
        std::set<std::string> files = FilesIn(folder.path);
        if (*c.kind) {
            EXPECT_EQ(files, std::set<std::string>{c.name});
            EXPECT_EQ(KindOf(folder / c.name), c.kind) << c.name;
        } else {
            EXPECT_TRUE(files.empty()) << c.name;
        }
    }
    EXPECT_EQ(fGDIp_SaveImage("", picture), -1);
    GdipDisposeImage(picture);
}

TEST(ImageioSave, EncoderLookupByMimeType)
{
    struct Case {
        const char* mime;
        int32_t position;
    } cases[] = {{"image/bmp", 1}, {"image/jpeg", 2},  {"image/gif", 3},     {"image/tiff", 4},
                 {"image/png", 5}, {"image/x-emf", 0}, {"IMAGE/JPEG", 0},    {"image/jpe", 0}};
    GdiplusRunning gdip;
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    GdipGetImageEncoders(count, size, list);
    for (const Case& c : cases) {
        CLSID clsid;
        std::memset(&clsid, 0xAB, sizeof clsid);
        EXPECT_EQ(fGDIp_EncoderClsid(c.mime, clsid), c.position) << c.mime;
        if (c.position > 0) {
            EXPECT_EQ(std::memcmp(&clsid, &list[c.position - 1].Clsid, sizeof clsid), 0) << c.mime;
        } else {
            EXPECT_EQ(clsid.Data1, 0xABABABABu) << "untouched without a match";
        }
    }
}

TEST(ImageioSave, EncoderLookupWithoutGdiplusFindsNoList)
{
    CLSID clsid{};
    EXPECT_EQ(fGDIp_EncoderClsid("image/jpeg", clsid), -1);
}

TEST(ImageioSave, SaveBitmapTrimsTheCallersName)
{
    TempFolder folder;
    std::string pixels = PixelStringOf(Pattern(5, 4), 5, 4);
    struct Case {
        std::string given;
        std::string trimmed;
    } cases[] = {
        {"  " + (folder / "out.jpg") + "  ", folder / "out.jpg"},
        {folder / "two.png", folder / "two.png"},
        {" \t" + (folder / "tab.png") + "\t ", "\t" + (folder / "tab.png") + "\t"},
        {"    ", ""},
    };
    for (Case& c : cases) {
        std::string name = c.given;
        fGDIp_SaveBitmap(pixels, name);
        EXPECT_EQ(name, c.trimmed);
    }
    EXPECT_EQ(FilesIn(folder.path), (std::set<std::string>{"out.jpg", "two.png"}));
    EXPECT_EQ(KindOf(folder / "out.jpg"), "jpeg");
    // A name that is not UTF-8 is written with exactly its bytes.
    std::string latin1 = folder / "caf\xE9_anaglyph.jpg";
    EXPECT_EQ(fGDIp_SaveBitmap(pixels, latin1), 0);
    EXPECT_EQ(FilesIn(folder.path), (std::set<std::string>{"out.jpg", "two.png", "caf\xE9_anaglyph.jpg"}));
    int32_t w = 0, h = 0;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 0) << "the thread is left without a target";
}

TEST(ImageioSave, SaveBitmapRefusesWhatItCannotSave)
{
    TempFolder folder;
    std::string name = folder / "out.png";
    std::string shortString = PixelStringOf(Pattern(2, 2), 2, 2);
    int32_t claimed = 100;
    std::memcpy(shortString.data(), &claimed, 4); // header claims 100 x 2
    EXPECT_EQ(fGDIp_SaveBitmap(shortString, name), -1);
    std::string empty;
    EXPECT_EQ(fGDIp_SaveBitmap(empty, name), -1);
    std::string pixels = PixelStringOf(Pattern(2, 2), 2, 2);
    FailNextGdiplusStartup();
    EXPECT_EQ(fGDIp_SaveBitmap(pixels, name), -1);
    EXPECT_TRUE(FilesIn(folder.path).empty());
    EXPECT_EQ(fGDIp_SaveBitmap(pixels, name), 0) << "written";
    EXPECT_TRUE(Exists(name));
    // A target selected before is not left selected either way.
    uint32_t other = CreateMemoryBitmap(3, 3);
    SelectTarget(other, 0, false);
    fGDIp_SaveBitmap(shortString, name);
    int32_t w = 0, h = 0;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 0);
    SelectTarget(other, 0, false);
    EndMemoryBitmap();
}

TEST(ImageioSave, EveryEncoderRoundTrips)
{
    struct Case {
        const char* name;
        bool lossless;
    } cases[] = {{"rt.bmp", true}, {"rt.png", true}, {"rt.tif", true}, {"rt.jpg", false}, {"rt.gif", false}};
    TempFolder folder;
    auto pattern = Pattern(37, 23);
    for (const Case& c : cases) {
        std::string pixels = PixelStringOf(pattern, 37, 23);
        std::string name = folder / c.name;
        fGDIp_SaveBitmap(pixels, name);
        ASSERT_TRUE(Exists(name)) << c.name;
        EXPECT_EQ(fGDIp_ImageSize(name), "   37 x    23") << c.name;
        GdiplusRunning gdip;
        uint32_t bitmap = fGDIp_2hBMP(name, 0, 0, 0);
        ASSERT_NE(bitmap, 0u) << c.name;
        int32_t w = 0, h = 0;
        std::vector<uint32_t> back = TargetPixels(w, h);
        EndMemoryBitmap();
        ASSERT_EQ(w, 37);
        ASSERT_EQ(h, 23);
        double total = 0;
        for (size_t i = 0; i < back.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8)
                total += std::abs(int((back[i] >> shift) & 255) - int((pattern[i] >> shift) & 255));
        double mean = total / (back.size() * 3.0);
        if (c.lossless) {
            EXPECT_EQ(mean, 0.0) << c.name;
        } else if (std::string(c.name) == "rt.jpg") {
            EXPECT_LT(mean, 4.0) << c.name;
        } else {
            EXPECT_LT(mean, 48.0) << c.name; // a fixed palette, dithered
        }
    }
}

} // namespace
