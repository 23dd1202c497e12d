#include "tests/support/xdotool.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/command.h"
#include "tests/support/x_windows.h"
#include "tests/support/xserver.h"

namespace sgtest {
namespace {

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace

std::string Xdotool(const std::string& arguments)
{
    return CommandOutput("xdotool " + arguments + " 2>/dev/null");
}

unsigned long WaitForTitle(const std::string& title)
{
    unsigned long found = 0;
    WaitUntil(
        [&] {
            NudgeWindowManager();
            std::string ids = Xdotool("search --onlyvisible --name " + Quoted("^" + title + "$"));
            found = ids.empty() ? 0 : std::strtoul(ids.c_str(), nullptr, 10);
            return found != 0;
        },
        15000);
    return found;
}

void DriveWindow(unsigned long window, const std::vector<std::string>& steps)
{
    std::string id = std::to_string(window);
    Xdotool("windowactivate --sync " + id);
    Xdotool("windowfocus --sync " + id);
    for (const std::string& step : steps) {
        if (step.rfind("key:", 0) == 0)
            Xdotool("key --clearmodifiers " + Quoted(step.substr(4)));
        else if (step.rfind("type:", 0) == 0)
            Xdotool("type --clearmodifiers --delay 20 " + Quoted(step.substr(5)));
        else if (step.rfind("sleep:", 0) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(step.c_str() + 6)));
    }
}

bool EscapeUntilGone(unsigned long window)
{
    // Not activated first: a modal message in front would keep the window
    // from ever becoming active.
    for (int i = 0; i < 5 && WindowShown(window); ++i) {
        Xdotool("key --clearmodifiers Escape");
        if (WaitUntil([&] { return !WindowShown(window); }, 500))
            break;
        // A message closed: the next Esc goes to the window once it has the
        // focus back.
        std::string id = std::to_string(window);
        WaitUntil([&] { return !WindowShown(window) || Xdotool("getactivewindow") == id; }, 2000);
    }
    return !WindowShown(window);
}

bool AnswerDialog(unsigned long window, const std::vector<std::string>& steps)
{
    DriveWindow(window, steps);
    if (WaitUntil([&] { return !WindowShown(window); }, 5000))
        return true;
    EscapeUntilGone(window);
    return false;
}

} // namespace sgtest
