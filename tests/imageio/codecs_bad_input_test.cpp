// Bad input of every kind gives a non-zero result, without crashing,
// without printing and without allocating what a header claims.
#include "codecs_fixtures.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

using namespace fixtures;

namespace {

Pixels Gradient(int w, int h)
{
    Pixels px(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] = 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | uint32_t((x ^ y) * 4);
    return px;
}

std::string Encoded(PictureFormat format, int w = 64, int h = 64)
{
    Pixels px = Gradient(w, h);
    std::string out;
    EXPECT_EQ(EncodePictureBytes(out, format, px.data(), w, h, false), kCodecOk);
    return out;
}

// The JPEG's frame header with another size.
std::string JpegSized(uint32_t w, uint32_t h)
{
    std::string jpeg = Encoded(PictureFormat::Jpeg, 16, 16);
    size_t sof = jpeg.find("\xFF\xC0");
    std::string size;
    PutBe16(size, h);
    PutBe16(size, w);
    return jpeg.replace(sof + 5, 4, size);
}

// A PNG whose IHDR claims another size, with a correct CRC.
std::string PngSized(uint32_t w, uint32_t h)
{
    std::string png = Encoded(PictureFormat::Png, 16, 16);
    std::string body;
    PutBe32(body, w);
    PutBe32(body, h);
    body += png.substr(24, 5);
    return png.substr(0, 8) + PngChunk("IHDR", body) + png.substr(33);
}

std::string GifSized(uint32_t w, uint32_t h)
{
    std::string gif = Encoded(PictureFormat::Gif, 16, 16);
    std::string size;
    Put16(size, w);
    Put16(size, h);
    return gif.replace(6, 4, size);
}

// A minimal gray TIFF whose directory claims w x h.
std::string TiffSized(uint32_t w, uint32_t h)
{
    std::string t("II*\0", 4);
    Put32(t, 8);
    const uint32_t entries[][3] = {{256, 4, w}, {257, 4, h}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                   {273, 4, 200}, {277, 3, 1}, {278, 4, h}, {279, 4, w}};
    Put16(t, 9);
    for (auto& e : entries) {
        Put16(t, e[0]);
        Put16(t, e[1]);
        Put32(t, 1);
        if (e[1] == 3) {
            Put16(t, e[2]);
            Put16(t, 0);
        } else {
            Put32(t, e[2]);
        }
    }
    Put32(t, 0);
    t.resize(300, '\x7F');
    return t;
}

std::string BmpSized(int32_t w, int32_t h) { return MakeBmp(InfoHeader(w, h, 24, 0), "", std::string(64, '\0')); }

std::string IcoWith(const std::string& entry)
{
    std::string ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, 1);
    ico += {0, 0, 0, 0};
    Put16(ico, 1);
    Put16(ico, 32);
    Put32(ico, uint32_t(entry.size()));
    Put32(ico, 22);
    return ico + entry;
}

struct Case {
    const char* name;
    std::string bytes;
    CodecResult probe;  // kCodecOk where only the pixels are damaged
    CodecResult decode; // kCodecOk: decodes what it can (a decoder warning)
};

// The JPEG cut right after its scan header, with or without its end marker:
// a scan that holds no image data at all.
std::string JpegWithoutScanData(const std::string& jpeg, bool withEnd)
{
    size_t sos = jpeg.find("\xFF\xDA");
    size_t length = size_t(uint8_t(jpeg[sos + 2])) << 8 | uint8_t(jpeg[sos + 3]);
    return jpeg.substr(0, sos + 2 + length) + (withEnd ? "\xFF\xD9" : "");
}

std::vector<Case> BadBytes()
{
    const int32_t big = 20000; // 20000 x 20000 > 2^28
    std::string jpeg = Encoded(PictureFormat::Jpeg), png = Encoded(PictureFormat::Png), gif = Encoded(PictureFormat::Gif),
                tiff = Encoded(PictureFormat::Tiff), bmp = Encoded(PictureFormat::Bmp);
    std::string icoPng = IcoWith(png);
    std::string zeros(200, '\0');
    return {
        {"empty", "", kCodecCorrupt, kCodecCorrupt},
        {"unknown", "hello", kCodecUnknownFormat, kCodecUnknownFormat},
        // A JPEG cut short in its scan: libjpeg-turbo warns and fills in.
        {"jpeg truncated in scan", jpeg.substr(0, jpeg.size() / 2), kCodecOk, kCodecOk},
        {"jpeg truncated in header", jpeg.substr(0, 40), kCodecCorrupt, kCodecCorrupt},
        // A scan without a byte of image data would decode to made-up grey.
        {"jpeg scan without data", JpegWithoutScanData(jpeg, true), kCodecCorrupt, kCodecCorrupt},
        {"jpeg cut after scan header", JpegWithoutScanData(jpeg, false), kCodecCorrupt, kCodecCorrupt},
        {"jpeg corrupt", "\xFF\xD8\xFF" + zeros, kCodecCorrupt, kCodecCorrupt},
        {"jpeg too large", JpegSized(60000, 60000), kCodecTooLarge, kCodecTooLarge},
        {"jpeg width 0", JpegSized(0, 16), kCodecTooLarge, kCodecCorrupt},
        {"jpeg height 0", JpegSized(16, 0), kCodecTooLarge, kCodecCorrupt},
        {"png truncated", png.substr(0, png.size() / 2), kCodecOk, kCodecCorrupt},
        {"png truncated in header", png.substr(0, 20), kCodecCorrupt, kCodecCorrupt},
        {"png corrupt", png.substr(0, 8) + zeros, kCodecCorrupt, kCodecCorrupt},
        {"png too large", PngSized(big, big), kCodecTooLarge, kCodecTooLarge},
        {"png width 0", PngSized(0, 16), kCodecTooLarge, kCodecCorrupt},
        {"gif truncated", gif.substr(0, gif.size() / 2), kCodecOk, kCodecCorrupt},
        {"gif corrupt", "GIF89a" + std::string("\x10\0\x10\0", 4) + zeros, kCodecOk, kCodecCorrupt},
        {"gif too large", GifSized(65535, 65535), kCodecTooLarge, kCodecTooLarge},
        {"gif height 0", GifSized(16, 0), kCodecTooLarge, kCodecTooLarge},
        {"tiff truncated", tiff.substr(0, tiff.size() / 2), kCodecCorrupt, kCodecCorrupt},
        {"tiff corrupt", std::string("II*\0", 4) + zeros, kCodecCorrupt, kCodecCorrupt},
        {"tiff too large", TiffSized(big, big), kCodecTooLarge, kCodecTooLarge},
        {"tiff width 0", TiffSized(0, 16), kCodecCorrupt, kCodecCorrupt},
        {"bmp truncated", bmp.substr(0, bmp.size() / 2), kCodecOk, kCodecCorrupt},
        {"bmp corrupt", "BM" + zeros, kCodecCorrupt, kCodecCorrupt},
        {"bmp too large", BmpSized(big, big), kCodecTooLarge, kCodecTooLarge},
        {"bmp most negative height", BmpSized(16, INT32_MIN), kCodecTooLarge, kCodecTooLarge},
        {"bmp width 0", BmpSized(0, 16), kCodecTooLarge, kCodecTooLarge},
        {"ico truncated", icoPng.substr(0, icoPng.size() / 2), kCodecOk, kCodecCorrupt},
        {"ico directory cut", icoPng.substr(0, 12), kCodecCorrupt, kCodecCorrupt},
        {"ico entry outside", IcoWith("").substr(0, 22), kCodecCorrupt, kCodecCorrupt},
        {"ico png too large", IcoWith(PngSized(big, big)), kCodecTooLarge, kCodecTooLarge},
        {"ico bmp too large", IcoWith(InfoHeader(big, 2 * big, 32, 0) + zeros), kCodecTooLarge, kCodecTooLarge},
    };
}

TEST(CodecBadInput, BytesFailCleanlyAndQuietly)
{
    struct Outcome {
        CodecResult probe, decode;
        PictureHeader header;
        Picture picture;
    };
    std::vector<Case> cases = BadBytes();
    std::vector<Outcome> outcomes(cases.size());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string& b = cases[i].bytes;
        outcomes[i].probe = ProbePictureBytes(Bytes(b), b.size(), outcomes[i].header);
        outcomes[i].decode = DecodePictureBytes(Bytes(b), b.size(), outcomes[i].picture);
    }
    std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Outcome& o = outcomes[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(o.probe, c.probe);
        EXPECT_EQ(o.decode, c.decode);
        if (c.decode != kCodecOk) {
            EXPECT_FALSE(o.picture.pixels);
            EXPECT_EQ(o.picture.width, 0);
        }
        if (c.probe != kCodecOk) {
            EXPECT_EQ(o.header.width, 0);
        }
    }
}

TEST(CodecBadInput, FilesFailWithTheirReason)
{
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("empty.png"), ""));
    ASSERT_TRUE(WriteFile(dir.File("locked.png"), Encoded(PictureFormat::Png)));
    chmod(dir.File("locked.png").c_str(), 0);
    mkdir(dir.File("folder.jpg").c_str(), 0755);
    mkfifo(dir.File("pipe.bmp").c_str(), 0644);
    bool canLock = access(dir.File("locked.png").c_str(), R_OK) != 0; // root reads anyway
    struct FileCase {
        const char* name;
        std::string path;
        CodecResult want;
    };
    const FileCase cases[] = {
        {"missing", dir.File("missing.png"), kCodecNotFound},
        {"missing folder", dir.File("nowhere/a.png"), kCodecNotFound},
        {"empty name", "", kCodecNotFound},
        {"empty file", dir.File("empty.png"), kCodecCorrupt},
        {"directory", dir.File("folder.jpg"), kCodecAccessDenied},
        {"fifo (must not block)", dir.File("pipe.bmp"), kCodecAccessDenied},
        {"unreadable", dir.File("locked.png"), kCodecAccessDenied},
    };
    for (const FileCase& c : cases) {
        if (std::string(c.name) == "unreadable" && !canLock)
            continue;
        SCOPED_TRACE(c.name);
        PictureHeader header;
        EXPECT_EQ(ProbePictureFile(c.path, header), c.want);
        Picture pic;
        EXPECT_EQ(DecodePictureFile(c.path, pic), c.want);
        EXPECT_FALSE(pic.pixels);
    }
    if (!canLock)
        GTEST_SKIP() << "running as root: a file without read permission is still readable";
}

// The probe reads on when the header lies beyond its first read (JPEG
// metadata segments), and libtiff seeks to a directory at the file's end.
TEST(CodecBadInput, ProbeFindsHeadersFarIntoTheFile)
{
    TempDir dir;
    std::string jpeg = Encoded(PictureFormat::Jpeg, 40, 30);
    std::string app;
    for (int i = 0; i < 4; ++i) {
        app += "\xFF\xE2";
        PutBe16(app, 65535);
        app += std::string(65533, char('a' + i));
    }
    jpeg.insert(2, app);
    TiffPage page{300, 300, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, false, -1, std::vector<uint8_t>(300 * 300 * 3, 7)};
    std::string tiff = MakeTiff({page});
    ASSERT_GT(tiff.size(), size_t(200000));
    ASSERT_TRUE(WriteFile(dir.File("big-app.jpg"), jpeg));
    ASSERT_TRUE(WriteFile(dir.File("end-ifd.tif"), tiff));
    PictureHeader header;
    ASSERT_EQ(ProbePictureFile(dir.File("big-app.jpg"), header), kCodecOk);
    EXPECT_EQ(header.width, 40);
    EXPECT_EQ(header.height, 30);
    ASSERT_EQ(ProbePictureFile(dir.File("end-ifd.tif"), header), kCodecOk);
    EXPECT_EQ(header.format, PictureFormat::Tiff);
    EXPECT_EQ(header.width, 300);
    Picture pic;
    EXPECT_EQ(DecodePictureFile(dir.File("big-app.jpg"), pic), kCodecOk);
    EXPECT_EQ(pic.width, 40);
}

// Runs check in a child process whose address space may grow by 256 MB at
// most: a decoder that allocated the full size of a hostile picture (1 GB
// and more) would get kCodecOutOfMemory there. The child's exit code is the
// number of failed checks. Sanitizers reserve far more address space than
// that, so their builds skip this.
int FailuresInTightMemory(const std::function<int()>& check)
{
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        setrlimit(RLIMIT_AS, &limit);
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

bool UnderSanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#endif
#endif
    return false;
}

// A GIF whose 16384 x 16384 screen holds one frame descriptor and no data.
std::string GifWithoutData()
{
    std::string gif = "GIF89a";
    Put16(gif, 16384);
    Put16(gif, 16384);
    gif += {0, 0, 0};
    gif += ',';
    Put16(gif, 0);
    Put16(gif, 0);
    Put16(gif, 16384);
    Put16(gif, 16384);
    gif += {0, 8, 0, ';'}; // no local table, code size 8, no sub-block, trailer
    return gif;
}

// Files that claim 16384 x 16384 pixels (1 GB decoded) but hold no image
// data: no IDAT, no scan data, a strip outside the file, an entry shorter
// than its own header, no frame data. Refused as damaged before the
// picture's buffer is allocated, as bytes and as files, by the probe too.
TEST(CodecBadInput, NoImageDataIsRefusedBeforeThePictureIsAllocated)
{
    if (UnderSanitizer())
        GTEST_SKIP() << "a sanitizer's address space does not fit a tight limit";
    const int side = 16384;
    std::string png = PngSized(side, side);
    std::string pngWithoutData = png.substr(0, 33) + PngChunk("IEND", "");
    std::string pngEmptyData = png.substr(0, 33) + PngChunk("IDAT", "") + PngChunk("IEND", "");
    std::string jpeg = JpegSized(side, side);
    size_t sos = jpeg.find("\xFF\xDA");
    std::string jpegWithoutData = jpeg.substr(0, sos + 2 + (uint8_t(jpeg[sos + 2]) << 8 | uint8_t(jpeg[sos + 3]))) +
                                  "\xFF\xD9";
    const std::pair<const char*, std::string> files[] = {
        {"png.png", pngWithoutData},
        {"png-empty-idat.png", pngEmptyData},
        {"ico-png.ico", IcoWith(pngWithoutData)},
        {"ico-dib.ico", IcoWith(InfoHeader(side, side, 32, 0) + std::string(64, '\0'))}, // 16384 x 8192
        {"tiff.tif", TiffSized(side, side)},
        {"bmp.bmp", BmpSized(side, side)},
        {"jpeg.jpg", jpegWithoutData},
        {"gif.gif", GifWithoutData()},
    };
    TempDir dir;
    for (const auto& [name, bytes] : files)
        ASSERT_TRUE(WriteFile(dir.File(name), bytes));
    testing::internal::CaptureStderr();
    int failures = FailuresInTightMemory([&] {
        int failed = 0;
        for (const auto& [name, bytes] : files) {
            Picture picture;
            PictureHeader header;
            CodecResult results[3] = {DecodePictureBytes(Bytes(bytes), bytes.size(), picture),
                                      DecodePictureFile(dir.File(name), picture),
                                      ProbePictureFile(dir.File(name), header)};
            for (CodecResult result : results) {
                if (result != kCodecCorrupt) {
                    std::fprintf(stderr, "%s: %d\n", name, int(result));
                    ++failed;
                }
            }
        }
        return failed;
    });
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failures, 0) << printed;
}

// A small picture followed by a great deal of anything: only what the
// decoder needs is read, not the whole file (here 1.5 GB, sparse).
TEST(CodecBadInput, OnlyWhatTheDecoderNeedsIsRead)
{
    if (UnderSanitizer())
        GTEST_SKIP() << "a sanitizer's address space does not fit a tight limit";
    TempDir dir;
    const std::pair<const char*, PictureFormat> formats[] = {
        {"tail.bmp", PictureFormat::Bmp}, {"tail.png", PictureFormat::Png}, {"tail.tif", PictureFormat::Tiff}};
    for (const auto& [name, format] : formats) {
        ASSERT_TRUE(WriteFile(dir.File(name), Encoded(format, 40, 30)));
        ASSERT_EQ(truncate(dir.File(name).c_str(), off_t(1536) << 20), 0);
    }
    testing::internal::CaptureStderr();
    int failures = FailuresInTightMemory([&] {
        int failed = 0;
        for (const auto& entry : formats) {
            Picture picture;
            CodecResult result = DecodePictureFile(dir.File(entry.first), picture);
            if (result != kCodecOk || picture.width != 40) {
                std::fprintf(stderr, "%s: %d\n", entry.first, int(result));
                ++failed;
            }
        }
        return failed;
    });
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failures, 0) << printed;
}

} // namespace
