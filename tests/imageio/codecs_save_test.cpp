// Saving is atomic: the target appears complete or not at all, an existing
// file survives every failure, and no temporary file stays behind.
#include "codecs_fixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixtures;

namespace {

Pixels Picture64() { return Pixels(64 * 64, 0xFF336699u); }

TEST(CodecSave, EveryFormatWritesExactlyItsBytes)
{
    TempDir dir;
    Pixels px = Picture64();
    const std::pair<PictureFormat, const char*> formats[] = {{PictureFormat::Bmp, "a.bmp"}, {PictureFormat::Jpeg, "a.jpg"},
                                                            {PictureFormat::Gif, "a.gif"}, {PictureFormat::Tiff, "a.tif"},
                                                            {PictureFormat::Png, "a.png"}};
    mode_t mask = umask(022);
    umask(mask);
    for (auto [format, name] : formats) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteFile(dir.File(name), std::string(100000, 'x'))); // replaced whole
        ASSERT_EQ(EncodePictureFile(dir.File(name), format, px.data(), 64, 64, false), kCodecOk);
        std::string want;
        ASSERT_EQ(EncodePictureBytes(want, format, px.data(), 64, 64, false), kCodecOk);
        EXPECT_EQ(ReadFile(dir.File(name)), want);
    }
    EXPECT_EQ(dir.Names().size(), 5u);
    ASSERT_EQ(EncodePictureFile(dir.File("new.png"), PictureFormat::Png, px.data(), 64, 64, false), kCodecOk);
    struct stat st;
    ASSERT_EQ(stat(dir.File("new.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(CodecSave, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    TempDir dir;
    Pixels px = Picture64();
    const std::string old = "old contents";
    ASSERT_TRUE(WriteFile(dir.File("keep.jpg"), old));
    mkdir(dir.File("folder.png").c_str(), 0755);
    ASSERT_TRUE(WriteFile(dir.File("plain-file"), "x"));

    struct Case {
        const char* name;
        std::string path;
        int32_t width;
        CodecResult want;
    };
    const Case cases[] = {
        {"bad size keeps the old file", dir.File("keep.jpg"), 0, kCodecTooLarge},
        {"folder missing", dir.File("missing/a.png"), 64, kCodecNotFound},
        {"parent is a file", dir.File("plain-file/a.png"), 64, kCodecNotFound},
        {"target is a folder", dir.File("folder.png"), 64, kCodecAccessDenied},
        {"empty name", "", 64, kCodecNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EncodePictureFile(c.path, PictureFormat::Png, px.data(), c.width, 64, false), c.want);
    }
    EXPECT_EQ(ReadFile(dir.File("keep.jpg")), old);
    struct stat st;
    EXPECT_TRUE(stat(dir.File("folder.png").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    EXPECT_EQ(dir.Names().size(), 3u);
}

// A write that fails half-way (here: the file size limit) removes its
// temporary file and leaves the old target as it was.
TEST(CodecSave, FailedWriteHalfWayKeepsTheOldFile)
{
    TempDir dir;
    const std::string old = "old contents";
    ASSERT_TRUE(WriteFile(dir.File("keep.bmp"), old));
    Pixels px(512 * 512, 0xFF123456u); // a 1 MiB BMP
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    CodecResult result = EncodePictureFile(dir.File("keep.bmp"), PictureFormat::Bmp, px.data(), 512, 512, false);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(result, kCodecWriteFailed);
    EXPECT_EQ(ReadFile(dir.File("keep.bmp")), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.bmp"});
}

// A symbolic link at the output name is replaced by the new file; the file
// it points to (another user's, or the source picture itself) is untouched.
TEST(CodecSave, LinkAtTheNameIsReplacedNotFollowed)
{
    TempDir dir;
    Pixels px = Picture64();
    ASSERT_TRUE(WriteFile(dir.File("victim"), "precious"));
    ASSERT_EQ(symlink(dir.File("victim").c_str(), dir.File("out.jpg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.File("dangling.jpg").c_str()), 0);
    mkdir(dir.File("folder").c_str(), 0755);
    ASSERT_EQ(symlink(dir.File("folder").c_str(), dir.File("to-folder.jpg").c_str()), 0);
    for (const char* name : {"out.jpg", "dangling.jpg", "to-folder.jpg"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(EncodePictureFile(dir.File(name), PictureFormat::Jpeg, px.data(), 64, 64, false), kCodecOk);
        struct stat st;
        ASSERT_EQ(lstat(dir.File(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link itself is replaced";
        EXPECT_EQ(ReadFile(dir.File(name)).substr(0, 2), "\xFF\xD8");
    }
    EXPECT_EQ(ReadFile(dir.File("victim")), "precious");
    EXPECT_FALSE(access(dir.File("nowhere").c_str(), F_OK) == 0);
    EXPECT_TRUE(dir.Names().size() == 5u);
}

// The temporary file fits the file system's limit on a name: an output
// name of the longest length allowed is written.
TEST(CodecSave, LongestLegalNameIsWritten)
{
    TempDir dir;
    Pixels px = Picture64();
    long limit = pathconf(dir.path.c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 16);
    for (size_t length : {size_t(limit) - 8, size_t(limit) - 4, size_t(limit)}) {
        std::string name = std::string(length - 4, 'n') + ".jpg";
        SCOPED_TRACE(length);
        EXPECT_EQ(EncodePictureFile(dir.File(name), PictureFormat::Jpeg, px.data(), 64, 64, false), kCodecOk);
        EXPECT_EQ(ReadFile(dir.File(name)).substr(0, 2), "\xFF\xD8");
    }
    EXPECT_EQ(dir.Names().size(), 3u) << "no temporary file is left";
}

// On a full disk the save says so, and leaves neither a partial file nor
// its temporary one. A 64 KiB file system of its own is mounted for it,
// which needs root; elsewhere the test is skipped.
TEST(CodecSave, FullDiskSaysSo)
{
    TempDir dir;
    std::string small = dir.File("small");
    mkdir(small.c_str(), 0755);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    Pixels px(512 * 512, 0xFF123456u); // a 1 MiB BMP
    CodecResult result = EncodePictureFile(small + "/big.bmp", PictureFormat::Bmp, px.data(), 512, 512, false);
    size_t left = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(small))
        ++left;
    umount2(small.c_str(), MNT_DETACH);
    EXPECT_EQ(result, kCodecDiskFull);
    EXPECT_EQ(left, 0u) << "a partial or temporary file was left";
}

TEST(CodecSave, UnwritableFolderOrFile)
{
    TempDir dir;
    Pixels px = Picture64();
    mkdir(dir.File("locked").c_str(), 0755);
    ASSERT_TRUE(WriteFile(dir.File("locked/keep.png"), "old"));
    ASSERT_TRUE(WriteFile(dir.File("readonly.png"), "old"));
    chmod(dir.File("locked").c_str(), 0555);
    chmod(dir.File("readonly.png").c_str(), 0444);
    if (access(dir.File("locked").c_str(), W_OK) == 0)
        GTEST_SKIP() << "running as root: permissions do not stop writing";
    EXPECT_EQ(EncodePictureFile(dir.File("locked/keep.png"), PictureFormat::Png, px.data(), 64, 64, false),
              kCodecAccessDenied);
    EXPECT_EQ(EncodePictureFile(dir.File("locked/new.png"), PictureFormat::Png, px.data(), 64, 64, false),
              kCodecAccessDenied);
    EXPECT_EQ(EncodePictureFile(dir.File("readonly.png"), PictureFormat::Png, px.data(), 64, 64, false),
              kCodecAccessDenied);
    EXPECT_EQ(ReadFile(dir.File("locked/keep.png")), "old");
    EXPECT_EQ(ReadFile(dir.File("readonly.png")), "old");
}

} // namespace

// Bytes made in memory (a multi-picture file, an animation) are saved as a
// picture is: exactly, a link at the name replaced and not followed, and a
// failure leaving nothing. The bytes of a view match the file of the view,
// rows apart and quality included.
TEST(CodecSave, BytesInMemorySaveAsPicturesDo)
{
    TempDir dir;
    Pixels px = Picture64();
    const ImageView band{px.data() + 8, 40, 30, 64}; // rows 64 pixels apart
    EncodeOptions options;
    options.jpegQuality = 40;
    for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png}) {
        std::string bytes;
        ASSERT_EQ(EncodeImageBytes(bytes, format, band, options), kCodecOk);
        ASSERT_EQ(EncodeImageFile(dir.File("band"), format, band, options), kCodecOk);
        EXPECT_EQ(ReadFile(dir.File("band")), bytes);
    }

    ASSERT_TRUE(WriteFile(dir.File("victim"), "precious"));
    ASSERT_EQ(symlink(dir.File("victim").c_str(), dir.File("out.mpo").c_str()), 0);
    ASSERT_EQ(SaveFileBytes(dir.File("out.mpo"), "new bytes"), kCodecOk);
    struct stat st;
    ASSERT_EQ(lstat(dir.File("out.mpo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFile(dir.File("out.mpo")), "new bytes");
    EXPECT_EQ(ReadFile(dir.File("victim")), "precious");

    mkdir(dir.File("folder").c_str(), 0755);
    EXPECT_EQ(SaveFileBytes(dir.File("folder"), "x"), kCodecAccessDenied);
    EXPECT_NE(SaveFileBytes(dir.File("missing/out.gif"), "x"), kCodecOk);
    EXPECT_EQ(dir.Names().size(), 4u); // band, victim, out.mpo, folder
}
