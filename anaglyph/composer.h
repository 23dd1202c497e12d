#pragma once
// The red/cyan anaglyph: red from the left view, green and blue from the
// right view, pixel by pixel, on pixel strings.
#include <cstdint>
#include <string>

// viewIndex 1 keeps green and blue (the right view); any other value keeps
// red (the left view). Rewrites the caller's string in place and returns a
// copy of it. A string whose header claims more pixels than it holds is left
// as it is.
std::string fKeepChannels(std::string& pixels, const int32_t& viewIndex);

// The same filter without the returned copy, for callers that use the
// rewritten string itself.
void fKeepChannelsInPlace(std::string& pixels, int32_t viewIndex);

// Builds each output pixel from the red of redView and the green and blue of
// cyanView, into a copy of outputPixels (whose header it keeps), saves that
// copy as outputBase + ".jpg" and returns it. The arguments are not changed.
// saveStatus, when given, receives the save's outcome: 0 when the file was
// written, non-zero when it was not.
std::string fMixAnaglyph(const std::string& outputBase, const std::string& redView, const std::string& cyanView,
                         const std::string& outputPixels, int32_t* saveStatus = nullptr);

// The mix for callers that need no copies: writes the anaglyph into output
// itself (which may be the cyan view's own string) and saves it as
// outputBase + ".jpg". Returns the save's outcome, 0 when written.
int32_t fMixAnaglyphInPlace(const std::string& outputBase, const std::string& redView, const std::string& cyanView,
                            std::string& output);

// The mix alone, without saving: output (which may be the cyan view's own
// string) receives red from redView and green and blue from cyanView.
void fMixChannelsInPlace(const std::string& redView, const std::string& cyanView, std::string& output);
