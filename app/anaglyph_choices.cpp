#include "app/anaglyph_choices.h"

namespace {

constexpr Glasses kGlasses[] = {Glasses::RedCyan, Glasses::GreenMagenta, Glasses::AmberBlue};
constexpr MixMethod kMethods[] = {MixMethod::Colour, MixMethod::HalfColour, MixMethod::Grey, MixMethod::Optimised,
                                  MixMethod::Dubois};

enum Row { kGlassesRow, kMethodRow, kSwapRow, kAlignRow, kWindowRow, kRows };

template <typename T, size_t N>
int32_t IndexOf(const T (&values)[N], T value)
{
    for (size_t i = 0; i < N; ++i)
        if (values[i] == value)
            return static_cast<int32_t>(i);
    return 0;
}

template <typename T, size_t N>
T ValueAt(const T (&values)[N], int32_t index, T otherwise)
{
    return index >= 0 && static_cast<size_t>(index) < N ? values[index] : otherwise;
}

} // namespace

std::vector<DialogChoice> AnaglyphChoices(const ConversionOptions& options)
{
    std::vector<DialogChoice> choices(kRows);
    choices[kGlassesRow].label = "_Glasses";
    for (Glasses glasses : kGlasses)
        choices[kGlassesRow].options.push_back(GlassesName(glasses));
    choices[kGlassesRow].chosen = IndexOf(kGlasses, options.method.glasses);
    choices[kMethodRow].label = "_Method";
    for (MixMethod method : kMethods)
        choices[kMethodRow].options.push_back(MixMethodName(method));
    choices[kMethodRow].chosen = IndexOf(kMethods, options.method.method);
    choices[kSwapRow].label = "S_wap eyes";
    choices[kSwapRow].chosen = options.swapViews ? 1 : 0;
    choices[kAlignRow].label = "_Align";
    choices[kAlignRow].chosen = options.align ? 1 : 0;
    choices[kWindowRow].label = "Stereo window: a_uto";
    choices[kWindowRow].chosen = options.autoShift ? 1 : 0;
    return choices;
}

std::vector<std::pair<std::string, std::string>> TakeAnaglyphChoices(const std::vector<DialogChoice>& choices,
                                                                       ConversionOptions& options)
{
    std::vector<std::pair<std::string, std::string>> changes;
    if (choices.size() != kRows)
        return changes;
    Glasses glasses = ValueAt(kGlasses, choices[kGlassesRow].chosen, options.method.glasses);
    MixMethod method = ValueAt(kMethods, choices[kMethodRow].chosen, options.method.method);
    bool swap = choices[kSwapRow].chosen != 0;
    bool align = choices[kAlignRow].chosen != 0;
    bool autoWindow = choices[kWindowRow].chosen != 0;
    if (glasses != options.method.glasses)
        changes.emplace_back("glasses", GlassesName(glasses));
    if (method != options.method.method)
        changes.emplace_back("method", MixMethodName(method));
    if (swap != options.swapViews)
        changes.emplace_back("swap", swap ? "yes" : "no");
    if (align != options.align)
        changes.emplace_back("align", align ? "yes" : "no");
    // Unticking the automatic window puts it back where the pair was shot;
    // a fixed shift from elsewhere stays when the box was left alone.
    if (autoWindow != options.autoShift) {
        changes.emplace_back("shift", autoWindow ? "auto" : "0");
        options.shift = 0;
    }
    options.method = {glasses, method};
    options.swapViews = swap;
    options.align = align;
    options.autoShift = autoWindow;
    return changes;
}
