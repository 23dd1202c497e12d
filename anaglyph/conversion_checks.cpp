#include "anaglyph/conversion_checks.h"

#include "anaglyph/auto_window.h"
#include "anaglyph/view_alignment.h"
#include "base/rounding.h"
#include "imageio/failure_reasons.h"
#include "platform/memory.h"

namespace {

bool RefuseSameFile(const ConversionRequest& request, ConversionResult& result)
{
    bool same = OutputIsSourceFile(request.sourcePath, request.outputPath) ||
                (!request.rightPath.empty() && OutputIsSourceFile(request.rightPath, request.outputPath));
    if (!same)
        return false;
    result.status = ConversionStatus::OutputRefused;
    result.reason = SameFileReason(request.outputPath);
    return true;
}

// Whether the layout cuts the picture into a left and a right half, so that
// a picture one pixel wide cannot be split; over/under cuts the height.
bool CutsTheWidth(StereoLayout layout)
{
    return layout != StereoLayout::OverUnder && layout != StereoLayout::UnderOver &&
           layout != StereoLayout::HalfOverUnder;
}

} // namespace

bool RefuseBeforeConverting(const ConversionRequest& request, ConversionResult& result)
{
    if (RefuseSameFile(request, result))
        return true;
    PictureHeader header;
    if (ProbePictureFile(request.sourcePath, header) != kCodecOk)
        return false; // reading will fail and say why
    FailureDetail detail;
    detail.width = header.width;
    detail.height = header.height;
    if (request.rightPath.empty() && CutsTheWidth(request.options.layout) && header.width < 2) {
        result.status = ConversionStatus::SourceUnsuitable;
        result.reason = ReadFailureReason(request.sourcePath, kCodecTooSmall, detail);
        return true;
    }
    double needed = static_cast<double>(ImageBytes(header.width, header.height)) * kConversionBufferShare;
    // The view steps' own needs, for views no larger than the picture.
    if (request.options.align)
        needed += static_cast<double>(PlanViewAlignment(header.width, header.height).memoryBytes);
    else if (request.options.autoShift)
        needed += static_cast<double>(PlanAutoWindow(header.width, header.height).memoryBytes);
    if (!MemoryAvailableFor(static_cast<int64_t>(needed), detail.memoryReason)) {
        result.status = ConversionStatus::SourceUnsuitable;
        result.reason = ReadFailureReason(request.sourcePath, kCodecOutOfMemory, detail);
        return true;
    }
    return false;
}

void ExplainSourceFailure(const std::string& sourcePath, ConversionResult& result)
{
    FailureDetail detail;
    CodecResult cause = DiagnoseSource(sourcePath, detail);
    result.status = cause == kCodecTooSmall || cause == kCodecOutOfMemory ? ConversionStatus::SourceUnsuitable
                                                                          : ConversionStatus::SourceUnreadable;
    result.reason = ReadFailureReason(sourcePath, cause, detail);
}

void ExplainOutputFailure(const ConversionRequest& request, ConversionResult& result)
{
    PictureHeader header;
    ProbePictureFile(request.sourcePath, header);
    FailureDetail detail;
    CodecResult cause = DiagnoseOutput(request.outputPath, RoundEven(header.width / 2.0), header.height, detail);
    result.status = ConversionStatus::OutputUnwritable;
    result.reason = WriteFailureReason(request.outputPath, cause, detail);
}
