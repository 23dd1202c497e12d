#pragma once
// The changes the conversion's options make to the two views between the
// stereo source (which has already exchanged the eyes for --swap) and the
// output, in this order: the vertical offset removed (--align), the stereo
// window moved (--shift). One table, a row per step: each says, from the
// views' size alone and before any pixel is decoded, the size it leaves
// (or the most it can leave) and the memory it takes, and then runs on the
// two views.
// Each only narrows the views' windows or exchanges them; no pixels move.
#include <cstdint>
#include <span>
#include <string>

#include "anaglyph/conversion.h"
#include "base/image.h"

// A size in pixels, wide enough for any product of a step's arithmetic.
struct ViewSize {
    int64_t width = 0;
    int64_t height = 0;
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
    // user (what the alignment found).
    bool (*run)(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                std::string& problem);
};

// Every step, in the order they run.
std::span<const ViewStep> ViewSteps();

// Runs every step the options ask for, in order. False, with the reason in
// error, when the views cannot take the options (a shift as wide as the
// views); notes gets the lines for the user.
bool AdjustViews(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                 std::string& error);
