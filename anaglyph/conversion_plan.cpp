#include "anaglyph/conversion_plan.h"

#include "anaglyph/stereo_output.h"
#include "anaglyph/streamed_anaglyph.h"
#include "base/rounding.h"
#include "imageio/failure_reasons.h"
#include "platform/memory.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

int64_t Bytes(const ViewSize& size) { return size.width * size.height * 4; }

bool CutsTheWidth(StereoLayout layout)
{
    return layout != StereoLayout::OverUnder && layout != StereoLayout::UnderOver &&
           layout != StereoLayout::HalfOverUnder;
}

// The views a layout cuts from a picture, and the memory the cut takes: the
// picture itself, an odd side's resampled view, the transposed copies of an
// over/under cut, the stretched views of a half layout.
bool PlanCut(StereoLayout layout, ViewSize picture, ViewSize& views, int64_t& memory)
{
    const bool alongWidth = CutsTheWidth(layout);
    const int64_t side = alongWidth ? picture.width : picture.height;
    const int64_t half = RoundEven(static_cast<double>(side) / 2.0);
    if (half < 1)
        return false;
    views = alongWidth ? ViewSize{half, picture.height} : ViewSize{picture.width, half};
    memory = Bytes(picture);
    const bool odd = side - half != half;
    if (odd)
        memory += alongWidth ? Bytes(views) : 2 * Bytes(picture) + Bytes(views);
    if (layout == StereoLayout::HalfSideBySide || layout == StereoLayout::HalfOverUnder) {
        (alongWidth ? views.width : views.height) *= 2;
        memory += (alongWidth ? 2 : 4) * Bytes(views);
    }
    return true;
}

std::string SizeText(const ViewSize& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

} // namespace

ConversionStatus PlanConversion(const ConversionRequest& request, const StereoSource& source, PictureFormat format,
                                ConversionPlan& plan, std::string& reason)
{
    plan = ConversionPlan{};
    plan.format = format;
    const ViewSize picture{source.pictures[0].width, source.pictures[0].height};
    plan.sourceMemory = int64_t(source.file.bytes.size()) + int64_t(source.right.bytes.size());
    if (source.kind == StereoSourceKind::LayoutCut) {
        FailureDetail detail;
        detail.width = picture.width;
        detail.height = picture.height;
        if (CutsTheWidth(source.layout) && picture.width < 2) {
            reason = ReadFailureReason(request.sourcePath, kCodecTooSmall, detail);
            return ConversionStatus::SourceUnsuitable;
        }
        int64_t cut = 0;
        if (!PlanCut(source.layout, picture, plan.views, cut)) {
            reason = Quoted(request.sourcePath) + " (" + SizeText(picture) + ") is too small to cut into two views as " +
                     StereoLayoutName(source.layout) + ".";
            return ConversionStatus::SourceUnsuitable;
        }
        plan.sourceMemory += cut;
    } else {
        plan.views = picture;
        plan.sourceMemory += 2 * Bytes(picture);
    }

    ViewSize views = plan.views;
    int64_t stepsMemory = 0;
    for (const ViewStep& step : ViewSteps()) {
        if (!step.wanted(request.options))
            continue;
        int64_t memory = 0;
        std::string problem;
        if (!step.plan(request.options, views, memory, problem)) {
            reason = Quoted(request.sourcePath) + " cannot be converted: " + problem + ".";
            return ConversionStatus::SourceUnsuitable;
        }
        plan.steps.push_back({&step, views, memory});
        stepsMemory += memory;
    }

    // The output kind's size and its own buffers (the anaglyph is mixed into
    // the left view's own pixels and needs none); the encoder makes a buffer
    // of up to three bytes a pixel, and the metadata is written into a copy
    // of it.
    const OutputSize kind = StereoOutputFor(request.options.outputKind)
                                .size(int32_t(views.width), int32_t(views.height), request.options);
    plan.output = ViewSize{kind.width, kind.height};
    plan.outputMemory = kind.bufferBytes + plan.output.width * plan.output.height * 8;
    const PictureFormatRow* row = FindPictureFormat(format);
    if (row && (plan.output.width > row->largestSide || plan.output.height > row->largestSide)) {
        FailureDetail detail;
        detail.width = plan.output.width;
        detail.height = plan.output.height;
        detail.format = format;
        reason = WriteFailureReason(request.outputPath, kCodecTooLarge, detail);
        return ConversionStatus::OutputUnwritable;
    }

    plan.memory = plan.sourceMemory + stepsMemory + plan.outputMemory;
    // An anaglyph that can go band by band holds only the bands in flight,
    // the file's bytes and the encoded output.
    int64_t bandsMemory = 0;
    if (StreamsByBands(request, source, plan, bandsMemory)) {
        plan.path = ConversionPath::Bands;
        plan.sourceMemory = int64_t(source.file.bytes.size()) + bandsMemory;
        plan.outputMemory = plan.output.width * plan.output.height * 2;
        plan.memory = plan.sourceMemory + plan.outputMemory;
    }
    FailureDetail detail;
    if (!MemoryAvailableFor(plan.memory, detail.memoryReason)) {
        reason = ReadFailureReason(request.sourcePath, kCodecOutOfMemory, detail);
        return ConversionStatus::SourceUnsuitable;
    }
    return ConversionStatus::Written;
}

bool RunViewSteps(const ConversionRequest& request, const ConversionPlan& plan, ViewStepState& state,
                  ImageView& left, ImageView& right, std::string& notes, std::string& reason)
{
    for (const PlannedStep& planned : plan.steps) {
        std::string problem;
        if (!planned.step->run(request.options, state, left, right, notes, problem)) {
            reason = Quoted(request.sourcePath) + " cannot be converted: " + problem + ".";
            return false;
        }
    }
    return true;
}
