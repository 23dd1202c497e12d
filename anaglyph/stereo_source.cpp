#include "anaglyph/stereo_source.h"

#include "imageio/failure_reasons.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

#include "anaglyph/stereo_layouts.h"
#include "imageio/image_file.h"
#include "platform/os.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string SizeText(const Image& picture)
{
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

// A file no larger than the largest uncompressed picture a decoder accepts.
constexpr uint64_t kMostFileBytes = uint64_t(kMaxPicturePixels) * 8 + 65536;

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

// Reads bytes [from, to) of the file into bytes (made to bytes long);
// the number of bytes in it afterwards, less than to when the file ended
// early or a read failed.
size_t ReadRange(int fd, std::string& bytes, size_t from, size_t to)
{
    bytes.resize(to);
    int64_t n = OsReadAt(fd, bytes.data() + from, int64_t(to - from), int64_t(from));
    size_t done = from + (n > 0 ? size_t(n) : 0);
    bytes.resize(done);
    return done;
}

// Zero bytes after a JPEG's pictures longer than this are the end of the
// file as far as pictures go, however far they run: nothing after them is
// looked for.
constexpr uint64_t kMostPadding = uint64_t(16) << 20;

// Whether the file holds nothing but zero bytes (holes read as zeros) from
// offset to its end, or for kMostPadding bytes at least; read a block at a
// time.
bool PaddedFrom(int fd, uint64_t offset, uint64_t size)
{
    const uint64_t end = std::min(size, offset + kMostPadding);
    std::vector<uint8_t> block(size_t(1) << 20);
    bool seekData = true;
    while (offset < end) {
        if (seekData) {
            int64_t data = OsNextData(fd, int64_t(offset));
            if (data < 0 && errno == ENXIO)
                return true; // a hole up to the end
            if (data < 0)
                seekData = false; // the file system cannot say: read it all
            else
                offset = uint64_t(data);
            if (offset >= end)
                return true;
        }
        const size_t want = size_t(std::min<uint64_t>(block.size(), end - offset));
        int64_t n = OsReadAt(fd, block.data(), int64_t(want), int64_t(offset));
        if (n <= 0)
            return false;
        if (std::any_of(block.begin(), block.begin() + n, [](uint8_t b) { return b != 0; }))
            return false;
        offset += uint64_t(n);
    }
    return true;
}

// The bytes of a JPEG file that its pictures need: only up to where its
// structure reaches (its first picture and a second right after it, or as
// far as its multi-picture index names pictures) when zero padding
// follows, so that a picture padded out to a huge file costs no more than
// the picture; else the whole file, since the rest may hold further
// pictures. Too large when what it needs is larger than kMostFileBytes.
CodecResult ReadJpegBytes(int fd, uint64_t fileSize, std::string& bytes)
{
    uint64_t have = 0, want = std::min<uint64_t>(fileSize, uint64_t(1) << 20), reach = 0;
    for (;;) {
        if (want > kMostFileBytes)
            return kCodecTooLarge;
        have = ReadRange(fd, bytes, size_t(have), size_t(want));
        if (have < want)
            return kCodecOk; // cut short while read: what is there
        reach = JpegStructureEnd(Data(bytes), size_t(have));
        if (reach != 0 || have == fileSize)
            break;
        want = std::min(fileSize, have * 2);
    }
    if (reach == 0 || reach >= fileSize || !PaddedFrom(fd, reach, fileSize))
        reach = fileSize;
    if (reach > kMostFileBytes)
        return kCodecTooLarge;
    if (reach <= have)
        bytes.resize(size_t(reach));
    else
        ReadRange(fd, bytes, size_t(have), size_t(reach));
    return kCodecOk;
}

// Reads the open file (size bytes, as fstat gave them): a JPEG only as far
// as it needs (ReadJpegBytes), anything else whole, held to the limit by its
// size.
CodecResult ReadWholeFile(int fd, uint64_t size, std::string& bytes)
{
    bytes.clear();
    CodecResult result = kCodecOk;
    if (ReadRange(fd, bytes, 0, size_t(std::min<uint64_t>(size, 2))) == 2 && uint8_t(bytes[0]) == 0xFF &&
        uint8_t(bytes[1]) == 0xD8)
        result = ReadJpegBytes(fd, size, bytes);
    else if (size > kMostFileBytes)
        result = kCodecTooLarge;
    else
        ReadRange(fd, bytes, bytes.size(), size_t(size));
    if (result == kCodecOk && bytes.empty())
        result = kCodecCorrupt;
    if (result != kCodecOk)
        bytes.clear();
    return result;
}

// A note about the file: its name, then what the note says of it.
void AddNote(StereoSource& source, const std::string& path, const std::string& note)
{
    if (!note.empty())
        source.notes += Quoted(path) + " " + note;
}

// The two pictures of a pair, decoded into the views' own images, as the
// views.
void UseAsViews(StereoViews& views)
{
    views.left = views.owned[0].View();
    views.right = views.owned[1].View();
}

// The frames of the file (a pair's two, or the one picture) decoded into
// the views' own images; false when one could not be.
// The two pictures of a pair; with bothCores the second decodes on a thread
// of its own while this one decodes the first.
bool DecodePair(const StereoFile& first, int firstIndex, const StereoFile& second, int secondIndex,
                int32_t leastLongSide, bool bothCores, StereoViews& views)
{
    if (!bothCores)
        return DecodeFrame(first, firstIndex, views.owned[0], leastLongSide) == kCodecOk &&
               DecodeFrame(second, secondIndex, views.owned[1], leastLongSide) == kCodecOk;
    CodecResult secondResult = kCodecCorrupt;
    std::thread other([&] { secondResult = DecodeFrame(second, secondIndex, views.owned[1], leastLongSide); });
    const CodecResult firstResult = DecodeFrame(first, firstIndex, views.owned[0], leastLongSide);
    other.join();
    return firstResult == kCodecOk && secondResult == kCodecOk;
}

bool SameSize(const PictureHeader& a, const PictureHeader& b) { return a.width == b.width && a.height == b.height; }

std::string SizeText(const PictureHeader& header)
{
    return std::to_string(header.width) + "x" + std::to_string(header.height);
}

ConversionStatus OpenTwoFiles(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    source.kind = StereoSourceKind::TwoFiles;
    if (ReadStereoFile(request.sourcePath, source.file) != kCodecOk ||
        ProbeFrame(source.file, 0, source.pictures[0]) != kCodecOk)
        return ExplainUnreadable(source.file, request.sourcePath, reason);
    if (ReadStereoFile(request.rightPath, source.right) != kCodecOk ||
        ProbeFrame(source.right, 0, source.pictures[1]) != kCodecOk)
        return ExplainUnreadable(source.right, request.rightPath, reason);
    if (!SameSize(source.pictures[0], source.pictures[1])) {
        reason = Quoted(request.sourcePath) + " is " + SizeText(source.pictures[0]) + " and " +
                 Quoted(request.rightPath) + " is " + SizeText(source.pictures[1]) +
                 "; the two views of a pair must have the same size.";
        return ConversionStatus::SourceUnsuitable;
    }
    return ConversionStatus::Written;
}

ConversionStatus OpenFramePair(const std::string& path, StereoSource& source, std::string& reason)
{
    source.kind = StereoSourceKind::FramePair;
    if (ProbeFrame(source.file, 0, source.pictures[0]) != kCodecOk ||
        ProbeFrame(source.file, 1, source.pictures[1]) != kCodecOk) {
        reason = Quoted(path) + " holds two stereo views (" + source.file.frames.origin +
                 "), but they could not both be decoded.";
        return ConversionStatus::SourceUnreadable;
    }
    if (!SameSize(source.pictures[0], source.pictures[1])) {
        reason = Quoted(path) + " holds two stereo views of different sizes (" + SizeText(source.pictures[0]) +
                 " and " + SizeText(source.pictures[1]) + ").";
        return ConversionStatus::SourceUnsuitable;
    }
    AddNote(source, path, source.file.frames.problem);
    return ConversionStatus::Written;
}

ConversionStatus OpenOnePicture(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    source.kind = StereoSourceKind::LayoutCut;
    source.layout = request.options.layout;
    source.rightFirst = false;
    if (source.layout == StereoLayout::Auto) {
        AddNote(source, request.sourcePath, source.file.frames.problem);
        std::string note;
        if (!LayoutFromDescriptor(source.file.jps, source.layout, source.rightFirst, note))
            source.layout = StereoLayout::SideBySide;
        AddNote(source, request.sourcePath, note);
    }
    if (ProbeFrame(source.file, 0, source.pictures[0]) != kCodecOk)
        return ExplainUnreadable(source.file, request.sourcePath, reason);
    return ConversionStatus::Written;
}

} // namespace

CodecResult ReadStereoFile(const std::string& path, StereoFile& file)
{
    file = StereoFile{};
    auto opened = std::make_shared<OpenedPicture>();
    file.openResult = OpenPicture(path, *opened);
    file.opened = opened;
    if (file.openResult != kCodecOk)
        return file.openResult;
    // Not a picture: refused before the whole file is read.
    if (opened->format == PictureFormat::Unknown)
        return kCodecUnknownFormat;
    CodecResult result = ReadWholeFile(opened->fd, opened->size, file.bytes);
    if (result != kCodecOk)
        return result;
    file.frames = FindStereoFrames(Data(file.bytes), file.bytes.size());
    file.jps = FindJpsDescriptor(Data(file.bytes), file.bytes.size());
    return kCodecOk;
}

// The bytes of frame index, or of the whole file; false when the frame lies
// outside the bytes read.
bool FrameBytes(const StereoFile& file, int index, const uint8_t*& data, size_t& size)
{
    if (index < 0 || index >= FrameCount(file))
        return false;
    data = Data(file.bytes);
    size = file.bytes.size();
    if (file.frames.found != FrameSearch::StereoPair)
        return true;
    const ByteRange& frame = file.frames.frames[index];
    if (frame.offset > file.bytes.size() || file.bytes.size() - frame.offset < frame.size)
        return false;
    data += frame.offset;
    size = frame.size;
    return true;
}

CodecResult ProbeFrame(const StereoFile& file, int index, PictureHeader& header)
{
    header = PictureHeader{};
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!FrameBytes(file, index, data, size))
        return index < FrameCount(file) ? kCodecCorrupt : kCodecNotFound;
    return ProbePictureBytes(data, size, header);
}

int FrameCount(const StereoFile& file) { return file.frames.found == FrameSearch::StereoPair ? 2 : 1; }

CodecResult DecodeFrame(const StereoFile& file, int index, Picture& picture, int32_t leastLongSide)
{
    picture = Picture{};
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!FrameBytes(file, index, data, size))
        return index >= 0 && index < FrameCount(file) ? kCodecCorrupt : kCodecNotFound;
    return leastLongSide > 0 ? DecodeImageBytesReduced(data, size, leastLongSide, picture)
                             : DecodeImageBytes(data, size, picture);
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

ConversionStatus ExplainUnreadable(const StereoFile& file, const std::string& path, std::string& reason)
{
    FailureDetail detail;
    CodecResult cause = file.openResult;
    if (cause == kCodecOk && file.opened)
        cause = DiagnoseOpenedSource(*file.opened, detail);
    if (cause == kCodecTooLarge && file.opened && detail.width == 0 && detail.fileBytes == 0)
        detail.fileBytes = file.opened->size;
    reason = ReadFailureReason(path, cause, detail);
    return cause == kCodecTooSmall || cause == kCodecOutOfMemory ? ConversionStatus::SourceUnsuitable
                                                                 : ConversionStatus::SourceUnreadable;
}

ConversionStatus OpenStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    source = StereoSource{};
    reason.clear();
    if (!request.rightPath.empty())
        return OpenTwoFiles(request, source, reason);
    if (ReadStereoFile(request.sourcePath, source.file) != kCodecOk)
        return ExplainUnreadable(source.file, request.sourcePath, reason);
    const StereoFrames& frames = source.file.frames;
    if (request.options.layout == StereoLayout::Auto && frames.found == FrameSearch::Damaged) {
        reason = Quoted(request.sourcePath) + " is a multi-picture file whose stereo views cannot be used: " +
                 frames.problem;
        return ConversionStatus::SourceUnreadable;
    }
    if (request.options.layout == StereoLayout::Auto && frames.found == FrameSearch::StereoPair)
        return OpenFramePair(request.sourcePath, source, reason);
    return OpenOnePicture(request, source, reason);
}

ConversionStatus DecodeStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    const int32_t reduced = request.options.reducedDecode;
    switch (source.kind) {
    case StereoSourceKind::TwoFiles:
        if (DecodeFrame(source.file, 0, source.views.owned[0], reduced) != kCodecOk)
            return ExplainUnreadable(source.file, request.sourcePath, reason);
        if (DecodeFrame(source.right, 0, source.views.owned[1], reduced) != kCodecOk)
            return ExplainUnreadable(source.right, request.rightPath, reason);
        UseAsViews(source.views);
        source.right = StereoFile{};
        break;
    case StereoSourceKind::FramePair:
        if (!DecodePair(source.file, 0, source.file, 1, reduced, !request.singleThread, source.views)) {
            reason = Quoted(request.sourcePath) + " holds two stereo views (" + source.file.frames.origin +
                     "), but they could not both be decoded.";
            return ConversionStatus::SourceUnreadable;
        }
        UseAsViews(source.views);
        break;
    case StereoSourceKind::LayoutCut:
        // A view of the cut has at least half the picture's longer side, so
        // the picture keeps twice what each view needs.
        if (DecodeFrame(source.file, 0, source.picture, reduced > 0 ? reduced * 2 : 0) != kCodecOk)
            return ExplainUnreadable(source.file, request.sourcePath, reason);
        if (!SplitByLayout(source.picture.View(), source.layout, source.views)) {
            reason = Quoted(request.sourcePath) + " (" + SizeText(source.picture) +
                     ") is too small to cut into two views as " + StereoLayoutName(source.layout) + ".";
            return ConversionStatus::SourceUnsuitable;
        }
        if (source.rightFirst)
            std::swap(source.views.left, source.views.right);
        break;
    }
    // Only the metadata is read from the bytes from here on.
    std::string& bytes = source.file.bytes;
    bytes.resize(JpegHeadEnd(Data(bytes), bytes.size()));
    bytes.shrink_to_fit();
    if (request.options.swapViews)
        std::swap(source.views.left, source.views.right);
    return ConversionStatus::Written;
}

ConversionStatus LoadStereoSource(const ConversionRequest& request, StereoSource& source, std::string& reason)
{
    ConversionStatus status = OpenStereoSource(request, source, reason);
    return status == ConversionStatus::Written ? DecodeStereoSource(request, source, reason) : status;
}
