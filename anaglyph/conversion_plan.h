#pragma once
// A conversion planned before any pixel is decoded: where the two views come
// from and their size, the view steps the options ask for with the size each
// leaves and the memory it takes, and the output kind's writer with the
// output's size, format and memory (stereo_output.h). The size limits, the memory check and
// their messages come from the plan, so that a conversion that cannot be
// done is refused with its true reason before any work.
#include <cstdint>
#include <string>
#include <vector>

#include "anaglyph/conversion.h"
#include "anaglyph/stereo_source.h"
#include "anaglyph/view_adjustment.h"
#include "imageio/codecs/codec.h"

struct PlannedStep {
    const ViewStep* step;
    ViewSize views;  // after the step (at most)
    int64_t memory;  // bytes it needs beyond the views
};

// How the pixels go from the source to the output. Both give the same bytes.
enum class ConversionPath {
    WholeViews, // the source decoded whole, the views windows onto it
    Bands,      // decoded, mixed and encoded a band of rows at a time (streamed_anaglyph.h)
};

struct ConversionPlan {
    PictureFormat format = PictureFormat::Jpeg;
    ConversionPath path = ConversionPath::WholeViews;
    ViewSize views;             // as the source gives them
    int64_t sourceMemory = 0;   // the files read, the decoded pictures and the views made
    std::vector<PlannedStep> steps;
    ViewSize output;            // what the output kind writes (at most, with --align)
    int64_t outputMemory = 0;   // the kind's own buffers, the encoder's and the copy that takes the metadata
    int64_t memory = 0;         // the most the conversion holds at once
};

// Plans the conversion of an opened source (OpenStereoSource), to be written
// as format. Written when it can go on; otherwise the status, with a reason
// that names the file: a picture too small for its cut, a step the views
// cannot take, an output too large for its format, not enough memory.
ConversionStatus PlanConversion(const ConversionRequest& request, const StereoSource& source, PictureFormat format,
                                ConversionPlan& plan, std::string& reason);

// Runs the planned view steps on the views, with state kept while the views
// are used (the aligned right view lives in it); false with the reason.
bool RunViewSteps(const ConversionRequest& request, const ConversionPlan& plan, ViewStepState& state,
                  ImageView& left, ImageView& right, std::string& notes, std::string& reason);
