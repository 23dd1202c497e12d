#include "anaglyph/stereo_layout.h"

#include "anaglyph/named_values.h"

namespace {

constexpr NamedValue<StereoLayout> kLayouts[] = {
    {"auto", StereoLayout::Auto},
    {"sbs", StereoLayout::SideBySide},
    {"cross", StereoLayout::Cross},
    {"over-under", StereoLayout::OverUnder},
    {"under-over", StereoLayout::UnderOver},
    {"half-sbs", StereoLayout::HalfSideBySide},
    {"half-over-under", StereoLayout::HalfOverUnder},
};

} // namespace

bool ParseStereoLayout(std::string_view name, StereoLayout& layout) { return ParseNamed(kLayouts, name, layout); }
std::string StereoLayoutName(StereoLayout layout) { return NameOf(kLayouts, layout); }
std::string StereoLayoutNames() { return CanonicalNames(kLayouts); }
