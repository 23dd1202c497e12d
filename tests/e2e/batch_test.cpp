// The real program's command line without a display: batch conversions,
// their output names and formats, usage errors, the settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <fstream>
#include <sstream>

#include "imageio/codecs/codec.h"
#include "tests/e2e/run_command.h"
#include "tests/support/command.h"
#include "tests/support/other_user.h"
#include "tests/support/temp_folder.h"

using namespace sgtest;
namespace fs = std::filesystem;

namespace {

std::string Sample(const std::string& name) { return std::string(SG_TEST_DATA_DIR) + "/" + name; }

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> FilesUnder(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory())
            names.insert(fs::relative(entry.path(), folder).string());
    }
    return names;
}

PictureFormat FormatOf(const std::string& path)
{
    PictureHeader header;
    return ProbePictureFile(path, header) == kCodecOk ? header.format : PictureFormat::Unknown;
}

// A scratch folder holding pictures; the program runs in it without a
// display, with its own (empty) settings folder.
class Batch : public ::testing::Test {
protected:
    CommandRun Run(std::vector<std::string> args, bool asNobody = false)
    {
        args.insert(args.begin(), SG_PROGRAM);
        return RunCommand(args, work.path, {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path},
                          asNobody);
    }
    // Copies a sample into the folder under name (subfolders made).
    void Put(const std::string& sample, const std::string& name)
    {
        fs::create_directories(fs::path(work / name).parent_path());
        fs::copy_file(Sample(sample), work / name, fs::copy_options::overwrite_existing);
    }
    void Write(const std::string& name, const std::string& text)
    {
        fs::create_directories(fs::path(work / name).parent_path());
        std::ofstream(work / name, std::ios::binary) << text;
    }
    void WriteSettings(const std::string& text) { Write(".config/stereoglass/stereoglass.conf", text); }
    std::set<std::string> Files() { return FilesUnder(work.path); }

    TempFolder work{"sg-batch"};
};

// A line of the process's status ("SigCgt:" …), "" once it has ended.
std::string StatusLine(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("State:", 0) == 0 && line.find("zombie") != std::string::npos)
            return "";
        if (line.rfind(field, 0) == 0)
            return line.substr(field.size());
    }
    return "";
}

bool Ended(pid_t pid) { return StatusLine(pid, "State:").empty(); }

bool HasSignal(pid_t pid, const std::string& field, int sig)
{
    std::string mask = StatusLine(pid, field);
    return !mask.empty() && (std::stoull(mask, nullptr, 16) & (1ull << (sig - 1)));
}

// Whether sig is off the pending sets (its handler ran or runs).
bool SignalTaken(pid_t pid, int sig)
{
    return Ended(pid) || (!HasSignal(pid, "SigPnd:", sig) && !HasSignal(pid, "ShdPnd:", sig));
}

} // namespace

TEST_F(Batch, ConvertsOnePictureWithoutADisplay)
{
    Put("bench-sbs-959.png", "Pair.PNG");
    CommandRun run = Run({"-c", "Pair.PNG"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Pair.PNG -> pair_anaglyph.jpg\n");
    EXPECT_EQ(run.err, "");
    PictureHeader header;
    ASSERT_EQ(ProbePictureFile(work / "pair_anaglyph.jpg", header), kCodecOk);
    EXPECT_EQ(header.format, PictureFormat::Jpeg);
    EXPECT_EQ(header.width, 480);
    EXPECT_EQ(header.height, 494);
}

// A run that shows nothing maps no desktop library, even with a display
// named: the loader's own log lists every library the process loads. Exiv2
// (libexiv2, libexpat) comes with the metadata library, which a run loads
// from its private folder only once it looks at a source's metadata.
TEST_F(Batch, RunsThatShowNothingLoadNoDesktopLibrary)
{
    Put("bench-sbs-959.png", "Pair.PNG");
    Put("figure-sbs.jps", "Exif.JPS");
    enum class Metadata { NotLoaded, Loaded, Either };
    const struct {
        std::vector<std::string> args;
        Metadata metadata;
    } runs[] = {
        {{"-c", "Missing.jpg"}, Metadata::NotLoaded},
        {{"-c", "Pair.PNG"}, Metadata::Either},
        {{"-c", "Exif.JPS"}, Metadata::Loaded},
        {{"--thumbnail", "96", "Pair.PNG", "preview.png"}, Metadata::Either},
        {{"--help"}, Metadata::NotLoaded},
    };
    const std::string metadataLibrary = std::string(SG_BINARY_DIR) + "/lib/stereoglass/libstereoglass-metadata.so";
    for (const auto& [given, metadata] : runs) {
        std::vector<std::string> args = given;
        std::string shown = args[0] + " " + args[1 % args.size()];
        args.insert(args.begin(), SG_PROGRAM);
        CommandRun run = RunCommand(args, work.path,
                                    {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path,
                                     "DISPLAY=:7", "LD_DEBUG=files"});
        EXPECT_NE(run.exitCode, -1) << shown;
        // The log names the codecs, so it is the loader's list indeed.
        EXPECT_NE(run.err.find("libturbojpeg"), std::string::npos) << shown;
        // OpenCV's core needs libGLX and libX11: the matching is loaded
        // only when a pair is measured.
        for (const char* desktop : {"libgtk", "libgdk", "libX11", "libGLX", "libopencv", "stereoglass-desktop",
                                    "stereoglass-measure"})
            EXPECT_EQ(run.err.find(desktop), std::string::npos) << shown << " loads " << desktop;
        if (metadata == Metadata::NotLoaded) {
            for (const char* exiv2 : {"libexiv2", "libexpat", "stereoglass-metadata"})
                EXPECT_EQ(run.err.find(exiv2), std::string::npos) << shown << " loads " << exiv2;
        } else if (metadata == Metadata::Loaded) {
            EXPECT_NE(run.err.find("file=libexiv2.so.27 [0];  needed by " + metadataLibrary), std::string::npos)
                << shown << " loads no Exiv2 through " << metadataLibrary << "\n"
                << run.err;
        }
    }
}

TEST_F(Batch, FolderIsSearchedByContentSkippingItsResults)
{
    Put("bench-sbs-959.png", "shots/b.png");
    Put("figure-sbs.jps", "shots/a");             // a picture without an extension
    Put("figure-sbs.jps", "shots/old_anaglyph.jpg"); // an earlier result
    Write("shots/notes.jpg", "not a picture, whatever its name says");
    Put("bench-sbs-959.png", "shots/deeper/c.png");

    CommandRun flat = Run({"-c", "shots"});
    EXPECT_EQ(flat.exitCode, 0) << flat.err;
    EXPECT_EQ(flat.out, "shots/a -> shots/a_anaglyph.jpg\nshots/b.png -> shots/b_anaglyph.jpg\n");

    CommandRun deep = Run({"-c", "-r", "-j", "2", "shots"});
    EXPECT_EQ(deep.exitCode, 0) << deep.err;
    // In the order found, whatever order the two workers finish in.
    EXPECT_EQ(deep.out, "shots/a -> shots/a_anaglyph.jpg\nshots/b.png -> shots/b_anaglyph.jpg\n"
                        "shots/deeper/c.png -> shots/deeper/c_anaglyph.jpg\n");
    EXPECT_EQ(deep.err, "");
    EXPECT_EQ(Files(), (std::set<std::string>{"shots/a", "shots/a_anaglyph.jpg", "shots/b.png",
                                              "shots/b_anaglyph.jpg", "shots/old_anaglyph.jpg", "shots/notes.jpg",
                                              "shots/deeper/c.png", "shots/deeper/c_anaglyph.jpg"}));

    Write("empty/readme.txt", "nothing here");
    CommandRun empty = Run({"-c", "empty"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.err, "stereoglass: no pictures in \"empty\"\n");
}

// On a terminal (script(1) gives the run one), standard error shows the bar
// for more than one picture, cleared before each line; -q and a single
// picture show none. Piped, as in the other tests, there is none either.
TEST_F(Batch, ProgressBarOnlyOnATerminal)
{
    Put("bench-sbs-959.png", "a.png");
    Put("figure-sbs.jps", "b.jps");
    auto onTerminal = [&](const std::string& args) {
        return CommandOutput("cd " + work.path + " && env -u DISPLAY XDG_CONFIG_HOME=" + work.path +
                             " script -qec '" SG_PROGRAM " " + args + "' /dev/null");
    };
    std::string two = onTerminal("-c -j 1 a.png b.jps");
    EXPECT_NE(two.find("] 1/2  "), std::string::npos) << two;
    EXPECT_NE(two.find("\r\033[Ka.png -> a_anaglyph.jpg"), std::string::npos) << two;
    EXPECT_NE(two.find("left"), std::string::npos) << two;
    EXPECT_EQ(onTerminal("-c -q a.png b.jps").find('['), std::string::npos);
    EXPECT_EQ(onTerminal("-c a.png").find('['), std::string::npos);
}

TEST_F(Batch, GoesOnAfterFailuresAndNamesEach)
{
    Put("bench-sbs-959.png", "good1.png");
    Write("text.jpg", "just some words");
    Write("empty.png", "");
    Put("figure-sbs.jps", "good2.jps");
    Write("cut.png", Bytes(Sample("bench-sbs-959.png")).substr(0, 40));
    CommandRun run = Run({"-c", "good1.png", "text.jpg", "missing.png", "empty.png", "cut.png", "good2.jps"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "good1.png -> good1_anaglyph.jpg\ngood2.jps -> good2_anaglyph.jpg\n");
    // One line for each failure, in order, naming the file (the reason's
    // wording is the conversion's).
    std::vector<std::string> lines;
    std::istringstream errors(run.err);
    for (std::string line; std::getline(errors, line);)
        lines.push_back(line);
    const std::vector<std::string> failed = {"text.jpg", "missing.png", "empty.png", "cut.png"};
    ASSERT_EQ(lines.size(), failed.size()) << run.err;
    for (size_t i = 0; i < failed.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("stereoglass: ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find("\"" + failed[i] + "\""), std::string::npos) << lines[i];
    }
    EXPECT_EQ(Files(), (std::set<std::string>{"good1.png", "good1_anaglyph.jpg", "text.jpg", "empty.png", "cut.png",
                                              "good2.jps", "good2_anaglyph.jpg"}));
}

TEST_F(Batch, UnwritableFolderIsNamedWithTheReason)
{
    Put("bench-sbs-959.png", "ro/pair.png");
    chmod(work.path.c_str(), 0755);
    chmod((work / "ro").c_str(), 0555);
    CommandRun run = Run({"-c", "ro/pair.png"}, true);
    chmod((work / "ro").c_str(), 0755);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("stereoglass: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\"ro/pair_anaglyph.jpg\""), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(FilesUnder(work / "ro"), std::set<std::string>{"pair.png"}); // no partial file
}

// A clone under a folder only its owner may enter (a 0700 home, a mktemp -d
// folder) still passes the tests that run the program as another user.
TEST_F(Batch, ProgramBuiltBelowAShutFolderStillRunsAsAnotherUser)
{
    if (!CanRunAsOtherUser())
        GTEST_SKIP() << "needs root";
    TempFolder shut("sg-shut");
    ASSERT_EQ(chmod(shut.path.c_str(), 0700), 0);
    fs::create_directories(shut / "clone/build");
    fs::copy_file(SG_PROGRAM, shut / "clone/build/stereoglass");
    chmod(work.path.c_str(), 0755);
    CommandRun run = RunCommand({shut / "clone/build/stereoglass", "--version"}, work.path, {}, true);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("stereoglass 1.", 0), 0u) << run.out;
}

TEST_F(Batch, UsageErrorsDoNothingAndExitWith2)
{
    Put("bench-sbs-959.png", "a.png");
    Put("bench-sbs-959.png", "b.png");
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"-c", "--quality", "x", "a.png"}, "stereoglass: --quality takes a number from 1 to 100, got 'x'"},
        {{"-c", "a.png", "--frobnicate"}, "stereoglass: unknown option '--frobnicate'"},
        {{"-c", "a.png", "--glasses"}, "stereoglass: --glasses needs a value"},
        {{"-c"}, "stereoglass: -c needs a picture, a folder or a --left/--right pair"},
        {{"a.png", "b.png"}, "stereoglass: without -c the program shows one picture; use -c to convert several"},
        {{"-c", "a.png", "-o", "out.webp"},
         "stereoglass: -o \"out.webp\" names no picture format: end it in .jpg, .jpeg, .jpe, .jfif, .png, .gif, "
         ".tif, .tiff, .bmp, .dib or .rle, or in '/' for a folder"},
        {{"-c", "a.png", "b.png", "-o", "b.png"},
         "stereoglass: -o \"b.png\" is not a folder, and the anaglyphs of 2 pictures need one"},
        {{"-c", "--method", "optimised", "--glasses", "amber-blue", "a.png"},
         "stereoglass: method optimised is for red-cyan glasses only, not amber-blue"},
        {{"-c", "a.png", "-o", ""}, "stereoglass: -o needs a file or folder name; the one given is empty"},
        {{"-c", "--left", "", "--right", "b.png"},
         "stereoglass: --left needs the left view's file; the name given is empty"},
        {{"-c", "--left", "a.png", "--right", ""},
         "stereoglass: --right needs the right view's file; the name given is empty"},
        // A picture shown is refused as a -c run is, before anything is read.
        {{"--to", "wiggle", "a.png", "-o", "a_wiggle.png"},
         "stereoglass: --to wiggle writes .gif files; -o \"a_wiggle.png\" names another"},
        {{"--to", "mpo"}, "stereoglass: --to needs a picture: the dialog writes and shows the anaglyph"},
    };
    for (const Case& c : cases) {
        CommandRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.firstLine;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Files(), (std::set<std::string>{"a.png", "b.png"}));
}

TEST_F(Batch, HelpAndVersion)
{
    CommandRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: stereoglass", 0), 0u);
    CommandRun version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("stereoglass 1.", 0), 0u) << version.out;
}

TEST_F(Batch, SettingsFileGivesDefaultsTheCommandLineOverrides)
{
    Put("figure-sbs.jps", "a.jps");
    CommandRun plain = Run({"-c", "a.jps", "-o", "plain.jpg"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;

    WriteSettings("# mine\nquality = 10   # small files\n");
    CommandRun fromFile = Run({"-c", "a.jps", "-o", "small.jpg"});
    CommandRun overridden = Run({"-c", "--quality", "95", "a.jps", "-o", "overridden.jpg"});
    EXPECT_EQ(fromFile.exitCode, 0) << fromFile.err;
    EXPECT_EQ(overridden.exitCode, 0) << overridden.err;
    EXPECT_LT(Bytes(work / "small.jpg").size() * 2, Bytes(work / "plain.jpg").size());
    EXPECT_EQ(Bytes(work / "overridden.jpg"), Bytes(work / "plain.jpg"));

    // Options are checked together once the file and the command line are
    // both applied.
    WriteSettings("glasses = green-magenta\n");
    CommandRun combined = Run({"-c", "--method", "optimised", "a.jps"});
    EXPECT_EQ(combined.exitCode, 2);
    EXPECT_EQ(combined.err, "stereoglass: method optimised is for red-cyan glasses only, not green-magenta\n");

    WriteSettings("quality = 90\n\nglasses = purple\n");
    CommandRun bad = Run({"-c", "--glasses", "red-cyan", "a.jps"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "stereoglass: " + work.path +
                           "/.config/stereoglass/stereoglass.conf:3: glasses takes one of "
                           "red-cyan|green-magenta|amber-blue, got 'purple'\n");
    EXPECT_FALSE(fs::exists(work / "a_anaglyph.jpg"));
}

// Whatever lies at the settings path, a run answers at once: a FIFO is
// refused without waiting for a writer, lines that clash are named with
// their mend, and nothing is converted.
TEST_F(Batch, SettingsThatCannotBeUsedStopTheRunAtOnceSayingWhy)
{
    Put("figure-sbs.jps", "a.jps");
    Put("figure-sbs.jps", "b.jps");
    const std::string settings = work / ".config/stereoglass/stereoglass.conf";
    fs::create_directories(fs::path(settings).parent_path());
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string error;
    };
    const Case cases[] = {
        {"FIFO", [&] { ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0); },
         "cannot read " + settings + ": not a regular file"},
        {"clash", [&] { WriteSettings("method = optimised\n# cheap ones\nglasses = amber-blue\n"); },
         settings + ":3: glasses = amber-blue and " + settings +
             ":1: method = optimised do not go together: method optimised is for red-cyan glasses only, not "
             "amber-blue; change or remove one of these lines"},
    };
    for (const Case& c : cases) {
        fs::remove(settings);
        c.make();
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"-c", "a.jps"}, {"-c", "--left", "a.jps", "--right", "b.jps"}}) {
            std::vector<std::string> argv = {SG_PROGRAM};
            argv.insert(argv.end(), args.begin(), args.end());
            // Ten seconds for what must be at once: a blocked run is killed.
            CommandRun run = RunCommand(argv, work.path,
                                        {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path}, false,
                                        10000);
            EXPECT_EQ(run.exitCode, 2) << c.name << " " << args[1];
            EXPECT_EQ(run.err, "stereoglass: " + c.error + "\n") << c.name;
        }
    }
    // A clash the command line settles is no clash for that run.
    CommandRun settled = Run({"-c", "--glasses", "red-cyan", "a.jps"});
    EXPECT_EQ(settled.exitCode, 0) << settled.err;
    fs::remove(work / "a_anaglyph.jpg");
    EXPECT_EQ(Files(), (std::set<std::string>{"a.jps", "b.jps", ".config/stereoglass/stereoglass.conf"}));
}

TEST_F(Batch, OutputFileTakesItsFormatFromItsNameAndAFolderIsMade)
{
    Put("bench-sbs-959.png", "a.png");
    Put("figure-sbs.jps", "b.jps");
    Put("figure-sbs.jps", "trip/day1/c.jps");

    CommandRun toPng = Run({"-c", "a.png", "-o", "result.PNG"});
    EXPECT_EQ(toPng.exitCode, 0) << toPng.err;
    EXPECT_EQ(toPng.out, "a.png -> result.PNG\n");
    EXPECT_EQ(FormatOf(work / "result.PNG"), PictureFormat::Png);
    CommandRun toTiff = Run({"-c", "a.png", "-o", "result.tif"});
    EXPECT_EQ(FormatOf(work / "result.tif"), PictureFormat::Tiff);

    CommandRun toFolder = Run({"-c", "a.png", "b.jps", "-o", "made/deeper"});
    EXPECT_EQ(toFolder.exitCode, 0) << toFolder.err;
    EXPECT_EQ(toFolder.out, "a.png -> made/deeper/a_anaglyph.jpg\nb.jps -> made/deeper/b_anaglyph.jpg\n");
    EXPECT_EQ(FormatOf(work / "made/deeper/b_anaglyph.jpg"), PictureFormat::Jpeg);

    // One picture into a folder named by its closing '/'; a tree's subfolders
    // are kept below the output folder.
    CommandRun tree = Run({"-c", "-r", "trip", "-o", "out/"});
    EXPECT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_EQ(tree.out, "trip/day1/c.jps -> out/day1/c_anaglyph.jpg\n");
    EXPECT_EQ(FormatOf(work / "out/day1/c_anaglyph.jpg"), PictureFormat::Jpeg);
}

TEST_F(Batch, TwoFilePairIsNamedAfterItsLeftView)
{
    Put("figure-sbs.jps", "views/Left.JPG");
    Put("figure-sbs.jps", "views/right.jpg");
    CommandRun run = Run({"-c", "--left", "views/Left.JPG", "--right", "views/right.jpg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "views/Left.JPG -> views/left_anaglyph.jpg\n");
    EXPECT_EQ(FormatOf(work / "views/left_anaglyph.jpg"), PictureFormat::Jpeg);
    // The right view is a source too: never written over.
    CommandRun onto = Run({"-c", "--left", "views/Left.JPG", "--right", "views/right.jpg", "-o", "views/right.jpg"});
    EXPECT_EQ(onto.exitCode, 1);
    EXPECT_NE(onto.err.find("that is the right view of the pair"), std::string::npos) << onto.err;
}

// Each failure to write says what the system said where it failed, not a
// guess made afterwards from the folder.
TEST_F(Batch, WriteFailuresGiveTheSystemsReason)
{
    Put("bench-sbs-959.png", "a.png");
    Put("bench-sbs-959.png", "r.png");
    ASSERT_EQ(symlink("nowhere", (work / "dlink").c_str()), 0);
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"-c", "a.png", "-o", "/proc/x.jpg"}, "The folder \"/proc\" does not take new files"},
        {{"-c", "a.png", "-o", "/sys/x.jpg"}, "/sys"},
        {{"-c", "a.png", "-o", "dlink/"}, "\"dlink\" is a symbolic link to \"nowhere\", which does not exist"},
        {{"-c", "--left", "a.png", "--right", "r.png", "-o", "r.png"}, "that is the right view of the pair, \"r.png\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[3]);
        CommandRun run = Run(c.args);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("disk is full"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Bytes(work / "r.png"), Bytes(Sample("bench-sbs-959.png")));
}

// Out of inodes with blocks to spare: a file system of three inodes (root
// can mount one), all taken.
TEST_F(Batch, NoFreeInodesIsNamed)
{
    std::string full = work / "full";
    fs::create_directories(full);
    if (geteuid() != 0 ||
        RunCommand({"/bin/mount", "-t", "tmpfs", "-o", "size=1m,nr_inodes=3", "tmpfs", full}, work.path).exitCode != 0)
        GTEST_SKIP() << "needs a tmpfs of its own (root)";
    for (int i = 0; i < 3; ++i)
        std::ofstream(full + "/f" + std::to_string(i));
    Put("bench-sbs-959.png", "a.png");
    CommandRun run = Run({"-c", "a.png", "-o", full + "/x.jpg"});
    RunCommand({"/bin/umount", full}, work.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("has no free inodes left"), std::string::npos) << run.err;
}

TEST_F(Batch, NeverOverwritesASourceOrWritesOneFileTwice)
{
    Put("bench-sbs-959.png", "a.png");
    Put("figure-sbs.jps", "b.jps");
    ASSERT_EQ(symlink("a.png", (work / "link.png").c_str()), 0);
    ASSERT_EQ(link((work / "b.jps").c_str(), (work / "hard.jpg").c_str()), 0);
    std::string aBefore = Bytes(work / "a.png"), bBefore = Bytes(work / "b.jps");
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"-c", "a.png", "-o", "a.png"},
         "refusing to write the anaglyph of \"a.png\" to \"a.png\": that is the source itself"},
        {{"-c", "a.png", "-o", "./link.png"},
         "refusing to write the anaglyph of \"a.png\" to \"./link.png\": that is the source itself"},
        {{"-c", "b.jps", "-o", "hard.jpg"},
         "refusing to write the anaglyph of \"b.jps\" to \"hard.jpg\": that is the source itself"},
        {{"-c", "a.png", "-o", "b.jps", "--to", "sbs"}, // a format the kind lacks is caught first
         "-o \"b.jps\" names no picture format: end it in .jpg, .jpeg, .jpe, .jfif, .png, .gif, .tif, .tiff, .bmp, .dib or .rle, or in '/' "
         "for a folder"},
    };
    for (const Case& c : cases) {
        CommandRun run = Run(c.args);
        EXPECT_NE(run.exitCode, 0) << c.error;
        EXPECT_EQ(run.err, "stereoglass: " + c.error + "\n");
    }
    EXPECT_EQ(Bytes(work / "a.png"), aBefore);
    EXPECT_EQ(Bytes(work / "b.jps"), bBefore);

    // Another picture of the run, and two pictures of one name into one folder.
    Put("bench-sbs-959.png", "x/pair.png");
    Put("figure-sbs.jps", "y/Pair.png");
    Put("bench-sbs-959.png", "b_anaglyph.jpg");
    std::string resultBefore = Bytes(work / "b_anaglyph.jpg");
    CommandRun run = Run({"-c", "b.jps", "b_anaglyph.jpg", "x/pair.png", "y/Pair.png", "-o", "."});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "b_anaglyph.jpg -> ./b_anaglyph_anaglyph.jpg\nx/pair.png -> ./pair_anaglyph.jpg\n");
    EXPECT_EQ(run.err, "stereoglass: refusing to write the anaglyph of \"b.jps\" to \"./b_anaglyph.jpg\": that is the "
                       "picture \"b_anaglyph.jpg\"\n"
                       "stereoglass: not writing the anaglyph of \"y/Pair.png\" to \"./pair_anaglyph.jpg\": the "
                       "anaglyph of \"x/pair.png\" goes there\n");
    EXPECT_EQ(Bytes(work / "b_anaglyph.jpg"), resultBefore);
}

// The second Ctrl-C ends the run at once, also in the middle of a save: the
// save's hidden temporary goes with it. The first Ctrl-C is sent while the
// picture is converted, the second as soon as the temporary appears, while
// its 27 MB are being written.
TEST_F(Batch, SecondCtrlCDuringASaveLeavesNoTemporary)
{
    constexpr int32_t kWidth = 6000, kHeight = 3000;
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight, 0xFF336699u);
    ASSERT_EQ(EncodePictureFile(work / "big.png", PictureFormat::Png, pixels.data(), kWidth, kHeight, false), kCodecOk);
    pixels = {};
    bool hit = false;
    for (int attempt = 0; attempt < 6 && !hit; ++attempt) {
        fs::remove(work / "out.bmp");
        int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, work.path.c_str(), IN_CREATE), 0);
        bool temporarySeen = false, firstTaken = false;
        CommandRun run = RunCommand(
            {SG_PROGRAM, "-c", "-q", "-j", "1", "big.png", "-o", "out.bmp"}, work.path,
            {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path}, false, 120000, [&](pid_t pid) {
                auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (!HasSignal(pid, "SigCgt:", SIGINT) && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                std::this_thread::sleep_for(std::chrono::milliseconds(10 + 15 * attempt));
                kill(pid, SIGINT);
                while (!SignalTaken(pid, SIGINT) && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                firstTaken = true;
                alignas(inotify_event) char events[4096];
                while (!temporarySeen && std::chrono::steady_clock::now() < until && !Ended(pid)) {
                    ssize_t got = read(watch, events, sizeof events);
                    for (ssize_t at = 0; at < got;) {
                        auto* event = reinterpret_cast<inotify_event*>(events + at);
                        if (event->len && std::string(event->name).rfind(".out.bmp.", 0) == 0)
                            temporarySeen = true;
                        at += ssize_t(sizeof(inotify_event) + event->len);
                    }
                    if (got <= 0)
                        std::this_thread::sleep_for(std::chrono::microseconds(50));
                }
                if (temporarySeen)
                    kill(pid, SIGINT);
            });
        close(watch);
        EXPECT_TRUE(firstTaken);
        EXPECT_EQ(run.exitCode, 130) << run.err;
        for (const std::string& name : Files())
            EXPECT_NE(name[0], '.') << "left behind: " << name;
        // Ended by the second signal before the rename: the case to show.
        hit = temporarySeen && !fs::exists(work / "out.bmp");
    }
    EXPECT_TRUE(hit) << "no run was interrupted in the middle of its save";
}

TEST_F(Batch, EveryKindIsNamedBesideItsSourceAndSkippedByLaterFolderRuns)
{
    Put("bench-sbs-959.png", "shots/Pair.PNG");
    struct Case {
        const char* kind;
        const char* file;
        PictureFormat format;
        const char* size; // as identify gives it: each GIF frame, an MPO's first picture
    };
    const Case cases[] = {
        {"anaglyph", "pair_anaglyph.jpg", PictureFormat::Jpeg, "480x494"},
        {"sbs", "pair_sbs.jpg", PictureFormat::Jpeg, "960x494"},
        {"cross", "pair_cross.jpg", PictureFormat::Jpeg, "960x494"},
        {"over-under", "pair_over-under.jpg", PictureFormat::Jpeg, "480x988"},
        {"half-sbs", "pair_half-sbs.jpg", PictureFormat::Jpeg, "480x494"},
        {"jps", "pair_stereo.jps", PictureFormat::Jpeg, "960x494"},
        {"mpo", "pair_stereo.mpo", PictureFormat::Jpeg, "480x494"},
        {"wiggle", "pair_wiggle.gif", PictureFormat::Gif, "480x494 480x494"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        CommandRun run = Run({"-c", "--to", c.kind, "shots"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "shots/Pair.PNG -> shots/" + std::string(c.file) + "\n");
        EXPECT_EQ(FormatOf(work / ("shots/" + std::string(c.file))), c.format);
        EXPECT_EQ(CommandOutput("identify -format '%wx%h ' " + work / ("shots/" + std::string(c.file))), c.size);
    }
    EXPECT_EQ(Files().size(), 9u);

    // The settings file's kind, and -o's name implying one.
    WriteSettings("to = sbs\n");
    CommandRun fromSettings = Run({"-c", "shots/Pair.PNG", "-o", "out/"});
    EXPECT_EQ(fromSettings.out, "shots/Pair.PNG -> out/pair_sbs.jpg\n") << fromSettings.err;
    WriteSettings("");
    CommandRun implied = Run({"-c", "shots/Pair.PNG", "-o", "For3DS.MPO"});
    EXPECT_EQ(implied.exitCode, 0) << implied.err;
    EXPECT_EQ(CommandOutput("exiftool -s3 -NumberOfImages " + work / "For3DS.MPO"), "2");
    Put("bench-sbs-959.png", "x/pair.png");
    CommandRun clash = Run({"-c", "--to", "mpo", "x/pair.png", "shots/Pair.PNG", "-o", "out/"});
    EXPECT_EQ(clash.err, "stereoglass: not writing the MPO stereo pair of \"shots/Pair.PNG\" to "
                         "\"out/pair_stereo.mpo\": the MPO stereo pair of \"x/pair.png\" goes there\n");
    CommandRun mismatch = Run({"-c", "--to", "wiggle", "shots/Pair.PNG", "-o", "wiggle.png"});
    EXPECT_EQ(mismatch.exitCode, 2);
    EXPECT_EQ(mismatch.err, "stereoglass: --to wiggle writes .gif files; -o \"wiggle.png\" names another\n");
}

TEST_F(Batch, ThumbnailIsASmallPngAnaglyphOrNothing)
{
    Put("figure-sbs.jps", "Figure.JPS");
    CommandRun run = Run({"--thumbnail", "96", "Figure.JPS", "preview.png"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(FormatOf(work / "preview.png"), PictureFormat::Png);
    EXPECT_EQ(CommandOutput("identify -format '%[fx:max(w,h)]' " + work / "preview.png"), "96");

    // A preview as large as the view is the anaglyph itself, at full scale.
    CommandRun full = Run({"--thumbnail", "4096", "Figure.JPS", "full.png"});
    EXPECT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(CommandOutput("identify -format '%wx%h' " + work / "full.png"), "522x720");

    Write("broken.mpo", std::string("\xFF\xD8\xFF\xE2", 4) + "not really");
    for (const char* bad : {"broken.mpo", "missing.jps"}) {
        SCOPED_TRACE(bad);
        CommandRun failed = Run({"--thumbnail", "96", bad, "bad.png"});
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_NE(failed.err.find(bad), std::string::npos) << failed.err;
        EXPECT_FALSE(fs::exists(work / "bad.png"));
    }
    EXPECT_EQ(Files(), (std::set<std::string>{"Figure.JPS", "preview.png", "full.png", "broken.mpo"}));
}

// When the matching cannot be loaded (here a library of its name without
// the entry, found ahead of the real one), the steps that measure leave the
// views as they are and say why: the picture is the one a plain run writes.
TEST_F(Batch, MeasuringWithoutItsLibraryLeavesTheViewsAndSaysWhy)
{
    Put("figure-sbs.jps", "a.jps");
    CommandRun plain = Run({"-c", "a.jps"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const std::string expected = Bytes(work / "a_anaglyph.jpg");
    fs::remove(work / "a_anaglyph.jpg");
    fs::create_directories(work / "fake");
    fs::copy_file("/lib/x86_64-linux-gnu/libz.so.1", work / "fake/libstereoglass-measure.so");
    CommandRun run = RunCommand({SG_PROGRAM, "-c", "--align", "--shift", "auto", "a.jps"}, work.path,
                                {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path,
                                 "LD_LIBRARY_PATH=" + work.path + "/fake"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "a.jps -> a_anaglyph.jpg\n");
    EXPECT_NE(run.err.find("\"a.jps\" alignment: the measuring library cannot be loaded (libstereoglass-measure.so: "
                           "no sg_measure_calls); the views are left as they are."),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\"a.jps\" stereo window: the measuring library cannot be loaded"), std::string::npos)
        << run.err;
    EXPECT_EQ(Bytes(work / "a_anaglyph.jpg"), expected);
}

// When the metadata copy cannot be loaded (a library of its name without
// the entry, found ahead of the real one), the picture is still written, as
// it is without metadata, and the note says which library failed and why.
TEST_F(Batch, MetadataWithoutItsLibraryWritesThePictureAndSaysWhy)
{
    Put("figure-sbs.jps", "a.jps");
    CommandRun stripped = Run({"-c", "--strip", "a.jps"});
    ASSERT_EQ(stripped.exitCode, 0) << stripped.err;
    const std::string expected = Bytes(work / "a_anaglyph.jpg");
    fs::remove(work / "a_anaglyph.jpg");
    fs::create_directories(work / "fake");
    fs::copy_file("/lib/x86_64-linux-gnu/libz.so.1", work / "fake/libstereoglass-metadata.so");
    CommandRun run = RunCommand({SG_PROGRAM, "-c", "a.jps"}, work.path,
                                {"XDG_CONFIG_HOME=" + work.path + "/.config", "HOME=" + work.path,
                                 "LD_LIBRARY_PATH=" + work.path + "/fake"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "a.jps -> a_anaglyph.jpg\n");
    EXPECT_EQ(run.err, "stereoglass: \"a.jps\": The source's metadata could not be read or written, so the result "
                       "carries none: the metadata library cannot be loaded (libstereoglass-metadata.so: no "
                       "sg_metadata_calls).\n");
    EXPECT_EQ(Bytes(work / "a_anaglyph.jpg"), expected);
}

// Each picture's notes come right after its own line, each naming the
// picture, whatever order the workers finish in.
TEST_F(Batch, AlignmentNotesComeWithTheirPictureAndNameIt)
{
    Put("figure-sbs.jps", "a.jps");
    Put("treetrunk-sbs-rgba.png", "b.png");
    Put("bench-sbs-959.png", "c.png");
    CommandRun run = Run({"-c", "-j2", "--align", "--shift", "auto", "a.jps", "b.png", "c.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.err);
    std::vector<std::string> notes;
    for (std::string line; std::getline(lines, line);)
        notes.push_back(line);
    ASSERT_EQ(notes.size(), 6u) << run.err;
    const char* names[] = {"a.jps", "a.jps", "b.png", "b.png", "c.png", "c.png"};
    for (size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].rfind(std::string("stereoglass: \"") + names[i] + "\" ", 0), 0u) << notes[i];
        EXPECT_NE(notes[i].find(i % 2 == 0 ? "align" : "stereo window"), std::string::npos) << notes[i];
    }
    EXPECT_EQ(run.out, "a.jps -> a_anaglyph.jpg\nb.png -> b_anaglyph.jpg\nc.png -> c_anaglyph.jpg\n");

    // A note that does not name its picture by itself gets the name.
    CommandRun bmp = Run({"-c", "a.jps", "-o", "a.bmp"});
    ASSERT_EQ(bmp.exitCode, 0) << bmp.err;
    EXPECT_EQ(bmp.err.rfind("stereoglass: \"a.jps\": The source's EXIF", 0), 0u) << bmp.err;
}
