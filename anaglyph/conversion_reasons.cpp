#include "anaglyph/conversion_reasons.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/codecs/codec.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string UnreadableSourceReason(const std::string& path)
{
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0)
        return Quoted(path) + " cannot be read: " + std::strerror(errno);
    if (S_ISDIR(info.st_mode))
        return Quoted(path) + " is a folder, not a picture";
    if (S_ISREG(info.st_mode) && info.st_size == 0)
        return Quoted(path) + " is empty, not a picture";
    PictureHeader header;
    switch (ProbePictureFile(path, header)) {
    case kCodecNotFound:
        return Quoted(path) + " cannot be read: " + std::strerror(ENOENT);
    case kCodecAccessDenied:
        return Quoted(path) + " cannot be read: " + std::strerror(EACCES);
    case kCodecUnknownFormat:
        return Quoted(path) + " is not a picture";
    case kCodecTooLarge:
        return Quoted(path) + " is too large a picture";
    case kCodecOutOfMemory:
        return Quoted(path) + " cannot be read: " + std::strerror(ENOMEM);
    case kCodecOk:
    case kCodecCorrupt:
    default:
        return Quoted(path) + " is a damaged picture";
    }
}

std::string UnwritableOutputReason(const std::string& path)
{
    std::string prefix = "cannot write " + Quoted(path) + ": ";
    struct stat info = {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return prefix + std::strerror(EISDIR);
    std::string folder = FolderOf(path);
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return prefix + std::strerror(errno);
    return prefix + "the encoder or the file system failed";
}
