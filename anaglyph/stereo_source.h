#pragma once
// The stereo source of a conversion: the file read once, its frames found
// (a multi-picture file's views, two pictures back to back), the layout it
// names (a JPS descriptor), and the two views cut as the options say.
#include <memory>
#include <string>

#include "anaglyph/conversion.h"
#include "anaglyph/stereo_split.h"
#include "imageio/multi_picture.h"
#include "imageio/codecs/codec.h"

// A picture file in memory with the frames it holds.
struct StereoFile {
    std::string bytes;
    StereoFrames frames; // searched only for a JPEG
    JpsDescriptor jps;
    // The one open of the file, kept for saying why it could not be read.
    std::shared_ptr<const OpenedPicture> opened;
    CodecResult openResult = kCodecNotFound;
};

// Opens a regular file once, reads it whole and looks for its frames and
// descriptor. A file that is not a picture is refused before it is read.
CodecResult ReadStereoFile(const std::string& path, StereoFile& file);
// The header of frame index (0 or 1) of a pair, or of the whole file for
// frame 0 of a single picture: the size it claims, from the bytes read.
CodecResult ProbeFrame(const StereoFile& file, int index, PictureHeader& header);
// 2 for a stereo pair of frames, else 1 (the file decodes as one picture).
int FrameCount(const StereoFile& file);
// The bytes of frame index, or of the whole file for frame 0 of a single
// picture; false when the frame lies outside the bytes read.
bool FrameBytes(const StereoFile& file, int index, const uint8_t*& data, size_t& size);
// Decodes frame index (0 or 1) of a pair, or the whole file for frame 0 of
// a single picture; translucent pixels flattened as ReadImageFile does.
// leastLongSide > 0 lets a JPEG be decoded at a reduced scale that keeps
// that many pixels on its longer side.
CodecResult DecodeFrame(const StereoFile& file, int index, Picture& picture, int32_t leastLongSide = 0);

// The layout a JPS descriptor names, and whether its views come right view
// first. False when the file names none; then, when the descriptor is there
// but names no pair this program cuts, note says so (to follow the file's
// name).
bool LayoutFromDescriptor(const JpsDescriptor& descriptor, StereoLayout& layout, bool& rightFirst,
                          std::string& note);

// Where the two views come from.
enum class StereoSourceKind {
    TwoFiles,     // --left and --right: each file one whole view
    FramePair,    // a multi-picture file's views, or two pictures back to back
    LayoutCut,    // one picture cut as a layout says (explicit, a JPS descriptor's, or side by side)
};

struct StereoSource {
    // The source, or the left view's file of a two-file pair; once decoded,
    // a JPEG's bytes are cut to its head, which holds all its metadata.
    StereoFile file;
    StereoFile right;        // a two-file pair's right view's file (bytes dropped once decoded)
    StereoSourceKind kind = StereoSourceKind::LayoutCut;
    StereoLayout layout = StereoLayout::SideBySide; // LayoutCut: the cut
    bool rightFirst = false;                        // LayoutCut: a JPS pair stored right view first
    PictureHeader pictures[2]; // the headers of what is decoded: the picture cut, or the pair's two
    Image picture;         // the decoded picture the views are cut from (none for a pair)
    StereoViews views;     // left and right: windows onto picture, or a pair's own pictures
    std::string notes;     // lines for the user, each ending in a newline
};

// Reads and decodes the request's source and cuts its views:
// - a two-file pair (rightPath set): the two pictures, of the same size;
// - an explicit layout: the file decoded as one picture, cut that way;
// - Auto: a multi-picture file's two stereo views, or two same-size pictures
//   back to back (first = left); else the layout of a JPS descriptor; else
//   side by side.
// swapViews then exchanges the views. On failure the status and a reason
// that names the file.
ConversionStatus LoadStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason);
// The two halves of it. OpenStereoSource reads the files (each opened once)
// and finds where the views come from and the headers of what will be
// decoded, without decoding a pixel; DecodeStereoSource then decodes and
// cuts the views.
ConversionStatus OpenStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason);
ConversionStatus DecodeStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason);
// Why a file of the source could not be read, from its one open: the status
// and the sentence that names it.
ConversionStatus ExplainUnreadable(const StereoFile& file, const std::string& path, std::string& reason);
