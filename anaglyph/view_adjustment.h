#pragma once
// The changes the conversion's options make to the two views between the
// stereo source (which has already exchanged the eyes for --swap) and the
// output, in this order: the alignment (--align), then the stereo window
// (--shift auto, or --shift N). One table, a row per step: each says, from
// the views' size alone and before any pixel is decoded, the size it leaves
// (or the most it can leave) and the memory it takes, and then runs on the
// two views. The alignment and the automatic window measure the pair once
// between them; the shift only narrows the views' windows, and the
// alignment warps the right view into a buffer of its own, which the state
// keeps while the views are used.
#include <cstdint>
#include <span>
#include <string>

#include "anaglyph/conversion.h"
#include "anaglyph/pair_measurement.h"
#include "anaglyph/view_alignment.h"
#include "base/image.h"

// A size in pixels, wide enough for any product of a step's arithmetic.
struct ViewSize {
    int64_t width = 0;
    int64_t height = 0;
};

// What the steps of one conversion share: the file their notes name, the
// pair's measurement (made by the first step that needs it), what the
// alignment did, and the buffer that holds the aligned right view.
struct ViewStepState {
    std::string sourceName;
    bool measured = false;
    PairMeasurement measurement;
    AlignmentOutcome aligned;
    Image ownedRight;
};

struct ViewStep {
    const char* name;
    // Whether the options ask for the step.
    bool (*wanted)(const ConversionOptions& options);
    // The views' size after the step (at most), from the size before, and
    // the bytes the step needs beyond the views; false, with the problem
    // ("the shift of 90 pixels is as wide as the views"), when the views
    // cannot take it.
    bool (*plan)(const ConversionOptions& options, ViewSize& views, int64_t& memory, std::string& problem);
    // Runs the step; false with the problem. notes gets the lines for the
    // user (what the alignment found), each naming the file.
    bool (*run)(const ConversionOptions& options, ViewStepState& state, ImageView& left, ImageView& right,
                std::string& notes, std::string& problem);
};

// Every step, in the order they run.
std::span<const ViewStep> ViewSteps();

// Runs every step the options ask for, in order, with state (its
// sourceName set by the caller) kept while the views are used. False, with
// the reason in error, when the views cannot take the options (a shift as
// wide as the views, no memory for the aligned view).
bool AdjustViews(const ConversionOptions& options, ViewStepState& state, ImageView& left, ImageView& right,
                 std::string& notes, std::string& error);
