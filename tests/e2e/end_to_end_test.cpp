// The whole program, as a user meets it: the dialog, the written anaglyph,
// the full-screen result, and the ways a run can end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/codecs/codec.h"
#include "tests/anaglyph/stereo_fixtures.h"
#include "tests/e2e/program.h"
#include "tests/e2e/run_command.h"
#include "tests/support/x_windows.h"
#include "tests/support/xdotool.h"
#include "tests/support/xserver.h"

using namespace sgtest;

namespace {

constexpr int kRunTimeoutMs = 120000;

std::string Sample(const std::string& name)
{
    return std::string(SG_TEST_DATA_DIR) + "/" + name;
}

void Copy(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Enters path in the open-file dialog's location field and confirms it. The
// path is pasted from the clipboard, since typing letters that the keyboard
// map lacks is unreliable.
bool Choose(const std::string& path)
{
    unsigned long dialog = WaitForTitle("Select File");
    if (!dialog)
        return false;
    SetClipboardText(path);
    DriveWindow(dialog, {"sleep:300", "key:ctrl+l", "key:ctrl+a", "key:ctrl+v", "sleep:200", "key:Return"});
    return true;
}

// Waits until the result window shows a picture between black bars.
bool WaitForResult()
{
    return WaitUntil(
        [] {
            int w = 0, h = 0;
            std::vector<uint32_t> screen = Screen(w, h);
            return !screen.empty() && screen[540 * w + 4] == 0 && screen[540 * w + 960] != 0;
        },
        kRunTimeoutMs);
}

bool ConfirmMessageBox()
{
    unsigned long box = WaitForTitle("Stereoglass");
    if (!box)
        return false;
    DriveWindow(box, {"sleep:200", "key:Return"});
    return true;
}

double Psnr(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16}) {
            double d = static_cast<double>((a[i] >> shift) & 0xFF) - static_cast<double>((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    double mse = sum / (3.0 * static_cast<double>(a.size()));
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::vector<uint32_t> Rgb(const Picture& picture)
{
    std::vector<uint32_t> out(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = picture.pixels[i] & 0xFFFFFF;
    return out;
}

// The program's settings folder for as long as this lives: the program
// inherits it; other tests keep theirs.
class ConfigHome {
public:
    explicit ConfigHome(const std::string& folder)
    {
        const char* before = std::getenv("XDG_CONFIG_HOME");
        hadOne_ = before != nullptr;
        previous_ = before ? before : "";
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome()
    {
        if (hadOne_)
            setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

private:
    bool hadOne_ = false;
    std::string previous_;
};

// Every test ends its program, so that a failed one leaves no dialog or
// window behind for the next.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override { SG_REQUIRE_WM(); }
    void TearDown() override
    {
        if (program.pid > 0)
            WaitForExit(program, 0);
    }
    // Copies sample into folder as name, runs the program there, chooses the
    // copy in the dialog and waits for the result window. The copy's path.
    std::string RunOn(const std::string& sample, const std::string& folder, const std::string& name)
    {
        std::string path = folder + "/" + name;
        Copy(Sample(sample), path);
        program = StartProgram(folder);
        resultShown = Choose(path) && WaitForResult();
        return path;
    }
    Program program;
    bool resultShown = false;
};

} // namespace

TEST_F(EndToEnd, WritesTheAnaglyphBesideTheSourceAndShowsItUntilAKey)
{
    std::string photos = MakeFolder("run/Photos");
    RunOn("figure-sbs.jps", photos, "Figure.JPS");
    ASSERT_TRUE(resultShown);

    // The file: lower-case name in the source's own folder, half the width.
    std::string output = photos + "/figure_anaglyph.jpg";
    Picture written, source;
    ASSERT_EQ(DecodePictureFile(output, written), kCodecOk);
    ASSERT_EQ(DecodePictureFile(photos + "/Figure.JPS", source), kCodecOk);
    ASSERT_EQ(written.width, 522);
    ASSERT_EQ(written.height, 720);
    std::vector<uint32_t> expected(522 * 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 522; ++x) {
            uint32_t left = source.pixels[y * 1044 + x], right = source.pixels[y * 1044 + 522 + x];
            expected[y * 522 + x] = (left & 0xFF0000) | (right & 0x00FFFF);
        }
    EXPECT_GE(Psnr(Rgb(written), expected), 38.0);

    // The screen: the written file fitted inside and centred between black
    // bars. The ratio 720 / 522 is held as a 32-bit float, a little above
    // its exact value, so X0 = round((1920 - 1080 / r) / 2) = round(568.500002)
    // = 569 and the picture covers columns 569..1352 (784 columns).
    int w = 0, h = 0;
    std::vector<uint32_t> screen = Screen(w, h);
    ASSERT_EQ(w, 1920);
    ASSERT_EQ(h, 1080);
    std::vector<uint32_t> shown, fromFile;
    bool barsBlack = true;
    for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x) {
            uint32_t pixel = screen[y * 1920 + x];
            if (x < 569 || x > 1352) {
                barsBlack = barsBlack && pixel == 0;
                continue;
            }
            int sx = ((x - 569 + 1) * 522 + 783) / 784 - 1; // block replication
            int sy = ((y + 1) * 720 + 1080) / 1081 - 1;
            shown.push_back(pixel);
            fromFile.push_back(written.pixels[sy * 522 + sx] & 0xFFFFFF);
        }
    EXPECT_TRUE(barsBlack);
    EXPECT_GE(Psnr(shown, fromFile), 40.0);

    Xdotool("key a");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, AMultiPictureFileGivesItsTwoViews)
{
    // The figure's two halves as the two pictures of a multi-picture file
    // (big-endian index, zero padding between them, as Fujifilm writes).
    Picture figure;
    ASSERT_EQ(DecodePictureFile(Sample("figure-sbs.jps"), figure), kCodecOk);
    std::string views[2];
    Picture decoded[2];
    for (int i = 0; i < 2; ++i) {
        std::vector<uint32_t> half(522 * 720);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 522; ++x)
                half[y * 522 + x] = figure.pixels[y * 1044 + i * 522 + x];
        ASSERT_EQ(EncodePictureBytes(views[i], EncodeFormat::Jpeg, half.data(), 522, 720, false), kCodecOk);
        decoded[i] = DecodeBytes(views[i]);
    }
    std::string folder = MakeFolder("mpo");
    std::string path = folder + "/Pair.MPO";
    std::string mpo = MakeMpo({{views[0], 0x020002, 1}, {views[1], 0x020002, 2}}, {true, 4096});
    std::ofstream(path, std::ios::binary).write(mpo.data(), std::streamsize(mpo.size()));

    program = StartProgram(folder);
    ASSERT_TRUE(Choose(path) && WaitForResult());
    // Each picture is a whole view: the anaglyph has a view's size, red from
    // the first picture and cyan from the second.
    Picture written;
    ASSERT_EQ(DecodePictureFile(folder + "/pair_anaglyph.jpg", written), kCodecOk);
    ASSERT_EQ(written.width, 522);
    ASSERT_EQ(written.height, 720);
    std::vector<uint32_t> expected(522 * 720);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = (decoded[0].pixels[i] & 0xFF0000) | (decoded[1].pixels[i] & 0x00FFFF);
    EXPECT_GE(Psnr(Rgb(written), expected), 38.0);
    Xdotool("key a");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, GlassesPickedInTheDialogAreUsedAndRememberedBesideTheUsersLines)
{
    std::string photos = MakeFolder("glasses");
    std::string config = MakeFolder("glasses-config");
    std::filesystem::create_directories(config + "/stereoglass");
    const std::string settingsFile = config + "/stereoglass/stereoglass.conf";
    const std::string usersLines = "# my defaults\nstrip = no   # keep EXIF\n";
    std::ofstream(settingsFile) << usersLines;
    ConfigHome configHome(config);

    std::string path = photos + "/pair.jps";
    Copy(Sample("figure-sbs.jps"), path);
    program = StartProgram(photos);
    unsigned long dialog = WaitForTitle("Select File");
    ASSERT_NE(dialog, 0u);
    SetClipboardText(path);
    // Glasses: one down from red-cyan is green-magenta.
    DriveWindow(dialog, {"sleep:300", "key:alt+g", "sleep:100", "key:Down", "sleep:100", "key:ctrl+l", "key:ctrl+a",
                         "key:ctrl+v", "sleep:200", "key:Return"});
    ASSERT_TRUE(WaitForResult());

    // Green from the left view, red and blue from the right.
    Picture written, source;
    ASSERT_EQ(DecodePictureFile(photos + "/pair_anaglyph.jpg", written), kCodecOk);
    ASSERT_EQ(DecodePictureFile(path, source), kCodecOk);
    ASSERT_EQ(written.width, 522);
    std::vector<uint32_t> greenMagenta(522 * 720), redCyan(522 * 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 522; ++x) {
            uint32_t left = source.pixels[y * 1044 + x], right = source.pixels[y * 1044 + 522 + x];
            greenMagenta[y * 522 + x] = (left & 0x00FF00) | (right & 0xFF00FF);
            redCyan[y * 522 + x] = (left & 0xFF0000) | (right & 0x00FFFF);
        }
    EXPECT_GE(Psnr(Rgb(written), greenMagenta), 38.0);
    EXPECT_LT(Psnr(Rgb(written), redCyan), 30.0);

    // Remembered for the next run, after the user's own lines.
    std::string settings = ReadFile(settingsFile);
    EXPECT_EQ(settings.rfind(usersLines, 0), 0u) << settings;
    EXPECT_NE(settings.find("glasses = green-magenta"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("method"), std::string::npos) << "only what changed is written: " << settings;
    Xdotool("key a");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, AlignAndTheAutomaticWindowTickedInTheDialogAreUsedAndRemembered)
{
    std::string photos = MakeFolder("align");
    std::string config = MakeFolder("align-config");
    std::filesystem::create_directories(config + "/stereoglass");
    const std::string settingsFile = config + "/stereoglass/stereoglass.conf";
    std::ofstream(settingsFile) << "shift = 7\n";
    ConfigHome configHome(config);

    std::string path = photos + "/pair.jps";
    Copy(Sample("figure-sbs.jps"), path);
    program = StartProgram(photos);
    unsigned long dialog = WaitForTitle("Select File");
    ASSERT_NE(dialog, 0u);
    SetClipboardText(path);
    DriveWindow(dialog, {"sleep:300", "key:alt+a", "sleep:100", "key:alt+u", "sleep:100", "key:ctrl+l", "key:ctrl+a",
                         "key:ctrl+v", "sleep:200", "key:Return"});
    ASSERT_TRUE(WaitForResult());

    // The window was measured (the figure's nearest part sits a few pixels
    // in front of it), not the file's 7 pixels.
    Picture written;
    ASSERT_EQ(DecodePictureFile(photos + "/pair_anaglyph.jpg", written), kCodecOk);
    EXPECT_GT(written.width, 522 - 7);
    EXPECT_LT(written.width, 522);
    EXPECT_EQ(written.height, 720) << "a level pair is not cropped";
    std::string settings = ReadFile(settingsFile);
    EXPECT_NE(settings.find("shift = auto"), std::string::npos) << settings;
    EXPECT_NE(settings.find("align = yes"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("shift = 7"), std::string::npos) << settings;
    Xdotool("key a");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, OddWidthRoundsTheHalfToEvenAndClosingTheWindowEndsTheRun)
{
    std::string folder = MakeFolder("odd");
    RunOn("bench-sbs-959.png", folder, "Bench.png");
    ASSERT_TRUE(resultShown);
    PictureHeader header;
    ASSERT_EQ(ProbePictureFile(folder + "/bench_anaglyph.jpg", header), kCodecOk);
    EXPECT_EQ(header.width, 480); // 959 / 2 = 479.5 rounds to 480
    EXPECT_EQ(header.height, 494);
    Xdotool("key alt+F4");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, NonAsciiNameGivesALowerCaseOutputName)
{
    std::string folder = MakeFolder("\xC3\x89t\xC3\xA9s");
    RunOn("bench-sbs-959.png", folder, "\xC3\x89t\xC3\xA9.PNG");
    ASSERT_TRUE(resultShown);
    EXPECT_TRUE(std::filesystem::exists(folder + "/\xC3\xA9t\xC3\xA9_anaglyph.jpg"));
    Xdotool("key Escape");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
}

TEST_F(EndToEnd, CancelEndsAtOnceAndLeavesTheClipboardAlone)
{
    std::string folder = MakeFolder("cancel");
    Copy(Sample("bench-sbs-959.png"), folder + "/pair.png");
    SetClipboardText("keep me");
    ASSERT_EQ(ClipboardText(), "keep me");
    program = StartProgram(folder);
    unsigned long dialog = WaitForTitle("Select File");
    ASSERT_NE(dialog, 0u);
    DriveWindow(dialog, {"sleep:300", "key:Escape"});
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
    EXPECT_EQ(FolderNames(folder), std::set<std::string>{"pair.png"});
    EXPECT_EQ(ClipboardText(), "keep me");
}

TEST_F(EndToEnd, UnreadableOrUnwritableRunsSayWhyAndWriteNothing)
{
    struct Case {
        const char* name;
        const char* file;
        bool picture;  // a real picture, or a text file with a picture's name
        bool readOnly; // the folder lacks its write bit (run as nobody)
    };
    const Case cases[] = {
        {"not a picture", "Broken.PNG", false, false},
        {"folder without write access", "pair.png", true, true},
    };
    for (const Case& c : cases) {
        std::string folder = MakeFolder(std::string("fail-") + (c.readOnly ? "ro" : "rd"));
        std::string path = folder + "/" + c.file;
        if (c.picture)
            Copy(Sample("bench-sbs-959.png"), path);
        else
            std::ofstream(path) << "just some words";
        chmod(path.c_str(), 0644);
        if (c.readOnly)
            chmod(folder.c_str(), 0555);
        program = StartProgram(folder, c.readOnly);
        ASSERT_TRUE(Choose(path)) << c.name;
        EXPECT_TRUE(ConfirmMessageBox()) << c.name;
        EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0) << c.name;
        EXPECT_EQ(FolderNames(folder), std::set<std::string>{c.file}) << c.name; // no partial file
        chmod(folder.c_str(), 0755);
    }
}

// "stereoglass FILE", as a file manager's "Open with" calls it: no dialog,
// the anaglyph written beside the file and shown until a key.
TEST_F(EndToEnd, FileOnTheCommandLineIsConvertedAndShownWithoutTheDialog)
{
    std::string folder = MakeFolder("open-with");
    Copy(Sample("bench-sbs-959.png"), folder + "/Bench.png");
    program = StartProgram(folder, false, true, {"--swap=no", folder + "/Bench.png"});
    ASSERT_TRUE(WaitForResult());
    Picture written;
    ASSERT_EQ(DecodePictureFile(folder + "/bench_anaglyph.jpg", written), kCodecOk);
    EXPECT_EQ(written.width, 480);
    EXPECT_EQ(written.height, 494);
    // The screen shows the written file between black bars.
    int w = 0, h = 0;
    std::vector<uint32_t> screen = Screen(w, h);
    ASSERT_EQ(h, 1080);
    EXPECT_EQ(screen[540 * w + 4], 0u);
    Xdotool("key space");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
    EXPECT_EQ(FolderNames(folder), (std::set<std::string>{"Bench.png", "bench_anaglyph.jpg"}));
}

// A run from the desktop has no terminal: a bad settings file is also shown
// in a box, and the run stops before the picture is touched.
TEST_F(EndToEnd, BadSettingsFileIsShownInABoxAndNothingIsDone)
{
    std::string folder = MakeFolder("bad-settings");
    Copy(Sample("bench-sbs-959.png"), folder + "/pair.png");
    std::filesystem::create_directories(folder + "/config/stereoglass");
    std::ofstream(folder + "/config/stereoglass/stereoglass.conf") << "glasses = purple\n";
    const char* display = getenv("DISPLAY");
    ASSERT_NE(display, nullptr);
    CommandRun run;
    std::thread runner([&] {
        run = RunCommand({SG_PROGRAM, "pair.png"}, folder,
                         {std::string("DISPLAY=") + display, "XDG_CONFIG_HOME=" + folder + "/config"});
    });
    EXPECT_TRUE(ConfirmMessageBox());
    runner.join();
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "stereoglass: " + folder +
                           "/config/stereoglass/stereoglass.conf:1: glasses takes one of "
                           "red-cyan|green-magenta|amber-blue, got 'purple'\n");
    EXPECT_EQ(FolderNames(folder), (std::set<std::string>{"config", "pair.png"}));
}

TEST(EndToEndNoDisplay, SaysSoAndExitsWith255)
{
    std::string folder = MakeFolder("nodisplay");
    Program program = StartProgram(folder, false, false);
    EXPECT_EQ(WaitForExit(program, 30000), 255);
    EXPECT_EQ(ReadFile(program.errors), "stereoglass: cannot open display\n");
}
