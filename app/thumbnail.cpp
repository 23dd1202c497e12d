#include "app/thumbnail.h"

#include <cstdio>

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/area_resize.h"
#include "anaglyph/stereo_source.h"
#include "imageio/failure_reasons.h"
#include "imageio/codecs/codec.h"

namespace {

int32_t Failed(const std::string& reason)
{
    std::fprintf(stderr, "stereoglass: %s\n", reason.c_str());
    return 1;
}

} // namespace

int32_t WriteThumbnail(const std::string& sourcePath, const std::string& outputPath, int32_t size,
                       const ConversionOptions& options)
{
    if (OutputIsSourceFile(sourcePath, outputPath))
        return Failed(SameFileReason(outputPath));
    ConversionRequest request;
    request.sourcePath = sourcePath;
    request.outputPath = outputPath;
    request.options = options;
    request.options.reducedDecode = size;
    StereoSource source;
    std::string reason;
    if (LoadStereoSource(request, source, reason) != ConversionStatus::Written)
        return Failed(reason);
    ImageView left = source.views.left;
    if (!MixViews(left, source.views.right, options.method, left))
        return Failed("The views of \"" + sourcePath + "\" could not be mixed.");
    int32_t width = 0, height = 0;
    FitInside(left.width, left.height, size, width, height);
    Image preview;
    ImageView out = left;
    if (width != left.width || height != left.height) {
        if (!AllocateImage(preview, width, height) || !ShrinkByArea(left, preview.View()))
            return Failed(WriteFailureReason(outputPath, kCodecOutOfMemory));
        out = preview.View();
    }
    CodecResult written = EncodeImageFile(outputPath, PictureFormat::Png, out, EncodeOptions{});
    if (written != kCodecOk)
        return Failed(WriteFailureReason(outputPath, written));
    return 0;
}
