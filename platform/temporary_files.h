#pragma once
// Temporary files that an interrupted run must not leave behind: the hidden
// file a save writes before renaming it over its target. Each one is
// recorded while it exists, and a fatal signal (Ctrl-C, SIGTERM, a closed
// terminal or pipe) removes every recorded file before the process ends.
#include <cstdint>
#include <string>

// Creates a new file from pattern, whose name ends in "XXXXXX" (filled in),
// open for writing, like mkostemp with O_CLOEXEC, and records it. Returns
// its descriptor and sets ticket, or -1 with errno (EINTR when the process
// is already ending by a signal). A signal can come at no moment at which
// the file exists unrecorded.
int CreateTemporaryFile(std::string& pattern, int32_t& ticket);

// The file is gone from under its temporary name (renamed over its target,
// or removed): no longer recorded.
void ForgetTemporaryFile(int32_t ticket);

// Removes the file and forgets it.
void RemoveTemporaryFile(const std::string& path, int32_t ticket);

// Makes SIGHUP, SIGINT, SIGQUIT, SIGTERM and SIGPIPE remove every recorded
// file and then end the process as they would have (an ignored signal stays
// ignored).
void RemoveTemporariesOnFatalSignals();

// For a signal handler of its own: removes every recorded file, then ends
// the process by signal with its default action. Async-signal-safe.
[[noreturn]] void EndBySignal(int signal);
