#include "anaglyph/conversion_checks.h"

#include "imageio/failure_reasons.h"

bool RefuseSameFile(const ConversionRequest& request, ConversionResult& result)
{
    const bool source = OutputIsSourceFile(request.sourcePath, request.outputPath);
    const bool rightView = !source && !request.rightPath.empty() &&
                           OutputIsSourceFile(request.rightPath, request.outputPath);
    if (!source && !rightView)
        return false;
    result.status = ConversionStatus::OutputRefused;
    result.reason = !rightView ? SameFileReason(request.outputPath)
                               : SameFileReason(request.outputPath, "the right view of the pair");
    return true;
}
