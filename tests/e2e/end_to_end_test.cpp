// The whole program, as a user meets it: the dialog, the written anaglyph,
// the full-screen result, and the ways a run can end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "imageio/codecs/codec.h"
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

// Presses choiceKeys in the open-file dialog (its row of choices), then
// enters path in the location field and confirms it. The path is pasted
// from the clipboard, since typing letters that the keyboard map lacks is
// unreliable.
bool Choose(const std::string& path, const std::vector<std::string>& choiceKeys = {})
{
    unsigned long dialog = WaitForTitle("Select File");
    if (!dialog)
        return false;
    SetClipboardText(path);
    std::vector<std::string> steps = {"sleep:300"};
    steps.insert(steps.end(), choiceKeys.begin(), choiceKeys.end());
    steps.insert(steps.end(), {"key:ctrl+l", "key:ctrl+a", "key:ctrl+v", "sleep:200", "key:Return"});
    DriveWindow(dialog, steps);
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

// Pixels of a picture, or a window onto them (a view of a side-by-side
// source), rows stride pixels apart.
struct PixelWindow {
    const uint32_t* pixels;
    int width, height, stride;
};

// How closely the screen shows picture fitted inside and centred on black:
// the PSNR of every third pixel inside its place (a few pixels off its
// edges) against the nearest of the picture's pixels around the one it maps
// to, since where a scaled pixel's edge falls is a matter of rounding; 0
// when the bars around that place are not black.
double FittedPsnr(const PixelWindow& picture, const std::vector<uint32_t>& screen, int w, int h)
{
    double scale = std::min(double(w) / picture.width, double(h) / picture.height);
    int dw = int(std::lround(picture.width * scale)), dh = int(std::lround(picture.height * scale));
    int x0 = (w - dw) / 2, y0 = (h - dh) / 2;
    double sum = 0;
    int64_t count = 0;
    for (int y = 0; y < h; y += 3)
        for (int x = 0; x < w; x += 3) {
            uint32_t pixel = screen[size_t(y) * w + x];
            bool outside = x < x0 - 2 || x > x0 + dw + 1 || y < y0 - 2 || y > y0 + dh + 1;
            if (outside && pixel != 0)
                return 0;
            if (x < x0 + 3 || x > x0 + dw - 4 || y < y0 + 3 || y > y0 + dh - 4)
                continue;
            int sx = int((x - x0 + 0.5) / scale), sy = int((y - y0 + 0.5) / scale);
            double best = 1e9;
            for (int ny = std::max(sy - 1, 0); ny <= std::min(sy + 1, picture.height - 1); ++ny)
                for (int nx = std::max(sx - 1, 0); nx <= std::min(sx + 1, picture.width - 1); ++nx) {
                    uint32_t near = picture.pixels[size_t(ny) * picture.stride + nx];
                    double d = 0;
                    for (int shift : {0, 8, 16}) {
                        double c = double((pixel >> shift) & 0xFF) - double((near >> shift) & 0xFF);
                        d += c * c;
                    }
                    best = std::min(best, d);
                }
            sum += best;
            ++count;
        }
    if (count == 0)
        return 0;
    double mse = sum / (3.0 * double(count));
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

PixelWindow Window(const Picture& picture) { return {picture.pixels.get(), picture.width, picture.height, picture.width}; }

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
        ASSERT_EQ(EncodePictureBytes(views[i], PictureFormat::Jpeg, half.data(), 522, 720, false), kCodecOk);
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
    // A "to" line is for the other runs: the dialog writes the anaglyph.
    const std::string usersLines = "# my defaults\nstrip = no   # keep EXIF\nto = sbs\n";
    const std::string settingsFile = WriteSettingsFile(config, usersLines);
    ConfigHome configHome(config);

    std::string path = photos + "/pair.jps";
    Copy(Sample("figure-sbs.jps"), path);
    program = StartProgram(photos);
    // Glasses: one down from red-cyan is green-magenta.
    ASSERT_TRUE(Choose(path, {"key:alt+g", "sleep:100", "key:Down", "sleep:100"}));
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
    EXPECT_EQ(FolderNames(photos), (std::set<std::string>{"pair.jps", "pair_anaglyph.jpg"}));
}

TEST_F(EndToEnd, AlignAndTheAutomaticWindowTickedInTheDialogAreUsedAndRemembered)
{
    std::string photos = MakeFolder("align");
    std::string config = MakeFolder("align-config");
    const std::string settingsFile = WriteSettingsFile(config, "shift = 7\n");
    ConfigHome configHome(config);

    std::string path = photos + "/pair.jps";
    Copy(Sample("figure-sbs.jps"), path);
    program = StartProgram(photos);
    ASSERT_TRUE(Choose(path, {"key:alt+a", "sleep:100", "key:alt+u", "sleep:100"}));
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

// The dialog's run ends with 0 whatever became of the picture; "stereoglass
// FILE" ends with 1 after the box when the anaglyph could not be made.
TEST_F(EndToEnd, UnreadableOrUnwritableRunsSayWhyAndWriteNothing)
{
    struct Case {
        const char* name;
        const char* file;
        bool picture;       // a real picture, or a text file with a picture's name
        bool readOnly;      // the folder lacks its write bit (run as nobody)
        bool onCommandLine; // "stereoglass FILE" rather than the dialog
        int exitCode;
    };
    const Case cases[] = {
        {"not a picture", "Broken.PNG", false, false, false, 0},
        {"folder without write access", "pair.png", true, true, false, 0},
        {"FILE not a picture", "Broken.PNG", false, false, true, 1},
        {"FILE in a folder without write access", "pair.png", true, true, true, 1},
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
        if (c.onCommandLine) {
            program = StartProgram(folder, c.readOnly, true, {path});
        } else {
            program = StartProgram(folder, c.readOnly);
            ASSERT_TRUE(Choose(path)) << c.name;
        }
        EXPECT_TRUE(ConfirmMessageBox()) << c.name;
        EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), c.exitCode) << c.name;
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

// "stereoglass FILE" writes the kind --to, the settings file's "to" line or
// -o's name asks for, beside the source by its kind's name, and shows the
// file it wrote as a picture loader reads it: a JPS both views, an MPO its
// first picture, a wiggle GIF its first frame.
TEST_F(EndToEnd, FileRunWritesTheKindAskedAndShowsTheFileItWrote)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* settings; // the settings file's lines
        const char* written;
        int width, height;    // of the picture shown
        bool leftView;        // the picture shown is the source's left view
    };
    const Case cases[] = {
        {"sbs", {"--to", "sbs", "Bench.png"}, "", "bench_sbs.jpg", 960, 494, false},
        {"settings", {"Bench.png"}, "to = over-under\n", "bench_over-under.jpg", 480, 988, false},
        {"mpo", {"--to", "mpo", "Bench.png"}, "to = wiggle\n", "bench_stereo.mpo", 480, 494, true},
        {"wiggle", {"--to=wiggle", "Bench.png"}, "", "bench_wiggle.gif", 480, 494, true},
        {"jps", {"-o", "3d.jps", "Bench.png"}, "", "3d.jps", 960, 494, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string folder = MakeFolder(std::string("kind-") + c.name);
        std::string config = MakeFolder(std::string("kind-config-") + c.name);
        WriteSettingsFile(config, c.settings);
        ConfigHome configHome(config);
        Copy(Sample("bench-sbs-959.png"), folder + "/Bench.png");
        program = StartProgram(folder, false, true, c.args);

        Picture written;
        int w = 0, h = 0;
        std::vector<uint32_t> screen;
        bool shown = WaitUntil(
            [&] {
                screen = Screen(w, h);
                return DecodePictureFile(folder + "/" + c.written, written) == kCodecOk &&
                       FittedPsnr(Window(written), screen, w, h) >= 30.0;
            },
            kRunTimeoutMs);
        EXPECT_TRUE(shown) << ReadFile(program.errors) << "PSNR " << FittedPsnr(Window(written), screen, w, h);
        // An MPO's first picture and a wiggle's first frame are the left view.
        if (c.leftView) {
            Picture source;
            ASSERT_EQ(DecodePictureFile(folder + "/Bench.png", source), kCodecOk);
            EXPECT_GE(FittedPsnr({source.pixels.get(), 480, 494, source.width}, screen, w, h), 30.0);
        }
        EXPECT_EQ(written.width, c.width);
        EXPECT_EQ(written.height, c.height);
        Xdotool("key space");
        EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
        EXPECT_EQ(FolderNames(folder), (std::set<std::string>{"Bench.png", c.written}));
    }
}

// A run from the desktop has no terminal: a bad settings file is also shown
// in a box, and the run stops before the picture is touched. A FIFO there
// is refused at once, never waited on.
TEST_F(EndToEnd, BadSettingsFileIsShownInABoxAndNothingIsDone)
{
    struct Case {
        const char* name;
        bool fifo; // a FIFO at the settings path, else a bad line
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {"bad line, FILE", false, {"pair.png"},
         "/config/stereoglass/stereoglass.conf:1: glasses takes one of red-cyan|green-magenta|amber-blue, got "
         "'purple'"},
        {"FIFO, dialog", true, {}, ": not a regular file"},
    };
    for (const Case& c : cases) {
        std::string folder = MakeFolder(std::string("bad-settings-") + (c.fifo ? "fifo" : "line"));
        Copy(Sample("bench-sbs-959.png"), folder + "/pair.png");
        std::string settings = folder + "/config/stereoglass/stereoglass.conf";
        std::filesystem::create_directories(folder + "/config/stereoglass");
        if (c.fifo)
            ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
        else
            std::ofstream(settings) << "glasses = purple\n";
        const char* display = getenv("DISPLAY");
        ASSERT_NE(display, nullptr);
        CommandRun run;
        std::vector<std::string> argv = {SG_PROGRAM};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        std::thread runner([&] {
            run = RunCommand(argv, folder, {std::string("DISPLAY=") + display, "XDG_CONFIG_HOME=" + folder + "/config"},
                             false, 30000);
        });
        EXPECT_TRUE(ConfirmMessageBox()) << c.name;
        runner.join();
        EXPECT_EQ(run.exitCode, 2) << c.name;
        EXPECT_EQ(run.err, "stereoglass: " + (c.fifo ? "cannot read " + settings : folder) + c.error + "\n")
            << c.name;
        EXPECT_EQ(FolderNames(folder), (std::set<std::string>{"config", "pair.png"})) << c.name;
    }
}

// Settings whose lines clash never lock the user out: the dialog's run says
// which lines clash, then opens with the defaults.
TEST_F(EndToEnd, ClashingSettingsAreExplainedAndTheDialogStillOpens)
{
    std::string folder = MakeFolder("clash");
    std::string config = MakeFolder("clash-config");
    const std::string settingsFile = WriteSettingsFile(config, "glasses = amber-blue\nmethod = optimised\n");
    ConfigHome configHome(config);
    program = StartProgram(folder);
    EXPECT_TRUE(ConfirmMessageBox());
    unsigned long dialog = WaitForTitle("Select File");
    ASSERT_NE(dialog, 0u);
    DriveWindow(dialog, {"sleep:300", "key:Escape"});
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0);
    EXPECT_EQ(ReadFile(program.errors),
              "stereoglass: " + settingsFile + ":1: glasses = amber-blue and " + settingsFile +
                  ":2: method = optimised do not go together: method optimised is for red-cyan glasses only, not "
                  "amber-blue; change or remove one of these lines\n");
}

// With amber-blue glasses in the file and red-cyan ones on the command line,
// picking optimised in the dialog must not leave a file that stops the next
// run: the glasses the run used are written too.
TEST_F(EndToEnd, WriteBackFromTheDialogLeavesAFileTheNextRunAccepts)
{
    std::string photos = MakeFolder("write-back");
    std::string config = MakeFolder("write-back-config");
    const std::string settingsFile = WriteSettingsFile(config, "glasses = amber-blue\nmethod = dubois\n");
    ConfigHome configHome(config);
    std::string path = photos + "/pair.jps";
    Copy(Sample("figure-sbs.jps"), path);
    program = StartProgram(photos, false, true, {"--glasses", "red-cyan"});
    // Method: one up from dubois is optimised (the row lists colour,
    // half-colour, grey, optimised, dubois).
    ASSERT_TRUE(Choose(path, {"key:alt+m", "sleep:100", "key:Up", "sleep:100"}));
    ASSERT_TRUE(WaitForResult());
    Xdotool("key a");
    EXPECT_EQ(WaitForExit(program, kRunTimeoutMs), 0) << ReadFile(program.errors);
    EXPECT_EQ(ReadFile(settingsFile), "glasses = red-cyan\nmethod = optimised\nswap = no\n");
    CommandRun next = RunCommand({SG_PROGRAM, "-c", "pair.jps", "-o", "next.jpg"}, photos,
                                 {"XDG_CONFIG_HOME=" + config});
    EXPECT_EQ(next.exitCode, 0) << next.err;
}

TEST(EndToEndNoDisplay, SaysSoAndExitsWith255)
{
    std::string folder = MakeFolder("nodisplay");
    Program program = StartProgram(folder, false, false);
    EXPECT_EQ(WaitForExit(program, 30000), 255);
    EXPECT_EQ(ReadFile(program.errors), "stereoglass: cannot open display\n");
}
