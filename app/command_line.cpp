#include "app/command_line.h"

#include <getopt.h>

#include <charconv>
#include <mutex>

namespace {

constexpr int32_t kMostJobs = 64;

// Long options without a short form get codes above the byte range.
enum OptionCode {
    kConvert = 'c',
    kOutput = 'o',
    kRecursive = 'r',
    kQuiet = 'q',
    kHelp = 'h',
    kVersion = 'V',
    kJobs = 'j',
    kQuality = 256,
    kLayout,
    kSwap,
    kLeft,
    kRight,
    kStrip,
    kGlasses,
    kMethod,
    kShift,
    kAlign,
};

// ':' first: a missing value is told apart from an unknown option.
constexpr const char* kShortOptions = ":co:rqhVj:";

const option kLongOptions[] = {
    {"convert", no_argument, nullptr, kConvert},
    {"output", required_argument, nullptr, kOutput},
    {"recursive", no_argument, nullptr, kRecursive},
    {"quiet", no_argument, nullptr, kQuiet},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"jobs", required_argument, nullptr, kJobs},
    {"quality", required_argument, nullptr, kQuality},
    {"layout", required_argument, nullptr, kLayout},
    {"swap", optional_argument, nullptr, kSwap},
    {"left", required_argument, nullptr, kLeft},
    {"right", required_argument, nullptr, kRight},
    {"strip", optional_argument, nullptr, kStrip},
    {"glasses", required_argument, nullptr, kGlasses},
    {"method", required_argument, nullptr, kMethod},
    {"shift", required_argument, nullptr, kShift},
    {"align", optional_argument, nullptr, kAlign},
    {nullptr, 0, nullptr, 0},
};

// The settings key of an option that the settings file also holds, else "".
std::string SettingKey(int code)
{
    switch (code) {
    case kQuality:
        return "quality";
    case kLayout:
        return "layout";
    case kSwap:
        return "swap";
    case kStrip:
        return "strip";
    case kGlasses:
        return "glasses";
    case kMethod:
        return "method";
    case kShift:
        return "shift";
    case kAlign:
        return "align";
    default:
        return std::string();
    }
}

// The option as the user wrote it, without a value joined by '='.
std::string OptionAsWritten(const char* argument)
{
    std::string written = argument ? argument : "";
    size_t equals = written.find('=');
    if (written.rfind("--", 0) == 0 && equals != std::string::npos)
        written.resize(equals);
    return written;
}

bool ParseJobs(const char* text, int32_t& jobs)
{
    std::string_view value = text;
    int32_t number = 0;
    auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || status != std::errc() || end != value.data() + value.size() || number < 1 ||
        number > kMostJobs)
        return false;
    jobs = number;
    return true;
}

// The checks that need the whole command line.
bool CheckMode(CommandLine& commandLine, bool convert, std::string& error)
{
    bool pair = !commandLine.leftPath.empty() || !commandLine.rightPath.empty();
    if (pair && (commandLine.leftPath.empty() || commandLine.rightPath.empty())) {
        error = "--left and --right go together: give both views of the pair";
        return false;
    }
    if (convert) {
        if (commandLine.paths.empty() && !pair) {
            error = "-c needs a picture, a folder or a --left/--right pair";
            return false;
        }
        commandLine.mode = RunMode::Convert;
        return true;
    }
    if (commandLine.paths.size() + (pair ? 1 : 0) > 1) {
        error = "without -c the program shows one picture; use -c to convert several";
        return false;
    }
    bool onePicture = !commandLine.paths.empty() || pair;
    if (!onePicture && !commandLine.outputPath.empty()) {
        error = "-o needs a picture to convert";
        return false;
    }
    commandLine.mode = onePicture ? RunMode::Show : RunMode::Dialog;
    return true;
}

} // namespace

bool ParseCommandLine(int argc, const char* const argv[], CommandLine& commandLine, std::string& error)
{
    // getopt keeps its state in globals; one parse at a time.
    static std::mutex parsing;
    std::lock_guard<std::mutex> lock(parsing);

    commandLine = CommandLine();
    // getopt_long moves the operands behind the options in the array it is
    // given, so it gets a copy.
    std::vector<char*> arguments;
    std::vector<std::string> copies(argv, argv + argc);
    for (std::string& copy : copies)
        arguments.push_back(copy.data());
    arguments.push_back(nullptr);

    optind = 0; // also resets GNU getopt's scanning state
    opterr = 0;
    bool convert = false, help = false, version = false;
    ConversionOptions checked;
    for (;;) {
        int before = optind;
        int code = getopt_long(argc, arguments.data(), kShortOptions, kLongOptions, nullptr);
        if (code == -1)
            break;
        if (code == '?' || code == ':') {
            // The option just read: a long one is the whole argument this
            // call went past; a short one is optopt (inside a cluster such
            // as "-xc" getopt has not gone past its argument yet).
            std::string last = optind > before ? OptionAsWritten(arguments[optind - 1]) : std::string();
            std::string name = last.rfind("--", 0) == 0 ? last : "-" + std::string(1, static_cast<char>(optopt));
            error = code == '?' ? "unknown option '" + name + "'" : name + " needs a value";
            return false;
        }
        std::string key = SettingKey(code);
        if (!key.empty()) {
            // A yes/no option alone means yes.
            std::string value = optarg ? optarg : "yes";
            std::string problem;
            if (!ApplySetting(checked, key, value, problem)) {
                error = "--" + problem;
                return false;
            }
            // Two different shifts (a number and auto, say) leave no way to
            // tell which was meant.
            if (key == "shift") {
                for (const auto& [earlierKey, earlier] : commandLine.settings)
                    if (earlierKey == key && earlier != value) {
                        error = "--shift is given twice (" + earlier + " and " + value + "); give one";
                        return false;
                    }
            }
            commandLine.settings.emplace_back(key, value);
            continue;
        }
        switch (code) {
        case kConvert:
            convert = true;
            break;
        case kOutput:
            commandLine.outputPath = optarg;
            break;
        case kRecursive:
            commandLine.recursive = true;
            break;
        case kQuiet:
            commandLine.quiet = true;
            break;
        case kHelp:
            help = true;
            break;
        case kVersion:
            version = true;
            break;
        case kJobs:
            if (!ParseJobs(optarg, commandLine.jobs)) {
                error = "--jobs takes a number from 1 to " + std::to_string(kMostJobs) +
                        ", got '" + optarg + "'";
                return false;
            }
            break;
        case kLeft:
            commandLine.leftPath = optarg;
            break;
        case kRight:
            commandLine.rightPath = optarg;
            break;
        default:
            break;
        }
    }
    for (int i = optind; i < argc; ++i)
        commandLine.paths.push_back(arguments[i]);
    for (const std::string& path : commandLine.paths) {
        if (path.empty()) {
            error = "an empty name is no picture";
            return false;
        }
    }
    if (help || version) {
        commandLine.mode = help ? RunMode::Help : RunMode::Version;
        return true;
    }
    return CheckMode(commandLine, convert, error);
}

std::string UsageText()
{
    return R"(Usage: stereoglass                        choose a picture in a dialog, convert it, show it
       stereoglass [OPTIONS] FILE           convert FILE and show the anaglyph full screen
       stereoglass -c [OPTIONS] PATH...     convert pictures and folders, show nothing

A stereo picture (left view on the left, unless the file or --layout says
otherwise) becomes a red/cyan anaglyph JPEG beside it: Pair.JPG gives
pair_anaglyph.jpg.

Runs:
  -c, --convert          convert every PATH without showing anything; needs no
                         display. A folder converts the pictures in it (found by
                         content, not by name; its *_anaglyph.* results skipped)
  -r, --recursive        with -c, go into the subfolders of each folder
  -o, --output PATH      write the anaglyph to PATH: a file for one picture, a
                         folder for several (made when missing; a name ending
                         in '/' is always a folder). The format comes from the
                         extension: jpg, jpeg, png, bmp, gif, tif, tiff
  -j, --jobs N           convert N pictures at once (1 to 64; default: one per
                         processor core)
  -q, --quiet            no progress bar and no line per picture; errors only
  -h, --help             show this text
  -V, --version          show the version

Pictures:
      --left FILE --right FILE
                         a pair from two files of the same size; the anaglyph
                         is named after the left one
      --layout LAYOUT    how the views lie in the file: auto (what the file
                         says, else sbs), sbs, cross, over-under, under-over,
                         half-sbs, half-over-under
      --swap[=yes|no]    exchange the left and right views

Anaglyph:
      --glasses GLASSES  red-cyan (default), green-magenta, amber-blue
      --method METHOD    colour (default), half-colour, grey, optimised
                         (red-cyan only), dubois
      --shift N          add N pixels to every point's separation: positive
                         moves the scene back, negative brings it forward
      --shift auto       measure the pair and put its nearest part at the
                         window (the screen's plane); says the depth range
      --align[=yes|no]   measure roll, zoom, vertical offset and keystone
                         between the views and warp the right view to remove
                         them, cropping both to what they share
      --quality N        JPEG quality, 1 to 100 (default 95, always 4:4:4)
      --strip[=yes|no]   keep no metadata (EXIF, ICC profile) in the output

Settings:
  $XDG_CONFIG_HOME/stereoglass/stereoglass.conf (default
  ~/.config/stereoglass/stereoglass.conf) holds defaults for layout, glasses,
  method, swap, shift, align, quality and strip, one "key = value" a line,
  '#' starting a comment. The command line wins over the file.

Exit status: 0 all converted, 1 some pictures failed, 2 usage or settings
error (nothing was done).

Examples:
  stereoglass -c ~/Pictures/3d                 every picture of the folder
  stereoglass -c -r --glasses green-magenta --method dubois -o out/ trip/
  stereoglass -c --left L.jpg --right R.jpg -o pair.png
)";
}
