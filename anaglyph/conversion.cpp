#include "anaglyph/conversion.h"

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/conversion_checks.h"
#include "anaglyph/stereo_source.h"
#include "anaglyph/view_adjustment.h"
#include "imageio/image_file.h"
#include "imageio/metadata.h"

// The path: the source is decoded once, into the one full-size buffer of
// the run; the views are windows onto it (only an odd width's right view is
// resampled into a buffer of its own); the options narrow or exchange those
// windows; the anaglyph is mixed into the left view's own pixels, since each
// output pixel depends only on the same pixel of the two views; and the
// encoder reads it from there, rows a source width apart. No lock is taken,
// so conversions on different threads run side by side.
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

ConversionResult Failed(ConversionStatus status, std::string reason)
{
    ConversionResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

} // namespace

ConversionResult ConvertPicture(const ConversionRequest& request)
{
    ConversionResult result;
    EncodeFormat format;
    if (!ImageFormatForName(request.outputPath, format))
        return Failed(ConversionStatus::OutputRefused,
                      "The anaglyph could not be written to " + Quoted(request.outputPath) + ".");
    std::string refusal = MixMethodRefusal(request.options.method);
    if (!refusal.empty())
        return Failed(ConversionStatus::OptionsRefused, refusal);
    if (RefuseBeforeConverting(request, result))
        return result;

    // The views as the file and the options say (stereo_source.h).
    StereoSource source;
    std::string reason;
    ConversionStatus loaded = LoadStereoSource(request, source, reason);
    if (loaded != ConversionStatus::Written)
        return Failed(loaded, reason);

    ImageView left = source.views.left, right = source.views.right;
    std::string notes = source.notes, problem;
    Image alignedRight; // the right view once --align warped it; kept until the file is written
    if (!AdjustViews(request.options, request.sourcePath, left, right, alignedRight, notes, problem))
        return Failed(ConversionStatus::SourceUnsuitable,
                      Quoted(request.sourcePath) + " cannot be converted: " + problem + ".");

    ImageView anaglyph = left;
    if (!MixViews(left, right, request.options.method, anaglyph))
        return Failed(ConversionStatus::SourceUnsuitable,
                      "The views of " + Quoted(request.sourcePath) + " could not be mixed.");

    EncodeOptions encode;
    encode.jpegQuality = request.options.jpegQuality;
    const std::string& from = source.file.bytes;
    const auto* fromData = reinterpret_cast<const uint8_t*>(from.data());
    if (!request.options.stripMetadata && PictureHasMetadata(fromData, from.size())) {
        encode.finish = [&](std::string& bytes) {
            CopyPictureMetadata(fromData, from.size(), bytes, format, anaglyph.width, anaglyph.height, notes);
        };
    }
    if (EncodeImageFile(request.outputPath, format, anaglyph, encode) != kCodecOk) {
        ExplainOutputFailure(request, result);
        return result;
    }
    result.status = ConversionStatus::Written;
    result.notes = notes;
    return result;
}
