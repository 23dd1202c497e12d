#include "tests/e2e/run_command.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/other_user.h"

namespace sgtest {

namespace {

std::string ReadAndRemove(const std::string& path)
{
    std::stringstream text;
    {
        std::ifstream in(path, std::ios::binary);
        text << in.rdbuf();
    }
    unlink(path.c_str());
    return text.str();
}

} // namespace

CommandRun RunCommand(const std::vector<std::string>& argv, const std::string& folder,
                      const std::vector<std::string>& environment, bool asNobody, int timeoutMs,
                      const std::function<void(pid_t)>& whileRunning)
{
    CommandRun run;
    char outName[] = "/tmp/sg-out-XXXXXX";
    char errName[] = "/tmp/sg-err-XXXXXX";
    int out = mkstemp(outName), err = mkstemp(errName);
    bool otherUser = asNobody && CanRunAsOtherUser();
    std::string program = otherUser ? ProgramForOtherUser(argv[0]) : argv[0];
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out, 1);
        dup2(err, 2);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        unsetenv("DISPLAY");
        for (const std::string& change : environment) {
            size_t equals = change.find('=');
            if (equals == std::string::npos)
                unsetenv(change.c_str());
            else
                setenv(change.substr(0, equals).c_str(), change.substr(equals + 1).c_str(), 1);
        }
        if (otherUser && !BecomeOtherUser(program, folder))
            _exit(126);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args[0] = const_cast<char*>(program.c_str());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out);
    close(err);
    if (whileRunning && pid > 0)
        whileRunning(pid);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.out = ReadAndRemove(outName);
    run.err = ReadAndRemove(errName);
    return run;
}

} // namespace sgtest
