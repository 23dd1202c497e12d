#pragma once
// One run: choose the stereo picture, write its anaglyph beside it, show the
// written file full screen until a key or the window's closing.
#include <cstdint>
#include <string>

#include "anaglyph/conversion.h"

// The process exit code: always 0 after a run.
int32_t fMainFlow(const uint32_t& instance, const uint32_t& previous, const std::string& commandLine,
                  const int32_t& showState);

// The run after the choice of the source path; fMainFlow is fSelectFile
// followed by this. Separate so that a run can be driven on a known path.
int32_t fConvertAndShow(const std::string& sourcePath);

// The conversion from file to file: split, filter, mix, save as
// outputBase + ".jpg". Returns 1 when the anaglyph was written, 0 when the
// source could not be read as a picture, -1 when the output was not written.
int32_t fWriteAnaglyph(const std::string& sourcePath, const std::string& outputBase);

// The same runs with the conversion's options (the settings file's and the
// command line's). The request's outputPath "" means beside the source, under
// the naming rule; its rightPath names a pair's right view. fMainFlow
// returns 0; fConvertAndShow 0 after showing the anaglyph, 1 when it could
// not be made (after the message box that says why), so that "stereoglass
// FILE" reports the failure to whoever started it.
int32_t fMainFlow(const ConversionOptions& options);
int32_t fConvertAndShow(const ConversionRequest& request);
