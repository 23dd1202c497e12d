#include "anaglyph/anaglyph_method.h"

#include "anaglyph/named_values.h"

namespace {

constexpr NamedValue<Glasses> kGlasses[] = {
    {"red-cyan", Glasses::RedCyan},
    {"green-magenta", Glasses::GreenMagenta},
    {"amber-blue", Glasses::AmberBlue},
};

constexpr NamedValue<MixMethod> kMethods[] = {
    {"colour", MixMethod::Colour},       {"color", MixMethod::Colour},
    {"half-colour", MixMethod::HalfColour}, {"half-color", MixMethod::HalfColour},
    {"grey", MixMethod::Grey},           {"gray", MixMethod::Grey},
    {"optimised", MixMethod::Optimised}, {"optimized", MixMethod::Optimised},
    {"dubois", MixMethod::Dubois},
};

} // namespace

bool ParseGlasses(std::string_view name, Glasses& glasses) { return ParseNamed(kGlasses, name, glasses); }
bool ParseMixMethod(std::string_view name, MixMethod& method) { return ParseNamed(kMethods, name, method); }
std::string GlassesName(Glasses glasses) { return NameOf(kGlasses, glasses); }
std::string MixMethodName(MixMethod method) { return NameOf(kMethods, method); }
std::string GlassesNames() { return CanonicalNames(kGlasses); }
std::string MixMethodNames() { return CanonicalNames(kMethods); }
