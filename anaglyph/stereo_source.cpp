#include "anaglyph/stereo_source.h"

#include "anaglyph/conversion_checks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "anaglyph/stereo_layouts.h"
#include "imageio/image_file.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string SizeText(const Image& picture)
{
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

// A file no larger than the largest uncompressed picture a decoder accepts.
constexpr uint64_t kMostFileBytes = uint64_t(kMaxPicturePixels) * 8 + 65536;

// Reads a regular file whole; opening never blocks on a FIFO, and anything
// but a regular file is refused.
CodecResult ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    if (path.empty() || path.find('\0') != std::string::npos)
        return kCodecNotFound;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kCodecNotFound : kCodecAccessDenied;
    struct stat st;
    CodecResult result = kCodecOk;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        result = kCodecAccessDenied;
    else if (st.st_size == 0)
        result = kCodecCorrupt;
    else if (uint64_t(st.st_size) > kMostFileBytes)
        result = kCodecTooLarge;
    if (result == kCodecOk) {
        bytes.resize(size_t(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += size_t(n);
        }
        bytes.resize(done);
        if (done == 0)
            result = kCodecCorrupt;
    }
    close(fd);
    return result;
}

// A note about the file: its name, then what the note says of it.
void AddNote(StereoSource& source, const std::string& path, const std::string& note)
{
    if (!note.empty())
        source.notes += Quoted(path) + " " + note;
}

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

// Why the file gave no picture: missing, shut, not a picture, a variant
// not supported, too large for the memory there is …
ConversionStatus Unreadable(const std::string& path, std::string& reason)
{
    ConversionResult explained;
    ExplainSourceFailure(path, explained);
    reason = explained.reason;
    return explained.status;
}

// The two pictures of a pair, decoded into the views' own images, as the
// views.
void UseAsViews(StereoViews& views)
{
    views.left = views.owned[0].View();
    views.right = views.owned[1].View();
}

ConversionStatus LoadTwoFiles(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    StereoFile right;
    const int32_t reduced = request.options.reducedDecode;
    if (ReadStereoFile(request.sourcePath, source.file) != kCodecOk ||
        DecodeFrame(source.file, 0, source.views.owned[0], reduced) != kCodecOk)
        return Unreadable(request.sourcePath, reason);
    if (ReadStereoFile(request.rightPath, right) != kCodecOk ||
        DecodeFrame(right, 0, source.views.owned[1], reduced) != kCodecOk)
        return Unreadable(request.rightPath, reason);
    const Image& l = source.views.owned[0];
    const Image& r = source.views.owned[1];
    if (l.width != r.width || l.height != r.height) {
        reason = Quoted(request.sourcePath) + " is " + SizeText(l) + " and " + Quoted(request.rightPath) + " is " +
                 SizeText(r) + "; the two views of a pair must have the same size.";
        return ConversionStatus::SourceUnsuitable;
    }
    UseAsViews(source.views);
    return ConversionStatus::Written;
}

ConversionStatus LoadFramePair(const std::string& path, int32_t reduced, StereoSource& source, std::string& reason)
{
    if (DecodeFrame(source.file, 0, source.views.owned[0], reduced) != kCodecOk ||
        DecodeFrame(source.file, 1, source.views.owned[1], reduced) != kCodecOk) {
        reason = Quoted(path) + " holds two stereo views (" + source.file.frames.origin +
                 "), but they could not both be decoded.";
        return ConversionStatus::SourceUnreadable;
    }
    const Image& l = source.views.owned[0];
    const Image& r = source.views.owned[1];
    if (l.width != r.width || l.height != r.height) {
        reason = Quoted(path) + " holds two stereo views of different sizes (" + SizeText(l) + " and " +
                 SizeText(r) + ").";
        return ConversionStatus::SourceUnsuitable;
    }
    UseAsViews(source.views);
    AddNote(source, path, source.file.frames.problem);
    return ConversionStatus::Written;
}

ConversionStatus LoadOnePicture(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    StereoLayout layout = request.options.layout;
    bool rightFirst = false;
    if (layout == StereoLayout::Auto) {
        AddNote(source, request.sourcePath, source.file.frames.problem);
        std::string note;
        if (!LayoutFromDescriptor(source.file.jps, layout, rightFirst, note))
            layout = StereoLayout::SideBySide;
        AddNote(source, request.sourcePath, note);
    }
    // A view of the cut has at least half the picture's longer side, so the
    // picture keeps twice what each view needs.
    const int32_t reduced = request.options.reducedDecode > 0 ? request.options.reducedDecode * 2 : 0;
    if (DecodeFrame(source.file, 0, source.picture, reduced) != kCodecOk)
        return Unreadable(request.sourcePath, reason);
    if (!SplitByLayout(source.picture.View(), layout, source.views)) {
        reason = Quoted(request.sourcePath) + " (" + SizeText(source.picture) +
                 ") is too small to cut into two views as " + StereoLayoutName(layout) + ".";
        return ConversionStatus::SourceUnsuitable;
    }
    if (rightFirst)
        std::swap(source.views.left, source.views.right);
    return ConversionStatus::Written;
}

} // namespace

CodecResult ReadStereoFile(const std::string& path, StereoFile& file)
{
    file = StereoFile{};
    // Not a picture (or not there): refused before the whole file is read.
    PictureHeader header;
    CodecResult result = ProbePictureFile(path, header);
    if (result == kCodecNotFound || result == kCodecAccessDenied || result == kCodecUnknownFormat)
        return result;
    result = ReadWholeFile(path, file.bytes);
    if (result != kCodecOk)
        return result;
    file.frames = FindStereoFrames(Data(file.bytes), file.bytes.size());
    file.jps = FindJpsDescriptor(Data(file.bytes), file.bytes.size());
    return kCodecOk;
}

int FrameCount(const StereoFile& file) { return file.frames.found == FrameSearch::StereoPair ? 2 : 1; }

CodecResult DecodeFrame(const StereoFile& file, int index, Picture& picture, int32_t leastLongSide)
{
    picture = Picture{};
    if (index < 0 || index >= FrameCount(file))
        return kCodecNotFound;
    if (file.frames.found != FrameSearch::StereoPair)
        return DecodeImageBytesReduced(Data(file.bytes), file.bytes.size(), leastLongSide, picture);
    const ByteRange& frame = file.frames.frames[index];
    if (frame.offset > file.bytes.size() || file.bytes.size() - frame.offset < frame.size)
        return kCodecCorrupt;
    return DecodeImageBytesReduced(Data(file.bytes) + frame.offset, frame.size, leastLongSide, picture);
}

bool LayoutFromDescriptor(const JpsDescriptor& descriptor, StereoLayout& layout, bool& rightFirst,
                          std::string& note)
{
    rightFirst = false;
    if (!descriptor.present)
        return false;
    if (descriptor.mediaType != kJpsStereo ||
        (descriptor.layout != kJpsSideBySide && descriptor.layout != kJpsOverUnder)) {
        note += "has a JPS descriptor that names no side-by-side or over/under stereo pair; it was cut side by "
                "side.\n";
        return false;
    }
    if (descriptor.layout == kJpsSideBySide)
        layout = descriptor.halfWidth ? StereoLayout::HalfSideBySide : StereoLayout::SideBySide;
    else
        layout = descriptor.halfHeight ? StereoLayout::HalfOverUnder : StereoLayout::OverUnder;
    rightFirst = !descriptor.leftFirst;
    return true;
}

ConversionStatus LoadStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    source = StereoSource{};
    reason.clear();
    ConversionStatus status;
    if (!request.rightPath.empty()) {
        status = LoadTwoFiles(request, source, reason);
    } else {
        if (ReadStereoFile(request.sourcePath, source.file) != kCodecOk)
            return Unreadable(request.sourcePath, reason);
        const StereoFrames& frames = source.file.frames;
        if (request.options.layout == StereoLayout::Auto && frames.found == FrameSearch::Damaged) {
            reason = Quoted(request.sourcePath) + " is a multi-picture file whose stereo views cannot be used: " +
                     frames.problem;
            return ConversionStatus::SourceUnreadable;
        }
        if (request.options.layout == StereoLayout::Auto && frames.found == FrameSearch::StereoPair)
            status = LoadFramePair(request.sourcePath, request.options.reducedDecode, source, reason);
        else
            status = LoadOnePicture(request, source, reason);
    }
    if (status != ConversionStatus::Written)
        return status;
    // Only the metadata is read from the bytes from here on.
    std::string& bytes = source.file.bytes;
    bytes.resize(JpegHeadEnd(Data(bytes), bytes.size()));
    bytes.shrink_to_fit();
    if (request.options.swapViews)
        std::swap(source.views.left, source.views.right);
    return status;
}
