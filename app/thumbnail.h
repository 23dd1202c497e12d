#pragma once
// Previews for file managers (a freedesktop thumbnailer): the anaglyph of a
// stereo picture as a small PNG, decoded at a reduced scale, without a
// window or a display.
#include <cstdint>
#include <string>

#include "anaglyph/conversion.h"

// Writes the anaglyph of sourcePath, at most size pixels on its longer side,
// as a PNG to outputPath (whatever its extension), made as the options say
// (glasses, method, layout, swap). The process exit code: 0 when written,
// 1 when the picture could not be read or the PNG not written (the reason on
// standard error), and then nothing is left at outputPath.
int32_t WriteThumbnail(const std::string& sourcePath, const std::string& outputPath, int32_t size,
                       const ConversionOptions& options);
