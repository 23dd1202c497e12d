#include "app/progress.h"

#include <algorithm>

#include "platform/os.h"

namespace {

constexpr int32_t kDefaultWidth = 80;
constexpr int32_t kBarWidth = 20;

int32_t TerminalWidth()
{
    int32_t columns = OsErrorTerminalColumns();
    return columns > 0 ? columns : kDefaultWidth;
}

std::string Duration(int64_t seconds)
{
    if (seconds < 0)
        return "--:--";
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

} // namespace

std::string ProgressLine(int32_t done, int32_t total, const std::string& current, int64_t secondsLeft,
                         int32_t width)
{
    int32_t filled = total > 0 ? static_cast<int32_t>(static_cast<int64_t>(kBarWidth) * done / total) : 0;
    std::string count = std::to_string(total);
    std::string doneText = std::to_string(done);
    std::string left = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " +
                       std::string(count.size() - std::min(count.size(), doneText.size()), ' ') + doneText + "/" +
                       count + "  ";
    std::string right = "  " + Duration(secondsLeft) + " left";
    // The name gets what the rest leaves, cut at the front so that its end
    // (the file name) stays; one column is kept free so the cursor never
    // wraps.
    int64_t room = static_cast<int64_t>(width) - 1 - static_cast<int64_t>(left.size() + right.size());
    std::string name = current;
    if (room <= 3)
        name.clear();
    else if (static_cast<int64_t>(name.size()) > room)
        name = "..." + name.substr(name.size() - static_cast<size_t>(room - 3));
    std::string line = left + name + right;
    if (static_cast<int64_t>(line.size()) > static_cast<int64_t>(width) - 1)
        line.resize(width > 1 ? static_cast<size_t>(width - 1) : 0);
    return line;
}

int64_t SecondsLeft(int32_t done, int32_t total, double elapsedSeconds)
{
    if (done <= 0 || total <= done)
        return done <= 0 ? -1 : 0;
    return static_cast<int64_t>(elapsedSeconds / done * (total - done) + 0.5);
}

bool ProgressWanted(int32_t pictures, bool quiet)
{
    return !quiet && pictures > 1 && OsErrorIsTerminal();
}

Progress::Progress(int32_t total, bool shown)
    : total_(total), shown_(shown), start_(std::chrono::steady_clock::now())
{
}

Progress::~Progress()
{
    std::lock_guard<std::mutex> guard(lock_);
    ClearLocked();
}

void Progress::Started(const std::string& current)
{
    std::lock_guard<std::mutex> guard(lock_);
    current_ = current;
    DrawLocked();
}

void Progress::Finished()
{
    std::lock_guard<std::mutex> guard(lock_);
    ++done_;
    DrawLocked();
}

void Progress::Print(FILE* stream, const std::string& line)
{
    std::lock_guard<std::mutex> guard(lock_);
    ClearLocked();
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
    DrawLocked();
}

void Progress::DrawLocked()
{
    if (!shown_)
        return;
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string line = ProgressLine(done_, total_, current_, SecondsLeft(done_, total_, elapsed), TerminalWidth());
    std::fputs(("\r\033[K" + line).c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::ClearLocked()
{
    if (!drawn_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}
