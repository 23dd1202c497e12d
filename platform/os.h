#pragma once
// The operating system's calls made above the platform layer: files by
// descriptor and by name, free space, the terminal, signals, private libraries
// and the end of the process. Plain functions with explicit sizes; a call
// that fails returns -1 (or false) and leaves the system's error number in
// errno (<cerrno>), so that the caller can still say what failed and why.
// Another system replaces this file's .cpp, not its callers.
#include <cstdint>
#include <string>

enum class OsFileKind { Regular, Folder, Link, Other };

struct OsFileInfo {
    OsFileKind kind = OsFileKind::Other;
    int64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    // The last change of the file's bytes, in nanoseconds since the epoch.
    int64_t modifiedNs = 0;
    uint32_t permissions = 0; // the mode's permission bits (07777)
    uint32_t owner = 0;
    uint32_t group = 0;
    uint64_t links = 0;
};

// What the name (OsStat, following links; OsLinkStat, the name itself) or
// the open file says of itself: 0, or -1 with errno.
int OsStat(const std::string& path, OsFileInfo& info);
int OsLinkStat(const std::string& path, OsFileInfo& info);
int OsFileStat(int fd, OsFileInfo& info);

// Whether the name exists (for OsCanWrite: and this user may write to it).
bool OsExists(const std::string& path);
bool OsCanWrite(const std::string& path);

// The space left on the file system that holds path for this user, and
// whether its table of files is full: 0, or -1 with errno.
int OsFreeSpace(const std::string& path, int64_t& freeBytes, bool& noFreeFiles);

// Opens a file for reading without blocking on a FIFO or device and without
// becoming its controlling terminal: the descriptor, or -1 with errno.
int OsOpenForReading(const std::string& path);
// Up to size bytes from offset into out, retrying interrupted reads: the
// count read (less at the end of the file), or -1 with errno.
int64_t OsReadAt(int fd, void* out, int64_t size, int64_t offset);
// The offset of the first byte at or after offset that is not in a hole;
// -1 with errno (ENXIO: only a hole up to the end).
int64_t OsNextData(int fd, int64_t offset);
// Opens an existing file for writing without following a symbolic link,
// blocking or becoming its controlling terminal: the descriptor, or -1 with
// errno.
int OsOpenExistingForWriting(const std::string& path);
// Writes all size bytes, retrying interrupted writes: 0, or -1 with errno.
int OsWriteAll(int fd, const void* data, int64_t size);
// Gives the open file the permission bits: 0, or -1 with errno.
int OsSetPermissions(int fd, uint32_t permissions);
// Gives the open file an owner and group; cuts or extends it to size bytes;
// makes its bytes durable: each 0, or -1 with errno.
int OsSetOwner(int fd, uint32_t owner, uint32_t group);
int OsTruncate(int fd, int64_t size);
int OsSync(int fd);
// The file at the end of path's chain of symbolic links, as an absolute
// name: 0, or -1 with errno. OsLinkTarget: what the link itself names ("").
int OsResolvePath(const std::string& path, std::string& resolved);
std::string OsLinkTarget(const std::string& path);
// Renames from over to (atomically replacing it): 0, or -1 with errno.
int OsRename(const std::string& from, const std::string& to);
// Closes fd: 0, or -1 with errno.
int OsClose(int fd);

// The permission bits a newly created file gets: 0666 less the umask, read
// without changing it (umask() would race with other threads).
uint32_t OsNewFilePermissions();
// The longest name of one entry in folder ("" for the current one).
int64_t OsLongestName(const std::string& folder);

// The terminal's width in columns when standard error is one, else 0.
int32_t OsErrorTerminalColumns();
bool OsErrorIsTerminal();

// Runs handler on SIGINT and SIGTERM, with every signal blocked meanwhile.
void OsOnInterrupt(void (*handler)(int signal));

// Ends the process at once with code, running no static destructors.
[[noreturn]] void OsEndProcess(int code);

// Loads one of the program's private libraries by file name: as the
// program's RUNPATH or LD_LIBRARY_PATH find it, else from beside the
// program (installed or built); null with the reason in dlerror().
void* OsOpenPrivateLibrary(const char* library);
// Loads the shared library (as OsOpenPrivateLibrary does, once; later calls
// find it loaded) and returns the address of its symbol; nullptr when either
// cannot be had, with the loader's reason in error.
void* OsLibrarySymbol(const char* library, const char* symbol, std::string& error);
