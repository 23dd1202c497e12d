#pragma once
// What a conversion writes: the anaglyph, or the pair itself in one of the
// forms stereo viewers, 3D TVs, cameras and the web take (--to KIND).
#include <string>
#include <string_view>

enum class OutputKind {
    Anaglyph,       // the two views mixed for coloured glasses
    SideBySide,     // left view on the left, for free viewing (parallel)
    Cross,          // right view on the left, for cross-eyed viewing
    OverUnder,      // left view on top
    HalfSideBySide, // each view squeezed to half width, side by side (3D TVs)
    Jps,            // a side-by-side JPEG with a JPS descriptor saying so
    Mpo,            // a multi-picture file of two disparity views
    Wiggle,         // an animated GIF that alternates the views
};

// The names --to and the settings key "to" take ("anaglyph", "sbs", "cross",
// "over-under", "half-sbs", "jps", "mpo", "wiggle"), from the table of
// output kinds (stereo_output.h).
bool ParseOutputKind(std::string_view name, OutputKind& kind);
std::string OutputKindName(OutputKind kind);
// Every name, separated by '|', for usage and error messages.
std::string OutputKindNames();
