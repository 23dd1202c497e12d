#pragma once
// The reasons a conversion gives when it fails, each one sentence that names
// the file and says what is wrong with it, worked out after the failure.
#include <string>

// Why path could not be read as a picture: "\"x.jpg\" is not a picture",
// "\"x.jpg\" cannot be read: Permission denied", "\"x.jpg\" is a damaged
// picture" ...
std::string UnreadableSourceReason(const std::string& path);

// Why the anaglyph could not be written to path: "cannot write \"out/x.jpg\":
// Permission denied", "... : No such file or directory" ...
std::string UnwritableOutputReason(const std::string& path);
