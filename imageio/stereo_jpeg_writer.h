#pragma once
// Writing the stereo JPEG containers: the JPS descriptor of a side-by-side
// pair, and a two-view multi-picture (MPO) file put together from two
// complete JPEG pictures. The reading side is multi_picture.h.
#include <string>

// The whole APP3 segment (marker included) of a JPS descriptor naming a
// full-size side-by-side stereo pair; leftFirst: the left view is the left
// half (else the right view is, the cross-eyed order).
std::string JpsSideBySideSegment(bool leftFirst);

// Puts segment (a whole marker segment, marker included) into jpeg after
// its SOI and the APP0 and APP1 segments (JFIF, EXIF, XMP) that lead it.
// False, jpeg unchanged, when jpeg does not start as a JPEG.
bool InsertJpegSegment(std::string& jpeg, const std::string& segment);

// A multi-picture file of two disparity views, as stereo cameras write it:
// the left picture first with the MP index (version, two images, an entry
// per picture typed as a disparity view with its size and offset, the
// first marked as the one to show) and its attribute IFD, then the right
// picture with its attribute IFD; individual numbers 1 and 2, base
// viewpoint 1, convergence angle and baseline length unknown (all bits
// set). The index goes after each picture's leading APP0/APP1 segments, so
// the left picture's EXIF stays where readers look for it. False when
// either picture is no JPEG or the file would pass the index's 4 GiB
// offsets.
bool MakeStereoMpo(const std::string& left, const std::string& right, std::string& mpo);
