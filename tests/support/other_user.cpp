#include "tests/support/other_user.h"

#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>

#include "tests/support/command.h"

namespace sgtest {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// The libraries that ldd resolves below folder, as (name the program asks
// for, file found).
std::map<std::string, std::string> LibrariesBelow(const std::string& program, const std::string& folder)
{
    std::map<std::string, std::string> found;
    std::istringstream lines(CommandOutput("ldd '" + program + "' 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, arrow, path;
        words >> name >> arrow >> path;
        if (arrow == "=>" && path.rfind(folder + "/", 0) == 0)
            found[name] = path;
    }
    return found;
}

bool Reaches(const std::string& path, int mode, const char* what)
{
    if (access(path.c_str(), mode) == 0)
        return true;
    std::fprintf(stderr, "the other user (uid %d) cannot reach %s %s\n", static_cast<int>(kNobody), what,
                 path.c_str());
    return false;
}

} // namespace

bool CanRunAsOtherUser()
{
    return getuid() == 0;
}

std::string ProgramForOtherUser(const std::string& program)
{
    static std::mutex lock;
    static std::map<std::string, std::string> copies;
    std::lock_guard<std::mutex> guard(lock);
    auto known = copies.find(program);
    if (known != copies.end())
        return known->second;

    namespace fs = std::filesystem;
    char pattern[] = "/tmp/sg-other-user-XXXXXX";
    if (!mkdtemp(pattern))
        return "";
    std::string folder = pattern;
    chmod(folder.c_str(), 0755);
    std::error_code error;
    std::string copy = folder + "/" + fs::path(program).filename().string();
    fs::copy_file(program, copy, error);
    bool copied = !error && chmod(copy.c_str(), 0755) == 0;
    std::string home = fs::path(program).parent_path().string();
    for (const auto& [name, path] : LibrariesBelow(program, home)) {
        std::string library = folder + "/" + name;
        fs::copy_file(path, library, error); // the file behind a soname link
        copied = copied && !error && chmod(library.c_str(), 0755) == 0;
    }
    // The program's private libraries, which it loads by name only when it
    // needs a window, a measurement or a source's metadata: ldd does not
    // list them, and the build tree they are found in may be closed to the
    // other user.
    for (const auto& entry : fs::directory_iterator(home + "/lib/stereoglass", error)) {
        if (entry.path().extension() != ".so")
            continue;
        std::string library = folder + "/" + entry.path().filename().string();
        std::error_code copyError;
        fs::copy_file(entry.path(), library, copyError);
        copied = copied && !copyError && chmod(library.c_str(), 0755) == 0;
    }
    std::atexit([] {
        std::error_code ignored;
        for (const auto& entry : copies)
            fs::remove_all(fs::path(entry.second).parent_path(), ignored);
    });
    copies[program] = copied ? copy : "";
    return copies[program];
}

bool BecomeOtherUser(const std::string& programCopy, const std::string& folder)
{
    if (programCopy.empty()) {
        std::fprintf(stderr, "the program could not be copied for the other user\n");
        return false;
    }
    if (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0) {
        std::perror("cannot become the other user");
        return false;
    }
    std::string libraries = std::filesystem::path(programCopy).parent_path().string();
    setenv("LD_LIBRARY_PATH", libraries.c_str(), 1);
    return Reaches(programCopy, X_OK, "the program") && Reaches(folder, X_OK, "the folder");
}

} // namespace sgtest
