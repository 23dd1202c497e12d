#pragma once
// Running build/stereoglass as a child process and looking at what it did:
// its exit code, the screen, the clipboard, the files in a folder.
#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace sgtest {

struct Program {
    pid_t pid = 0;
    std::string errors; // file that receives its standard error
};

// Starts the program in folder. asNobody: run it as the user nobody (when
// this process is root), so that a folder's missing write bit counts; it
// runs from a copy that user reaches (tests/support/other_user.h).
// withDisplay false: DISPLAY is removed from its environment. arguments go
// on its command line.
Program StartProgram(const std::string& folder, bool asNobody = false, bool withDisplay = true,
                     const std::vector<std::string>& arguments = {});
// Its exit code, or -1 when it did not end within timeoutMs (it is killed).
int WaitForExit(Program& program, int timeoutMs);
std::string ReadFile(const std::string& path);

// The root window's pixels as 0x00RRGGBB, row by row.
std::vector<uint32_t> Screen(int& width, int& height);

// The names in a folder.
std::set<std::string> FolderNames(const std::string& folder);
std::string MakeFolder(const std::string& name);
// Writes text as the settings file of the configuration folder config
// (config/stereoglass/stereoglass.conf); the file's path.
std::string WriteSettingsFile(const std::string& config, const std::string& text);

// The clipboard's text ("" when empty), and filling it through xclip.
std::string ClipboardText();
void SetClipboardText(const std::string& text);

} // namespace sgtest
