// The file entry points: reading a picture file (only its head for a probe)
// and the atomic save.
#include "imageio/codecs/formats.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/os.h"

namespace codecs {
namespace {

using PictureFile = OpenedPicture;

CodecResult ResultOfErrno(int error, CodecResult otherwise)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kCodecNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return kCodecAccessDenied;
    case ENOMEM:
        return kCodecOutOfMemory;
    case ENOSPC:
    case EDQUOT:
        return kCodecDiskFull;
    default:
        return otherwise;
    }
}


struct JpegBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    JpegBuffer() = default;
    ~JpegBuffer() { FreeJpegBuffer(data); }
    JpegBuffer(const JpegBuffer&) = delete;
    JpegBuffer& operator=(const JpegBuffer&) = delete;
};

// Reads up to size bytes from offset; the count actually read, or -1.
int64_t ReadAt(int fd, uint8_t* out, size_t size, uint64_t offset)
{
    return OsReadAt(fd, out, int64_t(size), int64_t(offset));
}

} // namespace
} // namespace codecs

using namespace codecs;

OpenedPicture::~OpenedPicture()
{
    if (fd >= 0)
        OsClose(fd);
}

CodecResult OpenPicture(const std::string& path, OpenedPicture& file)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return kCodecNotFound;
    file.fd = OsOpenForReading(path);
    if (file.fd < 0)
        return ResultOfErrno(errno, kCodecAccessDenied);
    OsFileInfo info;
    if (OsFileStat(file.fd, info) != 0 || info.kind != OsFileKind::Regular)
        return kCodecAccessDenied;
    file.size = uint64_t(info.size);
    if (file.size == 0)
        return kCodecCorrupt;
    uint8_t sniff[16];
    int64_t sniffed = ReadAt(file.fd, sniff, sizeof sniff, 0);
    if (sniffed < 0)
        return kCodecAccessDenied;
    file.format = SniffFormat(sniff, size_t(sniffed));
    return kCodecOk;
}

namespace codecs {
namespace {

// The first size bytes of the file in a new buffer; got is how many there
// were.
CodecResult ReadHead(int fd, size_t size, std::unique_ptr<uint8_t[]>& data, size_t& got)
{
    data.reset(new (std::nothrow) uint8_t[size]);
    if (!data)
        return kCodecOutOfMemory;
    int64_t n = ReadAt(fd, data.get(), size, 0);
    if (n < 0)
        return kCodecAccessDenied;
    got = size_t(n);
    return kCodecOk;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    return OsWriteAll(fd, data, int64_t(size)) == 0;
}

// The temporary file's name in the folder of the target: ".NAME.XXXXXX",
// with NAME cut short enough that the whole fits the file system's limit
// on one name (a UTF-8 sequence may be cut; the name is only ours).
std::string TemporaryName(const std::string& folder, const std::string& name)
{
    constexpr size_t kAround = 8; // "." before, ".XXXXXX" after
    int64_t limit = OsLongestName(folder);
    size_t most = limit > int64_t(kAround) ? size_t(limit) - kAround : NAME_MAX - kAround;
    return folder + "." + name.substr(0, std::min(name.size(), most)) + ".XXXXXX";
}

// How many bytes from the start the decoder can use, by the format's row:
// a BMP's pixels, a PNG up to IEND, an icon's entries; the whole file for
// the rest. Bytes after that (a picture followed by anything) are never
// read. kCodecCorrupt when the image data the header promises cannot be in
// the file at all: such a file is refused here, cheaply, before anything
// the size of the picture is allocated or drawn.
CodecResult BytesToRead(const PictureFile& file, const uint8_t* head, size_t got, uint64_t& length)
{
    length = file.size;
    const PictureFormatRow* row = FindPictureFormat(file.format);
    if (row && row->extent) {
        CodecResult result = row->extent(PictureFileHead{head, got, file.size, file.fd}, length);
        if (result != kCodecOk)
            return result;
    }
    length = std::min(std::max<uint64_t>(length, got), file.size);
    return kCodecOk;
}

} // namespace

ByteReader FileByteReader(int fd)
{
    return [fd](uint64_t offset, uint8_t* out, size_t n) { return ReadAt(fd, out, n, offset) == int64_t(n); };
}

} // namespace codecs

using namespace codecs;

// Most headers sit in the first few kilobytes; a JPEG with large metadata
// segments before its frame header makes the probe read on, in growing steps.
constexpr size_t kProbeFirstRead = 64 * 1024;
constexpr size_t kProbeMostRead = 64 * 1024 * 1024;

CodecResult ProbePictureFile(const std::string& path, PictureHeader& header)
{
    header = PictureHeader{};
    PictureFile file;
    CodecResult result = OpenPicture(path, file);
    if (result != kCodecOk)
        return result;
    return ProbeOpenedPicture(file, header);
}

CodecResult ProbeOpenedPicture(const OpenedPicture& file, PictureHeader& header)
{
    header = PictureHeader{};
    CodecResult result = kCodecOk;
    const PictureFormatRow* row = FindPictureFormat(file.format);
    if (row && row->probeFile) {
        PictureHeader found;
        result = row->probeFile(file.fd, found);
        if (result == kCodecOk)
            result = CheckPictureSize(found.width, found.height);
        if (result == kCodecOk) {
            found.format = row->format;
            header = found;
        }
        return result;
    }
    size_t want = kProbeFirstRead;
    for (;;) {
        size_t size = size_t(std::min<uint64_t>(want, file.size));
        std::unique_ptr<uint8_t[]> head;
        size_t got = 0;
        result = ReadHead(file.fd, size, head, got);
        if (result != kCodecOk)
            return result;
        result = ProbePictureBytes(head.get(), got, header);
        if (result == kCodecOk) {
            uint64_t length = 0;
            result = BytesToRead(file, head.get(), got, length);
            if (result != kCodecOk)
                header = PictureHeader{};
            return result;
        }
        if (result != kCodecCorrupt || got < size || size >= file.size || size >= kProbeMostRead)
            return result;
        want = size * 4;
    }
}

CodecResult DiagnosePictureFile(const std::string& path, PictureDiagnosis& diagnosis)
{
    diagnosis = PictureDiagnosis{};
    PictureFile file;
    CodecResult result = OpenPicture(path, file);
    diagnosis.format = file.format;
    diagnosis.fileBytes = file.size;
    if (result != kCodecOk)
        return result;
    return DiagnoseOpenedPicture(file, diagnosis);
}

CodecResult DiagnoseOpenedPicture(const OpenedPicture& file, PictureDiagnosis& diagnosis)
{
    diagnosis = PictureDiagnosis{};
    diagnosis.format = file.format;
    diagnosis.fileBytes = file.size;
    CodecResult result = kCodecOk;
    if (file.format == PictureFormat::Unknown)
        return kCodecUnknownFormat;
    const PictureFormatRow* row = FindPictureFormat(file.format);
    if (row->probeFile) {
        diagnosis.variant = row->variantOfFile ? row->variantOfFile(file.fd) : std::string();
        if (!diagnosis.variant.empty())
            return kCodecUnsupportedVariant;
        PictureHeader header;
        result = row->probeFile(file.fd, header);
        diagnosis.width = header.width;
        diagnosis.height = header.height;
        return result == kCodecOk ? CheckPictureSize(header.width, header.height) : result;
    }
    std::unique_ptr<uint8_t[]> head;
    size_t got = 0;
    result = ReadHead(file.fd, size_t(std::min<uint64_t>(kProbeFirstRead, file.size)), head, got);
    if (result != kCodecOk)
        return result;
    if (row->variant)
        diagnosis.variant = row->variant(head.get(), got);
    if (!diagnosis.variant.empty())
        return kCodecUnsupportedVariant;
    PictureHeader header;
    result = ProbeFormat(file.format, head.get(), got, header);
    diagnosis.width = header.width;
    diagnosis.height = header.height;
    if (result == kCodecCorrupt && got < file.size)
        result = ProbeOpenedPicture(file, header); // the header lies beyond the first read
    return result;
}

bool OutputIsSourceFile(const std::string& sourcePath, const std::string& outputPath)
{
    OsFileInfo source, output;
    return OsStat(sourcePath, source) == 0 && OsLinkStat(outputPath, output) == 0 &&
           source.device == output.device && source.inode == output.inode;
}

CodecResult DecodePictureFile(const std::string& path, Picture& picture)
{
    picture = Picture{};
    PictureFile file;
    CodecResult result = OpenPicture(path, file);
    if (result != kCodecOk)
        return result;
    // Not a picture: refused before the whole file is read. Files beyond the
    // largest uncompressed picture (2^28 pixels of 16-bit RGBA) are refused
    // too.
    if (file.format == PictureFormat::Unknown)
        return kCodecUnknownFormat;
    // libtiff reads the strips or tiles it needs from the file itself.
    const PictureFormatRow* row = FindPictureFormat(file.format);
    if (row->decodeFile) {
        result = row->decodeFile(file.fd, picture);
        if (result != kCodecOk)
            picture = Picture{};
        return result;
    }
    std::unique_ptr<uint8_t[]> head;
    size_t got = 0;
    result = ReadHead(file.fd, size_t(std::min<uint64_t>(kProbeFirstRead, file.size)), head, got);
    if (result != kCodecOk)
        return result;
    uint64_t length = 0;
    result = BytesToRead(file, head.get(), got, length);
    if (result != kCodecOk)
        return result;
    if (length == 0)
        return kCodecCorrupt;
    if (length > uint64_t(kMaxPicturePixels) * 8 + 65536 || length > uint64_t(SIZE_MAX / 2))
        return kCodecTooLarge;
    std::unique_ptr<uint8_t[]> data;
    if (length <= got) {
        data = std::move(head);
    } else {
        head.reset();
        result = ReadHead(file.fd, size_t(length), data, got);
        if (result != kCodecOk)
            return result;
    }
    return DecodePictureBytes(data.get(), std::min<size_t>(got, size_t(length)), picture);
}

CodecResult EncodePictureFile(const std::string& path, PictureFormat format, const uint32_t* pixels, int32_t width,
                              int32_t height, bool withAlpha)
{
    EncodeOptions options;
    options.withAlpha = withAlpha;
    return EncodeImageFile(path, format, ImageView{const_cast<uint32_t*>(pixels), width, height, width}, options);
}

namespace {

// The checks a save makes of its target before anything is encoded: a name
// that can be a file, and no folder or unwritable file at it. What is there
// (a symbolic link counts as nothing: it is replaced, never followed).
CodecResult CheckSaveTarget(const std::string& path, OsFileInfo& existing, bool& exists, SaveFailure& failed)
{
    exists = false;
    if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/')
        return kCodecNotFound;
    // The save replaces whatever is at the name itself: a symbolic link
    // there is replaced by the new file, and the file it points to is left
    // alone (following it would let whoever made the link choose which of
    // the user's files is overwritten).
    exists = OsLinkStat(path, existing) == 0 && existing.kind != OsFileKind::Link;
    if (exists && existing.kind == OsFileKind::Folder) {
        failed = {SaveStep::Target, EISDIR};
        return kCodecAccessDenied;
    }
    if (exists && !OsCanWrite(path)) {
        failed = {SaveStep::Target, errno};
        return kCodecAccessDenied;
    }
    return kCodecOk;
}

// Writes the bytes to a temporary file beside target and renames it over
// target only once complete; the temporary is recorded while it exists, so
// that Ctrl-C or SIGTERM removes it.
CodecResult ReplaceWithBytes(const std::string& target, const char* data, size_t size, bool exists,
                             const OsFileInfo& existing, SaveFailure& failed)
{
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = TemporaryName(folder, name);
    int32_t ticket = -1;
    int fd = CreateTemporaryFile(temp, ticket);
    if (fd < 0) {
        failed = {SaveStep::Create, errno};
        return ResultOfErrno(errno, kCodecWriteFailed);
    }
    // A new file gets the usual permissions; a replaced one keeps its own.
    uint32_t mode = exists ? (existing.permissions & 0777) : OsNewFilePermissions();
    bool written = OsSetPermissions(fd, mode) == 0 && WriteAll(fd, data, size);
    int writeError = written ? 0 : errno;
    if (OsClose(fd) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written) {
        failed = {SaveStep::Write, writeError};
        RemoveTemporaryFile(temp, ticket);
        return ResultOfErrno(writeError, kCodecWriteFailed) == kCodecDiskFull ? kCodecDiskFull : kCodecWriteFailed;
    }
    if (OsRename(temp, target) != 0) {
        int error = errno;
        failed = {SaveStep::Rename, error};
        RemoveTemporaryFile(temp, ticket);
        return ResultOfErrno(error, kCodecWriteFailed);
    }
    ForgetTemporaryFile(ticket);
    return kCodecOk;
}

// What a save knows of its target once checked, and the record its failure
// goes to: the caller's, or one of its own when the caller wants none.
struct SaveTarget {
    explicit SaveTarget(SaveFailure* failure) : failed(failure ? *failure : ignored) { failed = SaveFailure{}; }
    SaveFailure ignored;
    SaveFailure& failed;
    OsFileInfo existing{};
    bool exists = false;
};

// Encodes the view: JPEG into TurboJPEG's own buffer (jpeg), straight from
// rows that may lie farther apart than the width; the others into bytes,
// from rows made contiguous first.
CodecResult EncodeView(PictureFormat format, ImageView image, const EncodeOptions& options, JpegBuffer& jpeg,
                       std::string& bytes)
{
    if (format == PictureFormat::Jpeg && CheckPictureSize(image.width, image.height) == kCodecOk && image.pixels)
        return EncodeJpegBuffer(image.pixels, image.width, image.height, image.stride, options.jpegQuality,
                                &jpeg.data, &jpeg.size);
    if (image.stride != image.width && image.pixels) {
        Image compact;
        if (!AllocateImage(compact, image.width, image.height))
            return kCodecOutOfMemory;
        for (int32_t y = 0; y < image.height; ++y)
            std::memcpy(compact.pixels.get() + int64_t{y} * image.width, image.Row(y), size_t(image.width) * 4);
        return EncodePictureBytes(bytes, format, compact.pixels.get(), image.width, image.height, options.withAlpha);
    }
    return EncodePictureBytes(bytes, format, image.pixels, image.width, image.height, options.withAlpha);
}

} // namespace

CodecResult EncodeImageFile(const std::string& path, PictureFormat format, ImageView image,
                            const EncodeOptions& options, SaveFailure* failure)
{
    SaveTarget target(failure);
    CodecResult checked = CheckSaveTarget(path, target.existing, target.exists, target.failed);
    if (checked != kCodecOk)
        return checked;

    std::string bytes;
    JpegBuffer jpeg;
    CodecResult result = EncodeView(format, image, options, jpeg, bytes);
    if (result != kCodecOk)
        return result;
    if (options.finish) {
        if (jpeg.data)
            bytes.assign(reinterpret_cast<const char*>(jpeg.data), size_t(jpeg.size));
        FreeJpegBuffer(jpeg.data);
        jpeg.data = nullptr;
        options.finish(bytes);
    }
    const char* data = jpeg.data ? reinterpret_cast<const char*>(jpeg.data) : bytes.data();
    size_t size = jpeg.data ? size_t(jpeg.size) : bytes.size();
    return ReplaceWithBytes(path, data, size, target.exists, target.existing, target.failed);
}

CodecResult EncodeImageBytes(std::string& out, PictureFormat format, ImageView image, const EncodeOptions& options)
{
    out.clear();
    JpegBuffer jpeg;
    CodecResult result = EncodeView(format, image, options, jpeg, out);
    if (result != kCodecOk) {
        out.clear();
        return result;
    }
    if (jpeg.data)
        out.assign(reinterpret_cast<const char*>(jpeg.data), size_t(jpeg.size));
    if (options.finish)
        options.finish(out);
    return kCodecOk;
}

CodecResult SaveFileBytes(const std::string& path, const std::string& bytes, SaveFailure* failure)
{
    SaveTarget target(failure);
    CodecResult checked = CheckSaveTarget(path, target.existing, target.exists, target.failed);
    if (checked != kCodecOk)
        return checked;
    return ReplaceWithBytes(path, bytes.data(), bytes.size(), target.exists, target.existing, target.failed);
}
