#include "tests/e2e/program.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/command.h"
#include "tests/support/other_user.h"
#include "tests/support/x_display.h"

namespace sgtest {

Program StartProgram(const std::string& folder, bool asNobody, bool withDisplay,
                     const std::vector<std::string>& arguments)
{
    Program program;
    program.errors = folder + "/../stderr-" + std::to_string(std::rand()) + ".txt";
    bool otherUser = asNobody && CanRunAsOtherUser();
    std::string path = otherUser ? ProgramForOtherUser(SG_PROGRAM) : std::string(SG_PROGRAM);
    pid_t pid = fork();
    if (pid == 0) {
        int err = open(program.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0)
            dup2(err, 2);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        if (!withDisplay)
            unsetenv("DISPLAY");
        setenv("HOME", "/tmp", 1);
        if (otherUser && !BecomeOtherUser(path, folder))
            _exit(126);
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    program.pid = pid;
    return program;
}

int WaitForExit(Program& program, int timeoutMs)
{
    if (program.pid <= 0)
        return -1;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    do {
        if (waitpid(program.pid, &status, WNOHANG) == program.pid) {
            program.pid = 0;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    kill(program.pid, SIGKILL);
    waitpid(program.pid, &status, 0);
    program.pid = 0;
    return -1;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<uint32_t> Screen(int& width, int& height)
{
    std::vector<uint32_t> pixels;
    Display* display = TestDisplay();
    if (!display)
        return pixels;
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    width = attributes.width;
    height = attributes.height;
    XImage* image = XGetImage(display, root, 0, 0, width, height, AllPlanes, ZPixmap);
    if (image) {
        pixels.resize(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
        XDestroyImage(image);
    }
    return pixels;
}

std::set<std::string> FolderNames(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

std::string WriteSettingsFile(const std::string& config, const std::string& text)
{
    std::filesystem::create_directories(config + "/stereoglass");
    const std::string path = config + "/stereoglass/stereoglass.conf";
    std::ofstream(path) << text;
    return path;
}

std::string MakeFolder(const std::string& name)
{
    static std::string root;
    if (root.empty()) {
        char pattern[] = "/tmp/sg-e2e-XXXXXX";
        root = mkdtemp(pattern);
        chmod(root.c_str(), 0755);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ignored))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
            std::filesystem::remove_all(root, ignored);
        });
    }
    std::string folder = root + "/" + name;
    std::filesystem::create_directories(folder);
    chmod(folder.c_str(), 0755);
    return folder;
}

std::string ClipboardText()
{
    return CommandOutput("timeout 5 xclip -selection clipboard -o 2>/dev/null");
}

void SetClipboardText(const std::string& text)
{
    FILE* pipe = popen("xclip -selection clipboard -i >/dev/null 2>&1", "w");
    if (!pipe)
        return;
    fwrite(text.data(), 1, text.size(), pipe);
    pclose(pipe);
}

} // namespace sgtest
