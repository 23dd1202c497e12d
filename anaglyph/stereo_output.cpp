#include "anaglyph/stereo_output.h"

#include <algorithm>
#include <cstring>

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/area_resize.h"
#include "anaglyph/named_values.h"
#include "imageio/animated_gif.h"
#include "imageio/failure_reasons.h"
#include "imageio/image_file.h"
#include "imageio/metadata.h"
#include "imageio/stereo_jpeg_writer.h"
#include "platform/memory.h"
#include "platform/text.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

bool Fail(ConversionResult& result, ConversionStatus status, std::string reason)
{
    result.status = status;
    result.reason = std::move(reason);
    return false;
}

// The output could not be written: the words of the anaglyph's message, with
// the kind's own name for what was not written.
bool WriteFailed(const OutputJob& job, const char* noun, CodecResult cause, int64_t width, int64_t height,
                 ConversionResult& result, const std::string& memoryReason = std::string(),
                 const SaveFailure& save = SaveFailure{})
{
    FailureDetail detail;
    detail.width = width;
    detail.height = height;
    detail.memoryReason = memoryReason;
    detail.format = job.format;
    detail.save = save;
    std::string reason = WriteFailureReason(job.request->outputPath, cause, detail);
    const std::string anaglyph = "The anaglyph";
    if (reason.rfind(anaglyph, 0) == 0)
        reason = std::string("The ") + noun + reason.substr(anaglyph.size());
    return Fail(result, cause == kCodecOutOfMemory ? ConversionStatus::SourceUnsuitable
                                                   : ConversionStatus::OutputUnwritable,
                reason);
}

bool KeepsMetadata(const OutputJob& job)
{
    return !job.request->options.stripMetadata && job.sourceBytes &&
           PictureHasMetadata(Data(*job.sourceBytes), job.sourceBytes->size());
}

// Copies the source's EXIF and ICC profile into encoded (a format's file of
// width x height), or says in the notes why they were not kept.
void AddMetadata(const OutputJob& job, std::string& encoded, PictureFormat format, int64_t width, int64_t height)
{
    if (KeepsMetadata(job))
        CopyPictureMetadata(Data(*job.sourceBytes), job.sourceBytes->size(), encoded, format, int32_t(width),
                            int32_t(height), *job.notes);
}

// The size a kind's result would have, refused before any buffer is made:
// more pixels than a picture may hold, a JPEG side past its limit, more
// memory than there is.
bool RefuseSize(const OutputJob& job, const char* noun, PictureFormat format, const OutputSize& size,
                ConversionResult& result)
{
    if (ImageBytes(size.width, size.height) < 0 ||
        (format == PictureFormat::Jpeg && (size.width > kMaxJpegSide || size.height > kMaxJpegSide)))
        return !WriteFailed(job, noun, kCodecTooLarge, size.width, size.height, result);
    std::string memoryReason;
    if (!MemoryAvailableFor(size.bufferBytes, memoryReason))
        return !WriteFailed(job, noun, kCodecOutOfMemory, size.width, size.height, result, memoryReason);
    return false;
}

void CopyInto(ImageView from, ImageView to)
{
    for (int32_t y = 0; y < from.height; ++y)
        std::memcpy(to.Row(y), from.Row(y), size_t(from.width) * 4);
}

// ---- the anaglyph: mixed into the left view's own pixels, encoded from there

OutputSize AnaglyphSize(int32_t width, int32_t height, const ConversionOptions&) { return {width, height, 0}; }

bool WriteAnaglyph(const OutputJob& job, ConversionResult& result)
{
    const ConversionRequest& request = *job.request;
    ImageView anaglyph = job.left;
    if (!MixViews(job.left, job.right, request.options.method, anaglyph))
        return Fail(result, ConversionStatus::SourceUnsuitable,
                    "The views of " + Quoted(request.sourcePath) + " could not be mixed.");
    EncodeOptions encode;
    encode.jpegQuality = request.options.jpegQuality;
    const std::string& from = *job.sourceBytes;
    const auto* fromData = Data(from);
    const PictureFormat format = job.format;
    if (!request.options.stripMetadata && PictureHasMetadata(fromData, from.size())) {
        encode.finish = [&](std::string& bytes) {
            CopyPictureMetadata(fromData, from.size(), bytes, format, anaglyph.width, anaglyph.height,
                                *job.notes);
        };
    }
    SaveFailure failure;
    CodecResult written = EncodeImageFile(request.outputPath, format, anaglyph, encode, &failure);
    if (written != kCodecOk) {
        FailureDetail detail;
        detail.width = anaglyph.width;
        detail.height = anaglyph.height;
        detail.format = format;
        detail.save = failure;
        return Fail(result, ConversionStatus::OutputUnwritable, WriteFailureReason(request.outputPath, written, detail));
    }
    return true;
}

// ---- the pair in one picture: side by side, crossed, over/under, squeezed, JPS

enum class Placement { LeftRight, RightLeft, LeftOverRight, SqueezedLeftRight };

Placement PlacementOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Cross: return Placement::RightLeft;
    case OutputKind::OverUnder: return Placement::LeftOverRight;
    case OutputKind::HalfSideBySide: return Placement::SqueezedLeftRight;
    default: return Placement::LeftRight;
    }
}

// A squeezed view keeps half its width, rounded up (a view 1 pixel wide
// stays whole).
int32_t SqueezedWidth(int32_t width) { return (width + 1) / 2; }

OutputSize PairSize(Placement placement, int32_t width, int32_t height)
{
    OutputSize size;
    switch (placement) {
    case Placement::LeftOverRight:
        size.width = width;
        size.height = int64_t{height} * 2;
        break;
    case Placement::SqueezedLeftRight:
        size.width = int64_t{SqueezedWidth(width)} * 2;
        size.height = height;
        break;
    default:
        size.width = int64_t{width} * 2;
        size.height = height;
        break;
    }
    size.bufferBytes = std::max<int64_t>(0, ImageBytes(size.width, size.height));
    return size;
}

OutputSize SideBySideSize(int32_t w, int32_t h, const ConversionOptions&) { return PairSize(Placement::LeftRight, w, h); }
OutputSize CrossSize(int32_t w, int32_t h, const ConversionOptions&) { return PairSize(Placement::RightLeft, w, h); }
OutputSize OverUnderSize(int32_t w, int32_t h, const ConversionOptions&)
{
    return PairSize(Placement::LeftOverRight, w, h);
}
OutputSize HalfSideBySideSize(int32_t w, int32_t h, const ConversionOptions&)
{
    return PairSize(Placement::SqueezedLeftRight, w, h);
}

// The two views put into one picture as placement says.
bool ComposePair(const OutputJob& job, Placement placement, Image& pair)
{
    const OutputSize size = PairSize(placement, job.left.width, job.left.height);
    if (!AllocateImage(pair, int32_t(size.width), int32_t(size.height)))
        return false;
    ImageView out = pair.View();
    const int32_t w = job.left.width, h = job.left.height;
    switch (placement) {
    case Placement::LeftRight:
        CopyInto(job.left, out.Crop(0, 0, w, h));
        CopyInto(job.right, out.Crop(w, 0, w, h));
        return true;
    case Placement::RightLeft:
        CopyInto(job.right, out.Crop(0, 0, w, h));
        CopyInto(job.left, out.Crop(w, 0, w, h));
        return true;
    case Placement::LeftOverRight:
        CopyInto(job.left, out.Crop(0, 0, w, h));
        CopyInto(job.right, out.Crop(0, h, w, h));
        return true;
    case Placement::SqueezedLeftRight: {
        const int32_t half = SqueezedWidth(w);
        return ShrinkByArea(job.left, out.Crop(0, 0, half, h)) && ShrinkByArea(job.right, out.Crop(half, 0, half, h));
    }
    }
    return false;
}

bool WritePair(const OutputJob& job, const StereoOutput& output, ConversionResult& result, bool jpsDescriptor)
{
    const Placement placement = PlacementOf(output.kind);
    const OutputSize size = PairSize(placement, job.left.width, job.left.height);
    if (RefuseSize(job, output.noun, job.format, size, result))
        return false;
    Image pair;
    if (!ComposePair(job, placement, pair))
        return WriteFailed(job, output.noun, kCodecOutOfMemory, size.width, size.height, result);
    EncodeOptions encode;
    encode.jpegQuality = job.request->options.jpegQuality;
    const PictureFormat format = job.format;
    encode.finish = [&](std::string& bytes) {
        AddMetadata(job, bytes, format, size.width, size.height);
        if (jpsDescriptor)
            InsertJpegSegment(bytes, JpsSideBySideSegment(true));
    };
    SaveFailure failure;
    CodecResult written = EncodeImageFile(job.request->outputPath, format, pair.View(), encode, &failure);
    if (written != kCodecOk)
        return WriteFailed(job, output.noun, written, size.width, size.height, result, std::string(), failure);
    return true;
}

bool WriteSideBySide(const OutputJob& job, ConversionResult& result)
{
    return WritePair(job, StereoOutputFor(OutputKind::SideBySide), result, false);
}
bool WriteCross(const OutputJob& job, ConversionResult& result)
{
    return WritePair(job, StereoOutputFor(OutputKind::Cross), result, false);
}
bool WriteOverUnder(const OutputJob& job, ConversionResult& result)
{
    return WritePair(job, StereoOutputFor(OutputKind::OverUnder), result, false);
}
bool WriteHalfSideBySide(const OutputJob& job, ConversionResult& result)
{
    return WritePair(job, StereoOutputFor(OutputKind::HalfSideBySide), result, false);
}
// Parallel, left view first, and the descriptor says so: viewers that read
// it show the pair the right way round, and so does this program.
bool WriteJps(const OutputJob& job, ConversionResult& result)
{
    return WritePair(job, StereoOutputFor(OutputKind::Jps), result, true);
}

// ---- MPO: each view a JPEG of its own, encoded straight from the view

OutputSize MpoSize(int32_t width, int32_t height, const ConversionOptions&) { return {width, height, 0}; }

bool WriteMpo(const OutputJob& job, ConversionResult& result)
{
    const StereoOutput& output = StereoOutputFor(OutputKind::Mpo);
    const int32_t w = job.left.width, h = job.left.height;
    if (RefuseSize(job, output.noun, PictureFormat::Jpeg, MpoSize(w, h, job.request->options), result))
        return false;
    EncodeOptions encode;
    encode.jpegQuality = job.request->options.jpegQuality;
    std::string left, right, mpo;
    CodecResult encoded = EncodeImageBytes(left, PictureFormat::Jpeg, job.left, encode);
    if (encoded == kCodecOk)
        encoded = EncodeImageBytes(right, PictureFormat::Jpeg, job.right, encode);
    if (encoded != kCodecOk)
        return WriteFailed(job, output.noun, encoded, w, h, result);
    // The EXIF and ICC profile go with the first picture, the one every
    // reader shows.
    AddMetadata(job, left, PictureFormat::Jpeg, w, h);
    if (!MakeStereoMpo(left, right, mpo))
        return WriteFailed(job, output.noun, kCodecTooLarge, w, h, result);
    SaveFailure failure;
    CodecResult written = SaveFileBytes(job.request->outputPath, mpo, &failure);
    if (written != kCodecOk)
        return WriteFailed(job, output.noun, written, w, h, result, std::string(), failure);
    return true;
}

// ---- wiggle: both views shrunk to fit, one palette, alternating for ever

OutputSize WiggleSize(int32_t width, int32_t height, const ConversionOptions& options)
{
    OutputSize size;
    int32_t w = 0, h = 0;
    FitInside(width, height, options.wiggleSize, w, h);
    size.width = w;
    size.height = h;
    size.bufferBytes = w == width && h == height ? 0 : std::max<int64_t>(0, ImageBytes(w, h)) * 2;
    return size;
}

bool WriteWiggle(const OutputJob& job, ConversionResult& result)
{
    const StereoOutput& output = StereoOutputFor(OutputKind::Wiggle);
    const OutputSize size = WiggleSize(job.left.width, job.left.height, job.request->options);
    if (size.width > 65535 || size.height > 65535)
        return WriteFailed(job, output.noun, kCodecTooLarge, size.width, size.height, result);
    if (RefuseSize(job, output.noun, PictureFormat::Gif, size, result))
        return false;
    ImageView frames[2] = {job.left, job.right};
    Image shrunk[2];
    if (size.width != job.left.width || size.height != job.left.height) {
        for (int i = 0; i < 2; ++i) {
            if (!AllocateImage(shrunk[i], int32_t(size.width), int32_t(size.height)) ||
                !ShrinkByArea(frames[i], shrunk[i].View()))
                return WriteFailed(job, output.noun, kCodecOutOfMemory, size.width, size.height, result);
            frames[i] = shrunk[i].View();
        }
    }
    const GifPalette palette = ChooseSharedPalette(frames, 2);
    std::string gif;
    CodecResult encoded = EncodeLoopingGif(gif, frames, 2, job.request->options.wiggleMs, palette);
    if (encoded != kCodecOk)
        return WriteFailed(job, output.noun, encoded, size.width, size.height, result);
    // GIF holds no EXIF or ICC profile: the note says so, as for any GIF.
    AddMetadata(job, gif, PictureFormat::Gif, size.width, size.height);
    SaveFailure failure;
    CodecResult written = SaveFileBytes(job.request->outputPath, gif, &failure);
    if (written != kCodecOk)
        return WriteFailed(job, output.noun, written, size.width, size.height, result, std::string(), failure);
    return true;
}

// The table. A new kind is a row here and its enumerator.
const StereoOutput kOutputs[] = {
    {OutputKind::Anaglyph, "anaglyph", "_anaglyph", "jpg", nullptr, PictureFormat::Jpeg, "anaglyph", AnaglyphSize,
     WriteAnaglyph},
    {OutputKind::SideBySide, "sbs", "_sbs", "jpg", nullptr, PictureFormat::Jpeg, "side-by-side pair",
     SideBySideSize, WriteSideBySide},
    {OutputKind::Cross, "cross", "_cross", "jpg", nullptr, PictureFormat::Jpeg, "cross-eyed pair", CrossSize,
     WriteCross},
    {OutputKind::OverUnder, "over-under", "_over-under", "jpg", nullptr, PictureFormat::Jpeg, "over/under pair",
     OverUnderSize, WriteOverUnder},
    {OutputKind::HalfSideBySide, "half-sbs", "_half-sbs", "jpg", nullptr, PictureFormat::Jpeg,
     "half side-by-side pair", HalfSideBySideSize, WriteHalfSideBySide},
    {OutputKind::Jps, "jps", "_stereo", "jps", "jps", PictureFormat::Jpeg, "JPS stereo pair", SideBySideSize,
     WriteJps},
    {OutputKind::Mpo, "mpo", "_stereo", "mpo", "mpo", PictureFormat::Jpeg, "MPO stereo pair", MpoSize, WriteMpo},
    {OutputKind::Wiggle, "wiggle", "_wiggle", "gif", "gif", PictureFormat::Gif, "wiggle GIF", WiggleSize,
     WriteWiggle},
};

// The extension after the file name's last dot, lower-cased; "" for none.
std::string ExtensionOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return CharLowerA(std::string_view(path).substr(dot + 1));
}

} // namespace

const StereoOutput& StereoOutputFor(OutputKind kind)
{
    for (const StereoOutput& row : kOutputs) {
        if (row.kind == kind)
            return row;
    }
    return kOutputs[0];
}

bool ParseOutputKind(std::string_view name, OutputKind& kind)
{
    for (const StereoOutput& row : kOutputs) {
        if (name == row.name) {
            kind = row.kind;
            return true;
        }
    }
    return false;
}

std::string OutputKindName(OutputKind kind) { return StereoOutputFor(kind).name; }

std::string OutputKindNames()
{
    std::string names;
    for (const StereoOutput& row : kOutputs)
        names += (names.empty() ? "" : "|") + std::string(row.name);
    return names;
}

bool OutputFormatForName(const StereoOutput& output, const std::string& outputPath, PictureFormat& format)
{
    if (output.ownExtension) {
        if (ExtensionOf(outputPath) != output.ownExtension)
            return false;
        format = output.format;
        return true;
    }
    return ImageFormatForName(outputPath, format);
}

OutputKind OutputKindForName(const std::string& outputPath, OutputKind asked)
{
    if (asked != OutputKind::Anaglyph)
        return asked;
    const std::string extension = ExtensionOf(outputPath);
    for (const StereoOutput& row : kOutputs) {
        // A GIF stays a picture format for the anaglyph; only the
        // containers of their own imply a kind.
        if (row.ownExtension && row.format == PictureFormat::Jpeg && extension == row.ownExtension)
            return row.kind;
    }
    return asked;
}

std::string OutputNameProblem(OutputKind kind, const std::string& outputPath)
{
    const StereoOutput& output = StereoOutputFor(kind);
    PictureFormat format;
    if (OutputFormatForName(output, outputPath, format))
        return std::string();
    if (output.ownExtension)
        return "--to " + std::string(output.name) + " writes ." + output.ownExtension + " files; -o " +
               Quoted(outputPath) + " names another";
    return "-o " + Quoted(outputPath) + " names no picture format: end it in " + WrittenExtensionList() +
           ", or in '/' for a folder";
}

bool IsOutputResultName(const std::string& fileName)
{
    size_t dot = fileName.rfind('.');
    const std::string stem = CharLowerA(std::string_view(fileName).substr(0, dot));
    const std::string extension = dot == std::string::npos ? std::string() : ExtensionOf(fileName);
    for (const StereoOutput& row : kOutputs) {
        const std::string suffix = row.suffix;
        if (stem.size() < suffix.size() || stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (!row.ownExtension || extension == row.ownExtension)
            return true;
    }
    return false;
}
