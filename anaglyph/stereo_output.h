#pragma once
// The output kinds as one table: a row per kind, with its name for --to,
// the suffix and extension of its file beside the source, its encoder, the
// size and memory it takes from the size of the views, and its writer. The
// conversion ends in the writer of its kind; the anaglyph is the first row.
#include <cstdint>
#include <string>

#include "anaglyph/conversion.h"
#include "anaglyph/output_kind.h"
#include "base/image.h"
#include "imageio/codecs/codec.h"

// What a writer gets: the two views after the adjustments, the request, the
// encoder its output's name selected, and the source's head (its metadata).
struct OutputJob {
    ImageView left, right;
    const ConversionRequest* request = nullptr;
    PictureFormat format = PictureFormat::Jpeg;
    const std::string* sourceBytes = nullptr;
    std::string* notes = nullptr; // lines for the user, each ending in a newline
};

// The result's pixel size, and the bytes of pixel buffers the writer makes
// beyond the views it is given (the encoder's own output not counted).
struct OutputSize {
    int64_t width = 0;
    int64_t height = 0;
    int64_t bufferBytes = 0;
};

struct StereoOutput {
    OutputKind kind;
    const char* name;      // for --to and the settings file
    const char* suffix;    // after the source's name: "_anaglyph"
    const char* extension; // of the file written beside the source: "jpg"
    // The only extension -o may name for this kind (its container), or
    // nullptr when any picture format -o names will do.
    const char* ownExtension;
    PictureFormat format;   // the encoder of an own-extension kind
    const char* noun;      // in messages: "The anaglyph could not be written …"
    OutputSize (*size)(int32_t viewWidth, int32_t viewHeight, const ConversionOptions& options);
    // Writes request->outputPath; false with result's status and reason set.
    bool (*write)(const OutputJob& job, ConversionResult& result);
};

const StereoOutput& StereoOutputFor(OutputKind kind);

// The encoder of the kind for the output's name: an own-extension kind's
// when the name ends in that extension, else the format the name's
// extension selects. False when the name does not fit the kind.
bool OutputFormatForName(const StereoOutput& output, const std::string& outputPath, PictureFormat& format);

// The kind an output's name implies: "x.mpo" an MPO, "x.jps" a JPS; asked
// when it implies none, or when something other than the anaglyph was asked.
OutputKind OutputKindForName(const std::string& outputPath, OutputKind asked);

// "" when -o's name fits the kind; else the problem, for a usage error.
std::string OutputNameProblem(OutputKind kind, const std::string& outputPath);

// True for the name of one of the program's own results, which a folder
// search skips: the name before its last dot ends in a kind's suffix (in
// any case) and, for a kind with an extension of its own, the extension is
// that one ("x_anaglyph.png", "x_sbs.jpg", "x_stereo.mpo"; not
// "x_stereo.jpg").
bool IsOutputResultName(const std::string& fileName);
