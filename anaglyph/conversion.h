#pragma once
// One conversion, from a stereo picture on disk to an anaglyph on disk. The
// dialog flow, "stereoglass FILE" and every picture of a batch run through
// this one path.
#include <cstdint>
#include <string>

#include "anaglyph/anaglyph_method.h"
#include "anaglyph/output_kind.h"
#include "anaglyph/stereo_layout.h"

struct ConversionOptions {
    StereoLayout layout = StereoLayout::Auto;
    AnaglyphMethod method;     // red/cyan colour by default
    bool swapViews = false;    // exchange left and right after the layout
    int32_t shift = 0;         // pixels added to every point's separation
    bool align = false;        // warp the right view onto the left's rows (roll, zoom, offset, keystone)
    int32_t jpegQuality = 95;  // 1..100; JPEG is written 4:4:4
    bool stripMetadata = false;
    OutputKind outputKind = OutputKind::Anaglyph; // what is written (--to)
    int32_t wiggleMs = 150;    // a wiggle GIF's time per frame
    int32_t wiggleSize = 800;  // a wiggle GIF's longest side at most, in pixels
    // 0: views decoded at full size. Else a JPEG may be decoded at a reduced
    // scale that keeps at least this many pixels on each view's longer side
    // (previews).
    int32_t reducedDecode = 0;
    bool autoShift = false;    // --shift auto: the nearest part of the scene at the window (shift unused)
};

struct ConversionRequest {
    std::string sourcePath; // the stereo picture, or the left view of a pair
    std::string rightPath;  // the right view's file for a two-file pair, else ""
    std::string outputPath; // the file to write; its extension names the format
    ConversionOptions options;
    // True: the conversion runs on the calling thread alone (a batch that
    // already has a worker on every core); else it may use a second thread.
    bool singleThread = false;
    // True: the picture is about to be shown. A conversion that encodes its
    // JPEG band by band then also decodes it as it goes, and leaves the
    // picture for the screen's reader (KeepPrefetchedPicture).
    bool decodeForScreen = false;
};

enum class ConversionStatus {
    Written,
    SourceUnreadable, // the source (or right view) is missing, unreadable or no picture
    SourceUnsuitable, // a picture, but not one that can be converted (too small, sizes differ …)
    OutputRefused,    // the output would be the source, or its name names no format
    OutputUnwritable, // the encoder or the file system failed
    OptionsRefused,   // the options ask for what cannot be done (a method not made for the glasses)
};

struct ConversionResult {
    ConversionStatus status = ConversionStatus::SourceUnreadable;
    // Why it failed, one sentence naming the file ("" when written).
    std::string reason;
    // Lines for the user that are not errors (what --align found), each
    // naming the file and ending in a newline.
    std::string notes;
};

ConversionResult ConvertPicture(const ConversionRequest& request);
