#include "app/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

bool Parse(std::initializer_list<const char*> words, CommandLine& commandLine, std::string& error)
{
    std::vector<const char*> argv = {"stereoglass"};
    argv.insert(argv.end(), words.begin(), words.end());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), commandLine, error);
}

} // namespace

TEST(CommandLine, ModesFollowWhatIsGiven)
{
    struct Case {
        std::initializer_list<const char*> words;
        RunMode mode;
    };
    const Case cases[] = {
        {{}, RunMode::Dialog},
        {{"pair.jpg"}, RunMode::Show},
        {{"--glasses", "amber-blue", "pair.jpg"}, RunMode::Show},
        {{"--left", "l.jpg", "--right", "r.jpg"}, RunMode::Show},
        {{"-c", "a.jpg", "b.jpg"}, RunMode::Convert},
        {{"a.jpg", "folder", "--convert"}, RunMode::Convert},
        {{"-c", "--left", "l.jpg", "--right", "r.jpg"}, RunMode::Convert},
        {{"-c", "--help"}, RunMode::Help},
        {{"--version", "a", "b"}, RunMode::Version},
        {{"--thumbnail", "128", "in.mpo", "out.png"}, RunMode::Thumbnail},
        {{"-c", "--to", "mpo", "a.jpg"}, RunMode::Convert},
        {{"--to", "anaglyph", "a.jpg"}, RunMode::Show},
        {{"--to", "sbs", "a.jpg"}, RunMode::Show},
        {{"--to=wiggle", "--left", "l.jpg", "--right", "r.jpg"}, RunMode::Show},
        {{"--to", "anaglyph"}, RunMode::Dialog},
    };
    for (const Case& c : cases) {
        CommandLine commandLine;
        std::string error;
        EXPECT_TRUE(Parse(c.words, commandLine, error)) << error;
        EXPECT_EQ(commandLine.mode, c.mode) << (c.words.size() ? *c.words.begin() : "(none)");
    }
}

TEST(CommandLine, OptionsAndOperandsInAnyOrder)
{
    CommandLine commandLine;
    std::string error;
    ASSERT_TRUE(Parse({"a.jpg", "-rqc", "--shift", "-12", "-o", "out/", "--swap", "--quality=80", "--jobs", "2",
                       "--strip=no", "--layout", "cross", "--", "-odd.jpg"},
                      commandLine, error))
        << error;
    EXPECT_EQ(commandLine.mode, RunMode::Convert);
    EXPECT_EQ(commandLine.paths, (std::vector<std::string>{"a.jpg", "-odd.jpg"}));
    EXPECT_TRUE(commandLine.recursive);
    EXPECT_TRUE(commandLine.quiet);
    EXPECT_EQ(commandLine.outputPath, "out/");
    EXPECT_EQ(commandLine.jobs, 2);
    Settings expected = {{"shift", "-12"}, {"swap", "yes"}, {"quality", "80"}, {"strip", "no"}, {"layout", "cross"}};
    EXPECT_EQ(commandLine.settings, expected);
}

TEST(CommandLine, UsageErrorsHaveOneClearMessage)
{
    struct Case {
        std::initializer_list<const char*> words;
        std::string error;
    };
    const Case cases[] = {
        {{"--quality", "x", "a.jpg"}, "--quality takes a number from 1 to 100, got 'x'"},
        {{"-c", "--quality=0", "a.jpg"}, "--quality takes a number from 1 to 100, got '0'"},
        {{"-c", "a.jpg", "--quality"}, "--quality needs a value"},
        {{"-c", "a.jpg", "-o"}, "-o needs a value"},
        {{"-c", "a.jpg", "--output"}, "--output needs a value"},
        {{"--bogus", "a.jpg"}, "unknown option '--bogus'"},
        {{"--bogus=3"}, "unknown option '--bogus'"},
        {{"-cx", "a.jpg"}, "unknown option '-x'"},
        {{"--layout=cross", "-xc", "a.jpg"}, "unknown option '-x'"},
        {{"--help=yes"}, "unknown option '--help'"},
        {{"--shift", "1.5", "a.jpg"}, "--shift takes a whole number of pixels or auto, got '1.5'"},
        {{"--shift", "auto", "--shift=-4", "a.jpg"}, "--shift is given twice (auto and -4); give one"},
        {{"--shift", "3", "--shift", "5", "a.jpg"}, "--shift is given twice (3 and 5); give one"},
        {{"--swap=perhaps", "a.jpg"}, "--swap takes yes or no, got 'perhaps'"},
        {{"--glasses", "blue", "a.jpg"}, "--glasses takes one of red-cyan|green-magenta|amber-blue, got 'blue'"},
        {{"--method", "mono"}, "--method takes one of colour|half-colour|grey|optimised|dubois, got 'mono'"},
        {{"--layout", "tb"},
         "--layout takes one of auto|sbs|cross|over-under|under-over|half-sbs|half-over-under, got 'tb'"},
        {{"-c", "-j", "0", "a.jpg"}, "--jobs takes a number from 1 to 64, got '0'"},
        {{"-c"}, "-c needs a picture, a folder or a --left/--right pair"},
        {{"-c", "--left", "l.jpg"}, "--left and --right go together: give both views of the pair"},
        {{"a.jpg", "b.jpg"}, "without -c the program shows one picture; use -c to convert several"},
        {{"a.jpg", "--left", "l.jpg", "--right", "r.jpg"},
         "without -c the program shows one picture; use -c to convert several"},
        {{"-o", "x.png"}, "-o needs a picture to convert"},
        {{"-c", ""}, "an empty name is no picture"},
        {{"-c", "--to", "3d", "a.jpg"}, "--to takes one of anaglyph|sbs|cross|over-under|half-sbs|jps|mpo|wiggle, "
                                        "got '3d'"},
        {{"-c", "--wiggle-ms=5", "a.jpg"}, "--wiggle-ms takes a number of milliseconds from 20 to 10000, got '5'"},
        // The dialog writes the anaglyph whose glasses it offers.
        {{"--to=wiggle"}, "--to needs a picture: the dialog writes and shows the anaglyph"},
        {{"--to", "mpo", "--glasses", "amber-blue"}, "--to needs a picture: the dialog writes and shows the anaglyph"},
        {{"--thumbnail", "0", "in.mpo", "out.png"}, "--thumbnail takes a size in pixels from 1 to 4096, got '0'"},
        {{"--thumbnail", "64", "in.mpo"},
         "--thumbnail SIZE takes a picture and the PNG file to write: --thumbnail SIZE IN OUT"},
        {{"-c", "--thumbnail", "64", "in.mpo", "out.png"},
         "--thumbnail SIZE takes a picture and the PNG file to write: --thumbnail SIZE IN OUT"},
    };
    for (const Case& c : cases) {
        CommandLine commandLine;
        std::string error;
        EXPECT_FALSE(Parse(c.words, commandLine, error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

TEST(CommandLine, UsageNamesEveryOption)
{
    std::string usage = UsageText();
    for (const char* option : {"--convert", "--output", "--recursive", "--quiet", "--jobs", "--help", "--version",
                               "--quality", "--layout", "--swap", "--left", "--right", "--strip", "--glasses",
                               "--method", "--shift", "--align", "--to", "--wiggle-ms", "--wiggle-size",
                               "--thumbnail"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
