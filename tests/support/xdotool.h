#pragma once
// Finding, focusing and typing into other programs' windows with xdotool.
#include <string>
#include <vector>

namespace sgtest {

// xdotool with the given arguments (shell words); its output, "" on failure.
std::string Xdotool(const std::string& arguments);
// The first shown window titled exactly title, waited for up to 15 s; 0 if
// none came.
unsigned long WaitForTitle(const std::string& title);
// Focuses the window, then takes each step: "key:ctrl+l", "type:text",
// "sleep:200" (milliseconds).
void DriveWindow(unsigned long window, const std::vector<std::string>& steps);
// Presses Esc on whatever has the focus (a message in front of the window
// first) until the window is gone; whether it went.
bool EscapeUntilGone(unsigned long window);
// Drives a dialog with the steps and waits up to 5 s for it to go; when it
// stays, closes it with EscapeUntilGone so that the thread blocked in it goes
// on. Whether the steps alone closed it.
bool AnswerDialog(unsigned long window, const std::vector<std::string>& steps);

} // namespace sgtest
