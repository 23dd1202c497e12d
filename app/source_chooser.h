#pragma once
// The source chooser: the open-file dialog for the stereo picture, and the
// watcher thread that maximises it and takes away its close button.
#include <string>
#include <vector>

#include "host/services.h"
#include "platform/wintypes.h"

// The dialog's caption, and the title by which the watcher finds it.
extern const char kSelectFileTitle[];

// Shows "Select File" in the current directory and returns the chosen full
// path as an ANSI string; "" when the user cancels.
std::string fSelectFile();
// The same dialog with a row of choices under its file list; when a file is
// chosen each choice's `chosen` is what the user picked.
std::string fSelectFile(std::vector<DialogChoice>& choices);

// Watcher thread: every 10 ms looks for a shown top-level window of this
// process titled by the NUL-terminated text at parameter, then clears its
// WS_SYSMENU, maximises it and returns 0. The text must outlive the thread.
DWORD fDialogWatcher(void* parameter);
