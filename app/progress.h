#pragma once
// The progress bar of a -c run on standard error: how many pictures are
// done, the one being converted, the time left. Shown only on a terminal,
// and only for more than one picture; lines printed while it shows are
// printed above it, whole.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// One line of the bar, at most width columns: "[####    ]  3/50  pair.jpg  0:42 left".
// secondsLeft < 0: not known yet.
std::string ProgressLine(int32_t done, int32_t total, const std::string& current, int64_t secondsLeft,
                         int32_t width);

// The seconds left when done of total took elapsedSeconds; -1 before the
// first is done.
int64_t SecondsLeft(int32_t done, int32_t total, double elapsedSeconds);

class Progress {
public:
    // shown false: Print only prints, nothing else is drawn.
    Progress(int32_t total, bool shown);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A picture has started; current is its name.
    void Started(const std::string& current);
    // A picture is done (converted or failed).
    void Finished();
    // Prints a whole line (with its newline) to stream, above the bar.
    void Print(FILE* stream, const std::string& line);

private:
    void DrawLocked();
    void ClearLocked();

    std::mutex lock_;
    int32_t total_;
    int32_t done_ = 0;
    bool shown_;
    bool drawn_ = false;
    std::string current_;
    std::chrono::steady_clock::time_point start_;
};

// True when standard error is a terminal and more than one picture is to
// be converted, and the user did not ask for quiet.
bool ProgressWanted(int32_t pictures, bool quiet);
