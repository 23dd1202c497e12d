#include "anaglyph/conversion.h"

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/conversion_checks.h"
#include "anaglyph/conversion_plan.h"
#include "anaglyph/stereo_output.h"
#include "anaglyph/stereo_source.h"
#include "anaglyph/streamed_anaglyph.h"

// The path: each source file is opened and read once and the conversion
// planned (sizes, limits, memory) before any pixel is decoded; the source is
// decoded once, into the one full-size buffer of the run; the views are
// windows onto it (only an odd width's right view is resampled into a
// buffer of its own); the options narrow or exchange those
// windows; the anaglyph is mixed into the left view's own pixels, since each
// output pixel depends only on the same pixel of the two views; and the
// encoder reads it from there, rows a source width apart. No lock is taken,
// so conversions on different threads run side by side. A conversion the
// plan sends by bands (a side-by-side JPEG's anaglyph) never holds the
// whole picture: streamed_anaglyph.h.
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
    PictureFormat format;
    if (!OutputFormatForName(output, request.outputPath, format))
        return Failed(ConversionStatus::OutputRefused, std::string("The ") + output.noun +
                                                           " could not be written to " + Quoted(request.outputPath) +
                                                           ".");
    if (output.kind == OutputKind::Anaglyph) {
        std::string refusal = MixMethodRefusal(request.options.method);
        if (!refusal.empty())
            return Failed(ConversionStatus::OptionsRefused, refusal);
    }
    if (RefuseSameFile(request, result))
        return result;

    // Each file opened once and read; where the views come from and their
    // size (stereo_source.h), before any pixel is decoded.
    StereoSource source;
    std::string reason;
    ConversionStatus status = OpenStereoSource(request, source, reason);
    if (status != ConversionStatus::Written)
        return Failed(status, reason);
    // The views' size after each step, the output's, and the memory it all
    // takes: refused here, with the true reason, when it cannot be done.
    ConversionPlan plan;
    status = PlanConversion(request, source, format, plan, reason);
    if (status != ConversionStatus::Written)
        return Failed(status, reason);

    if (plan.path == ConversionPath::Bands)
        return StreamAnaglyph(request, source, plan);

    status = DecodeStereoSource(request, source, reason);
    if (status != ConversionStatus::Written)
        return Failed(status, reason);
    ImageView left = source.views.left, right = source.views.right;
    std::string notes = source.notes;
    // Kept until the file is written: the aligned right view lives in it.
    ViewStepState steps;
    steps.sourceName = request.sourcePath;
    if (!RunViewSteps(request, plan, steps, left, right, notes, reason))
        return Failed(ConversionStatus::SourceUnsuitable, reason);

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
