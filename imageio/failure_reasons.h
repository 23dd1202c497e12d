#pragma once
// Why reading a picture or writing the anaglyph failed, in words for the
// user: the program's own sentence (the file could not be read, the anaglyph
// could not be written) followed by one that says why. Every message box and
// command-line error takes its text from here.
#include <cstdint>
#include <string>

#include "imageio/codecs/codec.h"

// What a message needs beyond the result.
struct FailureDetail {
    std::string variant; // kCodecUnsupportedVariant: which ("12-bit TIFF")
    int64_t width = 0;   // pixels: the size the header claims (too large), the
    int64_t height = 0;  // picture's width (too small), the anaglyph's (too wide)
    uint64_t fileBytes = 0;      // the file's size, for a file too large to open
    std::string memoryReason;    // kCodecOutOfMemory: how much is needed and available
    PictureFormat format = PictureFormat::Jpeg; // the output's, for its largest side
    SaveFailure save;            // where the save failed, and errno there
};

// "\"path\" could not be read as a picture." and the reason.
std::string ReadFailureReason(const std::string& path, CodecResult result, const FailureDetail& detail = {});
// "The anaglyph could not be written to \"path\"." and the reason: from
// detail.save when a file-system call failed (its errno), else from result.
std::string WriteFailureReason(const std::string& path, CodecResult result, const FailureDetail& detail = {});
// The output would be the source file itself (or, named by what, another
// file of the source: "the right view of the pair").
std::string SameFileReason(const std::string& outputPath, const std::string& what = "the source picture itself");

// For callers that only know that reading failed: why, found by probing the
// file (its header, its variant, its width for a stereo split, the memory it
// needs). kCodecCorrupt when the header reads well but the pictures' data
// does not.
CodecResult DiagnoseSource(const std::string& path, FailureDetail& detail);
// The same on the file as it was opened, without opening it again.
CodecResult DiagnoseOpenedSource(const OpenedPicture& file, FailureDetail& detail);
// For callers that only know that writing failed: why, found by looking at
// the output's folder and name. width and height are the anaglyph's.
CodecResult DiagnoseOutput(const std::string& outputPath, int64_t width, int64_t height, FailureDetail& detail);
