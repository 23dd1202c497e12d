#include "platform/temporary_files.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kFatalSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

// More than the most pictures a run saves at once (64 jobs) and the
// settings file. A file created while every slot is taken is still made,
// only unrecorded.
constexpr int32_t kSlots = 96;

struct Slot {
    std::atomic<bool> taken = false;    // claimed by a creator
    std::atomic<bool> recorded = false; // path holds a file to remove
    char path[PATH_MAX] = {};
};

Slot slots[kSlots];

// The registry is changed only between Enter and Leave, with the fatal
// signals blocked in that thread. A signal handler on another thread first
// sets ending, then waits until no thread is inside; a thread that enters
// after ending is set backs out. Both sides use sequentially consistent
// atomics, so either the handler sees the changer inside and waits, or the
// changer sees ending and changes nothing.
std::atomic<bool> ending = false;
std::atomic<int32_t> inside = 0;

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int32_t>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

class Changing {
public:
    Changing()
    {
        sigset_t fatal;
        sigemptyset(&fatal);
        for (int signal : kFatalSignals)
            sigaddset(&fatal, signal);
        pthread_sigmask(SIG_BLOCK, &fatal, &previous_);
        inside.fetch_add(1);
        allowed_ = !ending.load();
    }
    ~Changing()
    {
        inside.fetch_sub(1);
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    Changing(const Changing&) = delete;
    Changing& operator=(const Changing&) = delete;
    bool Allowed() const { return allowed_; }

private:
    sigset_t previous_;
    bool allowed_ = false;
};

void ForgetLocked(int32_t ticket)
{
    if (ticket < 0 || ticket >= kSlots)
        return;
    slots[ticket].recorded.store(false);
    slots[ticket].taken.store(false);
}

// Async-signal-safe: atomics, nanosleep and unlink only.
void RemoveRecorded()
{
    ending.store(true);
    // A changer holds the registry for a few system calls; a second is far
    // more than it needs.
    for (int waited = 0; inside.load() > 0 && waited < 1000; ++waited) {
        timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
    }
    for (Slot& slot : slots) {
        if (slot.recorded.load())
            unlink(slot.path);
    }
}

void RemoveAndEnd(int signal)
{
    EndBySignal(signal);
}

} // namespace

int CreateTemporaryFile(std::string& pattern, int32_t& ticket)
{
    ticket = -1;
    Changing change;
    if (!change.Allowed()) {
        errno = EINTR;
        return -1;
    }
    int32_t claimed = -1;
    if (pattern.size() < PATH_MAX) {
        for (int32_t i = 0; i < kSlots && claimed < 0; ++i) {
            bool expected = false;
            if (slots[i].taken.compare_exchange_strong(expected, true))
                claimed = i;
        }
    }
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (claimed < 0)
        return fd;
    if (fd < 0) {
        int error = errno;
        ForgetLocked(claimed);
        errno = error;
        return -1;
    }
    std::memcpy(slots[claimed].path, pattern.c_str(), pattern.size() + 1);
    slots[claimed].recorded.store(true);
    ticket = claimed;
    return fd;
}

void ForgetTemporaryFile(int32_t ticket)
{
    Changing change;
    // Once the process is ending the handler owns the registry; it removes
    // a name that is no longer there, which does nothing.
    if (change.Allowed())
        ForgetLocked(ticket);
}

void RemoveTemporaryFile(const std::string& path, int32_t ticket)
{
    unlink(path.c_str());
    ForgetTemporaryFile(ticket);
}

void RemoveTemporariesOnFatalSignals()
{
    for (int signal : kFatalSignals) {
        struct sigaction current = {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = RemoveAndEnd;
        sigfillset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void EndBySignal(int signal)
{
    RemoveRecorded();
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal); // not reached: the default action of these signals ends the process
}
