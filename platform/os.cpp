#include "platform/os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace {

void FillInfo(const struct stat& st, OsFileInfo& info)
{
    info.kind = S_ISREG(st.st_mode)   ? OsFileKind::Regular
                : S_ISDIR(st.st_mode) ? OsFileKind::Folder
                : S_ISLNK(st.st_mode) ? OsFileKind::Link
                                      : OsFileKind::Other;
    info.size = int64_t(st.st_size);
    info.device = uint64_t(st.st_dev);
    info.inode = uint64_t(st.st_ino);
    info.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
    info.permissions = uint32_t(st.st_mode & 07777);
    info.owner = uint32_t(st.st_uid);
    info.group = uint32_t(st.st_gid);
    info.links = uint64_t(st.st_nlink);
}

} // namespace

int OsStat(const std::string& path, OsFileInfo& info)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return -1;
    FillInfo(st, info);
    return 0;
}

int OsLinkStat(const std::string& path, OsFileInfo& info)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return -1;
    FillInfo(st, info);
    return 0;
}

int OsFileStat(int fd, OsFileInfo& info)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return -1;
    FillInfo(st, info);
    return 0;
}

bool OsExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

bool OsCanWrite(const std::string& path)
{
    return access(path.c_str(), W_OK) == 0;
}

int OsFreeSpace(const std::string& path, int64_t& freeBytes, bool& noFreeFiles)
{
    struct statvfs space;
    if (statvfs(path.c_str(), &space) != 0)
        return -1;
    freeBytes = int64_t(space.f_bavail * space.f_frsize);
    noFreeFiles = space.f_files > 0 && space.f_favail == 0;
    return 0;
}

int OsOpenForReading(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int64_t OsReadAt(int fd, void* out, int64_t size, int64_t offset)
{
    if (size < 0 || offset < 0) {
        errno = EINVAL;
        return -1;
    }
    auto* bytes = static_cast<char*>(out);
    int64_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, bytes + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t OsNextData(int fd, int64_t offset)
{
    return int64_t(lseek(fd, off_t(offset), SEEK_DATA));
}

int OsOpenExistingForWriting(const std::string& path)
{
    return open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int OsSetOwner(int fd, uint32_t owner, uint32_t group)
{
    return fchown(fd, uid_t(owner), gid_t(group));
}

int OsTruncate(int fd, int64_t size)
{
    return ftruncate(fd, off_t(size));
}

int OsSync(int fd)
{
    return fsync(fd);
}

int OsResolvePath(const std::string& path, std::string& resolved)
{
    char buffer[PATH_MAX];
    if (!realpath(path.c_str(), buffer))
        return -1;
    resolved = buffer;
    return 0;
}

std::string OsLinkTarget(const std::string& path)
{
    char named[PATH_MAX];
    ssize_t length = readlink(path.c_str(), named, sizeof named - 1);
    return length > 0 ? std::string(named, size_t(length)) : std::string();
}

int OsWriteAll(int fd, const void* data, int64_t size)
{
    auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0) {
            errno = EIO;
            return -1;
        }
        bytes += n;
        size -= n;
    }
    return 0;
}

int OsSetPermissions(int fd, uint32_t permissions)
{
    return fchmod(fd, mode_t(permissions));
}

int OsRename(const std::string& from, const std::string& to)
{
    return rename(from.c_str(), to.c_str());
}

uint32_t OsNewFilePermissions()
{
    unsigned long mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "Umask:", 6) == 0)
                mask = std::strtoul(line + 6, nullptr, 8);
        std::fclose(status);
    }
    return uint32_t(0666 & ~mask);
}

int64_t OsLongestName(const std::string& folder)
{
    long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? int64_t(limit) : int64_t(NAME_MAX);
}

int OsClose(int fd)
{
    return close(fd);
}

int32_t OsErrorTerminalColumns()
{
    winsize size = {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        return size.ws_col;
    return 0;
}

bool OsErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void OsOnInterrupt(void (*handler)(int signal))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigfillset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void OsEndProcess(int code)
{
    _exit(code);
}

void* OsOpenPrivateLibrary(const char* library)
{
    // By name first, as the program's RUNPATH and LD_LIBRARY_PATH find it.
    // Under a sanitizer the name is searched from the sanitizer's runtime,
    // which intercepts dlopen, and not from the program, so the RUNPATH is
    // not used: then beside the program by absolute path, where it is
    // installed (bin/../lib/stereoglass) and where it is built
    // (lib/stereoglass).
    if (void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL))
        return handle;
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return nullptr;
    std::string folder(self, size_t(length));
    folder.resize(folder.rfind('/') + 1);
    for (const char* below : {"../lib/stereoglass/", "lib/stereoglass/"}) {
        std::string path = folder + below + library;
        if (access(path.c_str(), R_OK) == 0)
            if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
                return handle;
    }
    return nullptr;
}

void* OsLibrarySymbol(const char* library, const char* symbol, std::string& error)
{
    void* handle = OsOpenPrivateLibrary(library);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : std::string(library) + ": cannot be loaded";
        return nullptr;
    }
    void* address = dlsym(handle, symbol);
    if (!address)
        error = std::string(library) + ": no " + symbol;
    return address;
}
