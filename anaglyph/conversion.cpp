#include "anaglyph/conversion.h"

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/conversion_checks.h"
#include "anaglyph/stereo_output.h"
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
    const StereoOutput& output = StereoOutputFor(request.options.outputKind);
    EncodeFormat format;
    if (!OutputFormatForName(output, request.outputPath, format))
        return Failed(ConversionStatus::OutputRefused, std::string("The ") + output.noun +
                                                           " could not be written to " + Quoted(request.outputPath) +
                                                           ".");
    if (output.kind == OutputKind::Anaglyph) {
        std::string refusal = MixMethodRefusal(request.options.method);
        if (!refusal.empty())
            return Failed(ConversionStatus::OptionsRefused, refusal);
    }
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
    if (!AdjustViews(request.options, left, right, notes, problem))
        return Failed(ConversionStatus::SourceUnsuitable,
                      Quoted(request.sourcePath) + " cannot be converted: " + problem + ".");

    // The kind's writer: the anaglyph mixes and encodes, the others put the
    // two views into their own container (stereo_output.h).
    OutputJob job;
    job.left = left;
    job.right = right;
    job.request = &request;
    job.format = format;
    job.sourceBytes = &source.file.bytes;
    job.notes = &notes;
    if (!output.write(job, result))
        return result;
    result.status = ConversionStatus::Written;
    result.notes = notes;
    return result;
}
