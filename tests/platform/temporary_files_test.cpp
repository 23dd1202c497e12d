// The temporary files of saves under way, in a child process that a signal
// ends: none may stay behind, whatever the moment.
#include "platform/temporary_files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "tests/support/temp_folder.h"

namespace {

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

bool WaitForNames(const std::string& folder, size_t count)
{
    for (int i = 0; i < 500; ++i) {
        if (Names(folder).size() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// How the child ended: the signal that ended it, or -(exit code).
int EndOf(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status);
}

// A child that holds one temporary file in folder and waits for signals.
pid_t HoldOne(const std::string& folder, bool ignoreInterrupt)
{
    pid_t child = fork();
    if (child == 0) {
        if (ignoreInterrupt)
            signal(SIGINT, SIG_IGN);
        RemoveTemporariesOnFatalSignals();
        std::string pattern = folder + "/.pair_anaglyph.jpg.XXXXXX";
        int32_t ticket = -1;
        if (CreateTemporaryFile(pattern, ticket) < 0 || ticket < 0)
            _exit(3);
        for (;;)
            pause();
    }
    return child;
}

// Saves as the codecs do them, on two threads, over and over: create the
// temporary, write, rename it over the target.
[[noreturn]] void SaveForever(const std::string& folder)
{
    RemoveTemporariesOnFatalSignals();
    auto save = [folder](int worker) {
        std::string data(16384, 'x');
        for (;;) {
            std::string pattern = folder + "/.out" + std::to_string(worker) + ".XXXXXX";
            int32_t ticket = -1;
            int fd = CreateTemporaryFile(pattern, ticket);
            if (fd < 0)
                continue;
            bool written = write(fd, data.data(), data.size()) == ssize_t(data.size());
            close(fd);
            std::string target = folder + "/out" + std::to_string(worker);
            if (written && rename(pattern.c_str(), target.c_str()) == 0)
                ForgetTemporaryFile(ticket);
            else
                RemoveTemporaryFile(pattern, ticket);
        }
    };
    std::thread other(save, 1);
    save(0);
    _exit(0);
}

} // namespace

TEST(TemporaryFiles, AFatalSignalRemovesThemAndStillEndsTheProcess)
{
    struct Case {
        const char* name;
        bool ignoreInterrupt;     // the program was started with SIGINT ignored (nohup, a background job)
        std::vector<int> signals; // sent in turn
        int endedBy;
    };
    const Case cases[] = {
        {"Ctrl-C", false, {SIGINT}, SIGINT},
        {"SIGTERM", false, {SIGTERM}, SIGTERM},
        {"closed terminal", false, {SIGHUP}, SIGHUP},
        {"closed pipe (-c | head)", false, {SIGPIPE}, SIGPIPE},
        {"ignored Ctrl-C, then SIGTERM", true, {SIGINT, SIGTERM}, SIGTERM},
    };
    for (const Case& c : cases) {
        sgtest::TempFolder folder("sg-temporaries");
        pid_t child = HoldOne(folder.path, c.ignoreInterrupt);
        ASSERT_TRUE(WaitForNames(folder.path, 1)) << c.name;
        for (int signal : c.signals) {
            kill(child, signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(EndOf(child), c.endedBy) << c.name;
        EXPECT_EQ(Names(folder.path), std::set<std::string>()) << c.name;
    }
}

// A signal at any moment of a save: before the temporary exists, while it is
// written, around the rename. Only whole targets may remain.
TEST(TemporaryFiles, NoneStaysWhenTheSignalComesInTheMiddleOfSaves)
{
    for (int round = 0; round < 30; ++round) {
        sgtest::TempFolder folder("sg-temporaries");
        pid_t child = fork();
        if (child == 0)
            SaveForever(folder.path);
        ASSERT_TRUE(WaitForNames(folder.path, 2));
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + 397 * round));
        kill(child, round % 2 ? SIGINT : SIGTERM);
        EXPECT_EQ(EndOf(child), round % 2 ? SIGINT : SIGTERM);
        for (const std::string& name : Names(folder.path))
            EXPECT_EQ(name.rfind("out", 0), 0u) << "left behind: " << name;
    }
}
