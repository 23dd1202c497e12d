#pragma once
// The command line, parsed in one place: how the program was asked to run,
// the pictures it was given and the conversion's options. The options that
// the settings file also holds are kept as (key, value) settings, checked
// here with ApplySetting and applied after the file's, so the command line
// wins.
#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_file.h"

enum class RunMode {
    Dialog,  // no picture given: choose one in the dialog, convert, show
    Show,    // one picture (or a --left/--right pair): convert and show it
    Convert, // -c: convert every picture given, show nothing, need no display
    Thumbnail, // --thumbnail SIZE IN OUT: a PNG preview for a file manager, no display
    Help,
    Version,
};

struct CommandLine {
    RunMode mode = RunMode::Dialog;
    std::vector<std::string> paths; // pictures and folders, in their order
    std::string leftPath, rightPath; // a pair from two files, or both ""
    std::string outputPath;          // -o: a file for one picture, a folder for several; "" beside the source
    bool recursive = false;          // -r: into the subfolders of a folder given
    bool quiet = false;              // -q: no progress bar, no per-picture lines
    int32_t jobs = 0;                // --jobs: pictures converted at once; 0 = one per core
    int32_t thumbnailSize = 0;       // --thumbnail: the preview's longer side at most; paths are IN, OUT
    Settings settings;               // the conversion's options given, as settings
};

// False on a usage error, with error as the one line to print after
// "stereoglass: " ("--quality takes a number from 1 to 100, got 'x'").
// argv is not changed.
bool ParseCommandLine(int argc, const char* const argv[], CommandLine& commandLine, std::string& error);

// The --help text: usage, every option, examples.
std::string UsageText();
