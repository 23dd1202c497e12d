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
    kTo,
    kWiggleMs,
    kWiggleSize,
    kThumbnail,
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
    {"to", required_argument, nullptr, kTo},
    {"wiggle-ms", required_argument, nullptr, kWiggleMs},
    {"wiggle-size", required_argument, nullptr, kWiggleSize},
    {"thumbnail", required_argument, nullptr, kThumbnail},
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
    case kTo:
        return "to";
    case kWiggleMs:
        return "wiggle-ms";
    case kWiggleSize:
        return "wiggle-size";
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

// The most pixels a preview may have on its longer side.
constexpr int32_t kMostThumbnailSize = 4096;

bool ParseThumbnailSize(const char* text, int32_t& size)
{
    std::string_view value = text;
    int32_t number = 0;
    auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || status != std::errc() || end != value.data() + value.size() || number < 1 ||
        number > kMostThumbnailSize)
        return false;
    size = number;
    return true;
}

// --to other than the anaglyph needs a picture: the dialog writes and shows
// the anaglyph whose glasses it offers.
bool AsksForOtherKind(const CommandLine& commandLine)
{
    for (const auto& [key, value] : commandLine.settings) {
        if (key == "to" && value != OutputKindName(OutputKind::Anaglyph))
            return true;
    }
    return false;
}

// The checks that need the whole command line.
bool CheckMode(CommandLine& commandLine, bool convert, std::string& error)
{
    if (commandLine.thumbnailSize > 0) {
        if (convert || commandLine.paths.size() != 2 || !commandLine.leftPath.empty() ||
            !commandLine.rightPath.empty() || !commandLine.outputPath.empty()) {
            error = "--thumbnail SIZE takes a picture and the PNG file to write: --thumbnail SIZE IN OUT";
            return false;
        }
        commandLine.mode = RunMode::Thumbnail;
        return true;
    }
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
    if (!onePicture && AsksForOtherKind(commandLine)) {
        error = "--to needs a picture: the dialog writes and shows the anaglyph";
        return false;
    }
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
            if (*optarg == '\0') {
                error = "-o needs a file or folder name; the one given is empty";
                return false;
            }
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
                error = "--jobs takes a number from 1 to " + std::to_string(kMostJobs) + ", got " +
                        QuotedForMessage(optarg);
                return false;
            }
            break;
        case kLeft:
        case kRight:
            if (*optarg == '\0') {
                error = std::string(code == kLeft ? "--left" : "--right") + " needs the " +
                        (code == kLeft ? "left" : "right") + " view's file; the name given is empty";
                return false;
            }
            (code == kLeft ? commandLine.leftPath : commandLine.rightPath) = optarg;
            break;
        case kThumbnail:
            if (!ParseThumbnailSize(optarg, commandLine.thumbnailSize)) {
                error = "--thumbnail takes a size in pixels from 1 to " + std::to_string(kMostThumbnailSize) +
                        ", got '" + optarg + "'";
                return false;
            }
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
       stereoglass [OPTIONS] FILE           convert FILE and show the result full screen
       stereoglass -c [OPTIONS] PATH...     convert pictures and folders, show nothing

A stereo picture (left view on the left, unless the file or --layout says
otherwise) becomes a red/cyan anaglyph JPEG beside it: Pair.JPG gives
pair_anaglyph.jpg.

Runs:
  -c, --convert          convert every PATH without showing anything; needs no
                         display. A folder converts the pictures in it (found by
                         content, not by name; its earlier results, named as
                         --to names them, skipped)
  -r, --recursive        with -c, go into the subfolders of each folder
  -o, --output PATH      write the anaglyph to PATH: a file for one picture, a
                         folder for several (made when missing; a name ending
                         in '/' is always a folder). The format comes from the
                         extension: jpg, jpeg, jpe, jfif, png, gif, tif, tiff,
                         bmp, dib, rle
  -j, --jobs N           convert N pictures at once (1 to 64; default: one per
                         processor core)
  -q, --quiet            no progress bar and no line per picture; errors only
      --thumbnail SIZE IN OUT
                         write a PNG anaglyph preview of IN to OUT, at most
                         SIZE pixels on its longer side (for file managers;
                         needs no display; nothing written for a bad file)
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

Output (with -c or FILE; the dialog writes the anaglyph):
      --to KIND          what to write: anaglyph (default), sbs (left view on
                         the left), cross (right view on the left), over-under
                         (left on top), half-sbs (each view half width, for 3D
                         TVs), jps, mpo (stereo cameras, the Nintendo 3DS),
                         wiggle (animated GIF). Beside the source: pair_sbs.jpg,
                         pair_cross.jpg, pair_over-under.jpg, pair_half-sbs.jpg,
                         pair_stereo.jps, pair_stereo.mpo, pair_wiggle.gif;
                         -o NAME.jps and -o NAME.mpo imply their kind
      --wiggle-ms N      a wiggle frame's time, 20 to 10000 ms (default 150)
      --wiggle-size N    a wiggle's longer side at most, 16 to 65535 pixels
                         (default 800)

Settings:
  $XDG_CONFIG_HOME/stereoglass/stereoglass.conf (default
  ~/.config/stereoglass/stereoglass.conf) holds defaults for layout, glasses,
  method, swap, shift, align, quality, strip, to (for -c and FILE runs; the
  dialog writes the anaglyph), wiggle-ms and wiggle-size, one "key = value" a
  line, '#' starting a comment. The command line wins over the file.

Exit status: 0 all converted, 1 some pictures failed (or FILE could not be
converted), 2 usage or settings error (nothing was done).

Examples:
  stereoglass -c ~/Pictures/3d                 every picture of the folder
  stereoglass -c -r --glasses green-magenta --method dubois -o out/ trip/
  stereoglass -c --left L.jpg --right R.jpg -o pair.png
  stereoglass -c --align --to mpo ~/Pictures/3d  every pair as an MPO for the 3DS
)";
}
