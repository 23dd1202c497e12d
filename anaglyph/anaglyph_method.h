#pragma once
// The glasses a viewer wears and the way the two views are mixed for them.
#include <string>
#include <string_view>

enum class Glasses { RedCyan, GreenMagenta, AmberBlue };
enum class MixMethod { Colour, HalfColour, Grey, Optimised, Dubois };

struct AnaglyphMethod {
    Glasses glasses = Glasses::RedCyan;
    MixMethod method = MixMethod::Colour;
};

// Names for the command line and the settings file: "red-cyan",
// "green-magenta", "amber-blue"; "colour" (also "color"), "half-colour"
// (also "half-color"), "grey" (also "gray"), "optimised" (also "optimized"),
// "dubois".
bool ParseGlasses(std::string_view name, Glasses& glasses);
bool ParseMixMethod(std::string_view name, MixMethod& method);
std::string GlassesName(Glasses glasses);
std::string MixMethodName(MixMethod method);
std::string GlassesNames();
std::string MixMethodNames();
