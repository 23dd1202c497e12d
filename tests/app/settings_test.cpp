#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <functional>

#include "tests/support/temp_folder.h"

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(Settings, EachKeyTakesItsValues)
{
    ConversionOptions options;
    std::string error;
    ASSERT_TRUE(ApplySetting(options, "layout", "over-under", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "glasses", "green-magenta", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "method", "half-color", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "swap", "yes", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "align", "true", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "strip", "on", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "shift", "-12", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "quality", "80", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "to", "mpo", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "wiggle-ms", "200", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "wiggle-size", "480", error)) << error;
    EXPECT_EQ(options.outputKind, OutputKind::Mpo);
    EXPECT_EQ(options.wiggleMs, 200);
    EXPECT_EQ(options.wiggleSize, 480);
    EXPECT_EQ(options.layout, StereoLayout::OverUnder);
    EXPECT_EQ(options.method.glasses, Glasses::GreenMagenta);
    EXPECT_EQ(options.method.method, MixMethod::HalfColour);
    EXPECT_TRUE(options.swapViews);
    EXPECT_TRUE(options.align);
    EXPECT_TRUE(options.stripMetadata);
    EXPECT_EQ(options.shift, -12);
    EXPECT_EQ(options.jpegQuality, 80);
    ASSERT_TRUE(ApplySetting(options, "swap", "no", error)) << error;
    ASSERT_TRUE(ApplySetting(options, "shift", "+7", error)) << error;
    EXPECT_FALSE(options.swapViews);
    EXPECT_EQ(options.shift, 7);
    // auto and a number replace each other: the later one wins.
    ASSERT_TRUE(ApplySetting(options, "shift", "auto", error)) << error;
    EXPECT_TRUE(options.autoShift);
    EXPECT_EQ(options.shift, 0);
    ASSERT_TRUE(ApplySetting(options, "shift", "-3", error)) << error;
    EXPECT_FALSE(options.autoShift);
    EXPECT_EQ(options.shift, -3);
}

TEST(Settings, BadValuesSayWhatIsWrongAndChangeNothing)
{
    struct Case {
        std::string key, value, error;
    };
    const Case cases[] = {
        {"quality", "x", "quality takes a number from 1 to 100, got 'x'"},
        {"quality", "0", "quality takes a number from 1 to 100, got '0'"},
        {"quality", "101", "quality takes a number from 1 to 100, got '101'"},
        {"quality", "9O", "quality takes a number from 1 to 100, got '9O'"},
        {"quality", "", "quality takes a number from 1 to 100, got ''"},
        {"shift", "1.5", "shift takes a whole number of pixels or auto, got '1.5'"},
        {"shift", "99999999999", "shift takes a whole number of pixels or auto, got '99999999999'"},
        {"shift", "+-3", "shift takes a whole number of pixels or auto, got '+-3'"},
        {"swap", "maybe", "swap takes yes or no, got 'maybe'"},
        {"layout", "sideways",
         "layout takes one of auto|sbs|cross|over-under|under-over|half-sbs|half-over-under, got 'sideways'"},
        {"glasses", "blue", "glasses takes one of red-cyan|green-magenta|amber-blue, got 'blue'"},
        {"method", "Dubois", "method takes one of colour|half-colour|grey|optimised|dubois, got 'Dubois'"},
        {"to", "side-by-side", "to takes one of anaglyph|sbs|cross|over-under|half-sbs|jps|mpo|wiggle, got 'side-by-side'"},
        {"wiggle-ms", "10", "wiggle-ms takes a number of milliseconds from 20 to 10000, got '10'"},
        {"wiggle-size", "big", "wiggle-size takes a number of pixels from 16 to 65535, got 'big'"},
        {"colour", "red",
         "unknown setting 'colour' (known: layout, glasses, method, swap, shift, align, quality, strip, to, "
         "wiggle-ms, wiggle-size)"},
    };
    for (const Case& c : cases) {
        ConversionOptions options;
        std::string error;
        EXPECT_FALSE(ApplySetting(options, c.key, c.value, error)) << c.key << " = " << c.value;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(options.jpegQuality, 95);
        EXPECT_EQ(options.shift, 0);
    }
}

TEST(Settings, OptimisedNeedsRedCyanGlasses)
{
    ConversionOptions options;
    std::string error;
    options.method.method = MixMethod::Optimised;
    EXPECT_TRUE(CheckOptionCombination(options, error));
    options.method.glasses = Glasses::AmberBlue;
    EXPECT_FALSE(CheckOptionCombination(options, error));
    EXPECT_EQ(error, "method optimised is for red-cyan glasses only, not amber-blue");
}

TEST(Settings, PathFollowsXdgConfigHome)
{
    std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/home/ann", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsFilePath(), "/cfg/stereoglass/stereoglass.conf");
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1); // not absolute: ignored
    EXPECT_EQ(SettingsFilePath(), "/home/ann/.config/stereoglass/stereoglass.conf");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), "/home/ann/.config/stereoglass/stereoglass.conf");
    unsetenv("HOME");
    EXPECT_EQ(SettingsFilePath(), "");
    setenv("HOME", savedHome.c_str(), 1);
    if (!savedXdg.empty())
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST(Settings, FileGivesItsSettingsInOrder)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    WriteText(path, "# my glasses\n\n  glasses = green-magenta   # the cheap ones\r\n"
                    "quality=90\n\t# indented comment\nglasses = amber-blue\nswap = yes");
    Settings settings;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(path, settings, error)) << error;
    Settings expected = {{"glasses", "green-magenta"}, {"quality", "90"}, {"glasses", "amber-blue"}, {"swap", "yes"}};
    EXPECT_EQ(settings, expected);
    ConversionOptions options;
    ASSERT_TRUE(ApplySettings(options, settings, error)) << error;
    EXPECT_EQ(options.method.glasses, Glasses::AmberBlue); // the later line wins
    EXPECT_EQ(options.jpegQuality, 90);

    EXPECT_TRUE(ReadSettingsFile(folder / "absent.conf", settings, error));
    EXPECT_TRUE(settings.empty());
    EXPECT_TRUE(ReadSettingsFile(path + "/below-a-file.conf", settings, error)); // ENOTDIR: no such file either
    EXPECT_TRUE(settings.empty());
}

TEST(Settings, BadLineNamesFileLineAndProblem)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    struct Case {
        std::string text, error;
    };
    const Case cases[] = {
        {"# fine\nquality = 90\nquality = high\n", ":3: quality takes a number from 1 to 100, got 'high'"},
        {"glasses red-cyan\n", ":1: expected 'key = value', got 'glasses red-cyan'"},
        {"\n = 3\n", ":2: expected 'key = value', got '= 3'"},
        {"speed = 3\n", ":1: unknown setting 'speed' (known: layout, glasses, method, swap, shift, align, quality, "
                        "strip, to, wiggle-ms, wiggle-size)"},
    };
    for (const Case& c : cases) {
        WriteText(path, c.text);
        Settings settings;
        std::string error;
        EXPECT_FALSE(ReadSettingsFile(path, settings, error)) << c.text;
        EXPECT_EQ(error, path + c.error);
    }
    Settings settings;
    std::string error;
    EXPECT_FALSE(ReadSettingsFile(folder.path, settings, error)); // a folder, not a file
    EXPECT_EQ(error, "cannot read " + folder.path + ": not a regular file");
}

TEST(Settings, UpdateKeepsOtherLinesAndComments)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    WriteText(path, "# Stereoglass defaults\nlayout = cross\n\nglasses = red-cyan  # mine\nquality = 90\n");
    chmod(path.c_str(), 0600);
    std::string error;
    ASSERT_TRUE(UpdateSettingsFile(path, {{"glasses", "green-magenta"}, {"method", "grey"}, {"swap", "yes"}}, error))
        << error;
    EXPECT_EQ(ReadText(path), "# Stereoglass defaults\nlayout = cross\n\nglasses = green-magenta  # mine\n"
                              "quality = 90\nmethod = grey\nswap = yes\n");
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    auto entries = std::filesystem::directory_iterator(folder.path);
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

TEST(Settings, UpdateKeepsWindowsLineEnds)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    WriteText(path, "swap = no\r\nmethod = grey # calm\r\n");
    std::string error;
    ASSERT_TRUE(UpdateSettingsFile(path, {{"swap", "yes"}, {"method", "dubois"}}, error)) << error;
    EXPECT_EQ(ReadText(path), "swap = yes\r\nmethod = dubois # calm\r\n");
}

TEST(Settings, UpdateCreatesFolderAndFile)
{
    sgtest::TempFolder folder;
    std::string path = folder / "config/stereoglass/stereoglass.conf";
    std::string error;
    ASSERT_TRUE(UpdateSettingsFile(path, {{"glasses", "amber-blue"}}, error)) << error;
    EXPECT_EQ(ReadText(path), "glasses = amber-blue\n");
    Settings settings;
    ASSERT_TRUE(ReadSettingsFile(path, settings, error)) << error;
    EXPECT_EQ(settings, (Settings{{"glasses", "amber-blue"}}));
}

TEST(Settings, UpdateReplacesTheFileALinkNamesAndKeepsTheLink)
{
    sgtest::TempFolder folder;
    std::string real = folder / "dotfiles.conf";
    std::string link = folder / "stereoglass.conf";
    WriteText(real, "method = grey\n");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(UpdateSettingsFile(link, {{"method", "dubois"}}, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadText(real), "method = dubois\n");
}

TEST(Settings, UpdateRefusesWhatTheReaderWouldRefuse)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    WriteText(path, "quality = 90\n");
    struct Case {
        std::string key, value, error;
    };
    const Case cases[] = {
        {"glasses", "purple", "glasses takes one of red-cyan|green-magenta|amber-blue, got 'purple'"},
        {"swap", "yes\nquality = 1", "swap cannot hold 'yes\\nquality = 1'"},
        {"shift", "3 # x", "shift cannot hold '3 # x'"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(UpdateSettingsFile(path, {{"method", "grey"}, {c.key, c.value}}, error));
        EXPECT_EQ(error, "not written to " + path + ": " + c.error);
        EXPECT_EQ(ReadText(path), "quality = 90\n");
    }
}

TEST(Settings, ValuesInMessagesAreQuotedEscapedAndCut)
{
    struct Case {
        std::string value, shown;
    };
    const Case cases[] = {
        {"high", "'high'"},
        {"\x1b[31mRED", "'\\x1b[31mRED'"},
        {"a\tb\r\n", "'a\\tb\\r\\n'"},
        {"\x7f", "'\\x7f'"},
        {"\xc3\xa9t\xc3\xa9", "'\xc3\xa9t\xc3\xa9'"}, // UTF-8 stays
        {"\xc2\x9b" "2J", "'\\xc2\\x9b2J'"},       // a C1 control (CSI) in UTF-8
        {"\xff\xc3", "'\\xff\\xc3'"},              // not UTF-8
        {std::string(60, 'a') + "b", "'" + std::string(60, 'a') + "...'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuotedForMessage(c.value), c.shown);

    // A 100 KB value never reaches a message whole, nor a terminal raw.
    ConversionOptions options;
    std::string error;
    EXPECT_FALSE(ApplySetting(options, "quality", "\x1b[31mRED" + std::string(100000, 'x'), error));
    EXPECT_EQ(error, "quality takes a number from 1 to 100, got '\\x1b[31mRED" + std::string(52, 'x') + "...'");
    EXPECT_FALSE(ApplySetting(options, "\x1b]0;title\x07", "1", error));
    EXPECT_EQ(error.rfind("unknown setting '\\x1b]0;title\\x07' (known:", 0), 0u) << error;
}

// A FIFO, a folder or an oversized file at the settings path is refused at
// once by the reader and by the write-back, and nothing is written.
TEST(Settings, OnlyARegularFileOfAFewKilobytesIsRead)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    const std::string tooLarge = "cannot read " + path + ": larger than 64 KB; a settings file holds a few lines of "
                                 "defaults";
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string readError, updateError; // "" when read, when written
    };
    const Case cases[] = {
        {"FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, "cannot read " + path + ": not a regular file",
         "cannot read " + path + ": not a regular file"},
        // Read, but a line more would make it one that the next run refuses.
        {"64 KB", [&] { WriteText(path, "# " + std::string(64 * 1024 - 3, 'x') + "\n"); }, "",
         "not written to " + path + ": it would be larger than 64 KB"},
        {"64 KB and a byte", [&] { WriteText(path, "# " + std::string(64 * 1024 - 2, 'x') + "\n"); }, tooLarge,
         tooLarge},
        {"1 MB line", [&] { WriteText(path, "quality = " + std::string(1 << 20, '9')); }, tooLarge, tooLarge},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path);
        c.make();
        // Each call on a thread of its own, so that one that blocks fails
        // the test instead of hanging it.
        auto read = std::async(std::launch::async, [&] {
            Settings settings;
            std::string error;
            bool ok = ReadSettingsFile(path, settings, error);
            return std::make_pair(ok, error);
        });
        auto update = std::async(std::launch::async, [&] {
            std::string error;
            bool ok = UpdateSettingsFile(path, {{"swap", "yes"}}, error);
            return std::make_pair(ok, error);
        });
        for (auto [call, expected] : {std::make_pair(&read, c.readError), std::make_pair(&update, c.updateError)}) {
            if (call->wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << c.name << ": blocked";
                int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK); // lets a blocked open go on
                call->wait();
                close(writer);
            }
            auto [ok, error] = call->get();
            EXPECT_EQ(ok, expected.empty()) << c.name;
            EXPECT_EQ(error, expected) << c.name;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1) << c.name;
    }
}

TEST(Settings, LinesThatClashAreNamedWithTheirMend)
{
    std::string error;
    Settings settings = {{"glasses", "red-cyan"}, {"method", "optimised"}, {"glasses", "amber-blue"}};
    EXPECT_FALSE(CheckSettingsFileCombination("/c/s.conf", settings, {2, 5, 7}, error));
    EXPECT_EQ(error, "/c/s.conf:7: glasses = amber-blue and /c/s.conf:5: method = optimised do not go together: "
                     "method optimised is for red-cyan glasses only, not amber-blue; change or remove one of these "
                     "lines");
    settings.pop_back();
    EXPECT_TRUE(CheckSettingsFileCombination("/c/s.conf", settings, {2, 5}, error));
}

// The dialog's write-back never leaves a file that the next run refuses:
// with glasses = amber-blue in the file and red-cyan from the command line,
// picking optimised also writes the glasses the run used.
TEST(Settings, UpdateWritesTheCompanionsWhenTheFileWouldClash)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    const Settings companions = {{"glasses", "red-cyan"}, {"method", "optimised"}, {"swap", "no"}};
    struct Case {
        std::string before;
        Settings changes, companions;
        std::string after; // "" when refused and the file left as it was
    };
    const Case cases[] = {
        {"glasses = amber-blue # cheap\nmethod = dubois\n", {{"method", "optimised"}}, companions,
         "glasses = red-cyan # cheap\nmethod = optimised\nswap = no\n"},
        // Without them the write-back is refused, not made.
        {"glasses = amber-blue\nmethod = dubois\n", {{"method", "optimised"}}, {}, ""},
        // A file that already clashed is mended by the next write-back.
        {"glasses = amber-blue\nmethod = optimised\n", {{"swap", "yes"}},
         {{"glasses", "red-cyan"}, {"method", "optimised"}, {"swap", "yes"}},
         "glasses = red-cyan\nmethod = optimised\nswap = yes\n"},
        // No clash: only the change is written.
        {"glasses = amber-blue\n", {{"method", "dubois"}}, companions, "glasses = amber-blue\nmethod = dubois\n"},
    };
    for (const Case& c : cases) {
        WriteText(path, c.before);
        std::string error;
        EXPECT_EQ(UpdateSettingsFile(path, c.changes, error, c.companions), !c.after.empty()) << c.before << error;
        EXPECT_EQ(ReadText(path), c.after.empty() ? c.before : c.after);
        Settings settings;
        std::vector<int32_t> lines;
        ASSERT_TRUE(ReadSettingsFile(path, settings, error, &lines)) << error;
        if (!c.after.empty())
            EXPECT_TRUE(CheckSettingsFileCombination(path, settings, lines, error)) << error;
        else
            EXPECT_EQ(error.rfind("not written to " + path + ", since the next run would refuse it: " + path +
                                      ":1: glasses = amber-blue and " + path + ":2: method = optimised do not go",
                                  0),
                      0u)
                << error;
    }
}

// The write-back changes the settings, not what the file is: its owner and
// group, its other hard links, and the link that names it.
TEST(Settings, UpdateKeepsOwnerGroupHardLinksAndRefusesADanglingLink)
{
    sgtest::TempFolder folder;
    std::string path = folder / "stereoglass.conf";
    std::string error;
    if (getuid() == 0) {
        WriteText(path, "swap = no\n");
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(UpdateSettingsFile(path, {{"swap", "yes"}}, error)) << error;
        struct stat info = {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
        EXPECT_EQ(ReadText(path), "swap = yes\n");
        std::filesystem::remove(path);
    }

    std::string other = folder / "backup.conf";
    WriteText(path, "method = grey\n");
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
    ASSERT_TRUE(UpdateSettingsFile(path, {{"method", "dubois"}}, error)) << error;
    EXPECT_TRUE(std::filesystem::equivalent(path, other));
    EXPECT_EQ(ReadText(other), "method = dubois\n");
    std::filesystem::remove(other);
    std::filesystem::remove(path);

    ASSERT_EQ(symlink("dotfiles/stereoglass.conf", path.c_str()), 0);
    EXPECT_FALSE(UpdateSettingsFile(path, {{"method", "dubois"}}, error));
    EXPECT_EQ(error, "not written to " + path +
                         ": it is a symbolic link to 'dotfiles/stereoglass.conf', which does not exist; create that "
                         "file or remove the link");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
}
