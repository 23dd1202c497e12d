#include "anaglyph/conversion.h"

#include "anaglyph/composer.h"
#include "anaglyph/conversion_reasons.h"
#include "anaglyph/split.h"
#include "imageio/imageio.h"

ConversionResult ConvertPicture(const ConversionRequest& request)
{
    ConversionResult result;
    std::string leftView, rightView;
    if (!fSplitStereo(request.sourcePath, leftView, rightView)) {
        result.status = ConversionStatus::SourceUnreadable;
        result.reason = UnreadableSourceReason(request.sourcePath);
        return result;
    }
    // The filters rewrite the views in place, so the left view becomes the
    // red view and the right view the cyan view; and since each output pixel
    // depends only on the same pixel of the two views, the anaglyph is mixed
    // straight into the cyan view's string.
    fKeepChannelsInPlace(leftView, 0);
    fKeepChannelsInPlace(rightView, 1);
    fMixChannelsInPlace(leftView, rightView, rightView);
    std::string fileName = request.outputPath;
    if (fGDIp_SaveBitmap(rightView, fileName) != 0) {
        result.status = ConversionStatus::OutputUnwritable;
        result.reason = UnwritableOutputReason(request.outputPath);
        return result;
    }
    result.status = ConversionStatus::Written;
    return result;
}
