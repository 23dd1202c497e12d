#include "imageio/failure_reasons.h"

#include <cerrno>
#include <cstring>

#include "platform/memory.h"
#include "platform/os.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// 1234567 as "1,234,567".
std::string Grouped(int64_t value)
{
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > (digits[0] == '-' ? 1 : 0); i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

std::string Size(int64_t width, int64_t height)
{
    return Grouped(width) + " x " + Grouped(height) + " pixels";
}

bool IsRegularFile(const std::string& path)
{
    OsFileInfo info;
    return OsStat(path, info) == 0 && info.kind == OsFileKind::Regular;
}

bool IsFolder(const std::string& path)
{
    OsFileInfo info;
    return OsStat(path, info) == 0 && info.kind == OsFileKind::Folder;
}

std::string ReadReason(const std::string& path, CodecResult result, const FailureDetail& detail)
{
    switch (result) {
    case kCodecNotFound:
        return "The file does not exist.";
    case kCodecAccessDenied:
        if (IsFolder(path))
            return "It is a folder, not a file.";
        if (OsExists(path) && !IsRegularFile(path))
            return "It is not a regular file.";
        return "Permission to read it is denied.";
    case kCodecUnknownFormat:
        return "It is not a picture of a known format (" + PictureFormatNames(false) + ").";
    case kCodecUnsupportedVariant:
        return "It is a " + (detail.variant.empty() ? std::string("picture") : detail.variant) +
               ", a variant of its format that this program cannot read.";
    case kCodecTooLarge:
        if (detail.width > 0 && detail.height > 0)
            return "At " + Size(detail.width, detail.height) + " it is too large to open (the most is " +
                   Grouped(kMaxPicturePixels) + " pixels).";
        if (detail.fileBytes > 0)
            return "At " + Grouped(static_cast<int64_t>(detail.fileBytes)) + " bytes the file is too large to open.";
        return "Its size is too large (or zero) to open.";
    case kCodecTooSmall:
        return "At " + Grouped(detail.width) + (detail.width == 1 ? " pixel" : " pixels") +
               " wide it is too small to split into a left and a right view.";
    case kCodecCorrupt:
        return "The file is damaged or cut short, or holds no image data.";
    case kCodecOutOfMemory:
        return detail.memoryReason.empty() ? "There is not enough memory to open it." : detail.memoryReason;
    default:
        return std::string();
    }
}

// Out of space: of blocks, or (with blocks to spare) of inodes.
std::string NoSpaceReason(const std::string& folder)
{
    int64_t freeBytes = 0;
    bool noFreeFiles = false;
    if (OsFreeSpace(folder, freeBytes, noFreeFiles) == 0 && noFreeFiles)
        return "The file system of " + Quoted(folder) + " has no free inodes left, so no new file can be made there.";
    return "The disk is full.";
}

// Why the file-system call the save made failed, from its errno.
std::string SaveReason(const std::string& path, const SaveFailure& save)
{
    std::string folder = FolderOf(path);
    switch (save.error) {
    case ENOSPC:
        return save.step == SaveStep::Create ? NoSpaceReason(folder) : "The disk is full.";
    case EDQUOT:
        return "The disk quota is used up.";
    case EROFS:
        return "The folder " + Quoted(folder) + " is on a read-only file system.";
    case EISDIR:
        return "A folder of that name is in the way.";
    case ENOTDIR:
        return "A part of " + Quoted(folder) + " is not a folder.";
    case EFBIG:
        return "The file would be too large for the file system.";
    case EACCES:
    case EPERM:
        if (save.step == SaveStep::Target || save.step == SaveStep::Rename)
            return "Permission to replace the existing file is denied.";
        return "The folder " + Quoted(folder) + " is not writable.";
    case ENOENT:
        if (!IsFolder(folder))
            return "The folder " + Quoted(folder) + " does not exist.";
        return "The folder " + Quoted(folder) + " does not take new files (" + std::strerror(save.error) + ").";
    default:
        return std::string(save.step == SaveStep::Create ? "Making a file in " + Quoted(folder) + " failed: "
                           : save.step == SaveStep::Rename ? "Putting the file in place failed: "
                                                           : "Writing it failed: ") +
               std::strerror(save.error) + ".";
    }
}

std::string WriteReason(const std::string& path, CodecResult result, const FailureDetail& detail)
{
    std::string folder = FolderOf(path);
    if (detail.save.error != 0 && result != kCodecTooLarge && result != kCodecOutOfMemory)
        return SaveReason(path, detail.save);
    const PictureFormatRow* row = FindPictureFormat(detail.format);
    const int64_t largest = row ? row->largestSide : kMaxJpegSide;
    switch (result) {
    case kCodecNotFound:
        return "The folder " + Quoted(folder) + " does not exist.";
    case kCodecAccessDenied:
        if (IsFolder(path))
            return "A folder of that name is in the way.";
        if (!OsCanWrite(folder))
            return "The folder " + Quoted(folder) + " is not writable.";
        return "Permission to replace the existing file is denied.";
    case kCodecTooLarge:
        if (detail.width > largest || detail.height > largest)
            return "At " + Size(detail.width, detail.height) + " it would be too " +
                   (detail.width > largest ? "wide" : "high") + " for " + (row ? row->name : "JPEG") +
                   ", which holds at most " + Grouped(largest) + " pixels a side.";
        return "The picture is too large to write.";
    case kCodecDiskFull:
        return "The disk is full.";
    case kCodecOutOfMemory:
        return detail.memoryReason.empty() ? "There is not enough memory to write it." : detail.memoryReason;
    default:
        return std::string();
    }
}

std::string Joined(std::string first, const std::string& reason)
{
    return reason.empty() ? first : first + " " + reason;
}

} // namespace

std::string ReadFailureReason(const std::string& path, CodecResult result, const FailureDetail& detail)
{
    return Joined(Quoted(path) + " could not be read as a picture.", ReadReason(path, result, detail));
}

std::string WriteFailureReason(const std::string& path, CodecResult result, const FailureDetail& detail)
{
    return Joined("The anaglyph could not be written to " + Quoted(path) + ".", WriteReason(path, result, detail));
}

std::string SameFileReason(const std::string& outputPath, const std::string& what)
{
    return Joined("The anaglyph could not be written to " + Quoted(outputPath) + ".",
                  "That file is " + what + ", which would be lost.");
}

CodecResult DiagnoseSource(const std::string& path, FailureDetail& detail)
{
    detail = FailureDetail{};
    OpenedPicture file;
    CodecResult result = OpenPicture(path, file);
    if (result != kCodecOk) {
        detail.fileBytes = file.size;
        return result;
    }
    return DiagnoseOpenedSource(file, detail);
}

CodecResult DiagnoseOpenedSource(const OpenedPicture& file, FailureDetail& detail)
{
    detail = FailureDetail{};
    PictureDiagnosis diagnosis;
    CodecResult result = DiagnoseOpenedPicture(file, diagnosis);
    detail.variant = diagnosis.variant;
    detail.width = diagnosis.width;
    detail.height = diagnosis.height;
    detail.fileBytes = diagnosis.fileBytes;
    if (result != kCodecOk)
        return result;
    if (diagnosis.width < 2)
        return kCodecTooSmall; // half of one pixel rounds to none
    if (!MemoryAvailableFor(ImageBytes(diagnosis.width, diagnosis.height), detail.memoryReason))
        return kCodecOutOfMemory;
    return kCodecCorrupt;
}

CodecResult DiagnoseOutput(const std::string& outputPath, int64_t width, int64_t height, FailureDetail& detail)
{
    detail = FailureDetail{};
    detail.width = width;
    detail.height = height;
    if (width > kMaxJpegSide || height > kMaxJpegSide)
        return kCodecTooLarge;
    std::string folder = FolderOf(outputPath);
    if (!IsFolder(folder))
        return kCodecNotFound;
    if (!OsCanWrite(folder) || IsFolder(outputPath) || (OsExists(outputPath) && !OsCanWrite(outputPath)))
        return kCodecAccessDenied;
    // The write failed: with less room than the raw pixels need, the disk
    // ran full.
    int64_t needed = width * height * 3;
    int64_t freeBytes = 0;
    bool noFreeFiles = false;
    if (OsFreeSpace(folder, freeBytes, noFreeFiles) == 0 && freeBytes < needed)
        return kCodecDiskFull;
    return kCodecWriteFailed;
}
