#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
        {"colour", "red",
         "unknown setting 'colour' (known: layout, glasses, method, swap, shift, align, quality, strip)"},
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
                        "strip)"},
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
        {"swap", "yes\nquality = 1", "swap cannot hold 'yes\nquality = 1'"},
        {"shift", "3 # x", "shift cannot hold '3 # x'"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(UpdateSettingsFile(path, {{"method", "grey"}, {c.key, c.value}}, error));
        EXPECT_EQ(error, "not written to " + path + ": " + c.error);
        EXPECT_EQ(ReadText(path), "quality = 90\n");
    }
}
