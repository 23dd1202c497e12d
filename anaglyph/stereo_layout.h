#pragma once
// How the two views of a stereo picture are laid out in its file.
#include <string>
#include <string_view>

enum class StereoLayout {
    Auto,          // what the file says (multi-picture views, a JPS descriptor), else SideBySide
    SideBySide,    // left half = left eye
    Cross,         // left half = right eye
    OverUnder,     // top half = left eye
    UnderOver,     // top half = right eye
    HalfSideBySide, // side by side, each view squeezed to half width
    HalfOverUnder,  // over/under, each view squeezed to half height
};

// The names the command line and the settings file use ("auto", "sbs",
// "cross", "over-under", "under-over", "half-sbs", "half-over-under").
bool ParseStereoLayout(std::string_view name, StereoLayout& layout);
std::string StereoLayoutName(StereoLayout layout);
// Every accepted name, separated by '|', for usage and error messages.
std::string StereoLayoutNames();
