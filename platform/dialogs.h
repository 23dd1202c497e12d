#pragma once
// The common dialogs on GTK 3: the open-file dialog (the port's
// GetOpenFileNameW) and the message box. Both run on the main thread, which
// is the one thread that talks to GTK, and block it until they are closed.
// Without a display, or called from another thread, they show nothing and
// fail: an empty path, a result of 0.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wintypes.h"

constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_NOCHANGEDIR = 0x8;
constexpr DWORD OFN_ENABLEHOOK = 0x20;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
constexpr DWORD OFN_EXPLORER = 0x80000;
constexpr DWORD OFN_ENABLESIZING = 0x800000;

// The start file name is cut to this many UTF-16 units.
constexpr size_t kMaxStartNameUnits = 259;

// One choice in a row under the open-file dialog's file list: a labelled
// drop-down of options, or a check box when there are no options (chosen 0
// unticked, 1 ticked). The label may mark its access key with '_'.
struct DialogChoice {
    std::string label;
    std::vector<std::string> options;
    int32_t chosen = 0; // what the dialog shows first
};

struct OpenFileDialog {
    std::u16string title;  // empty: "Open"
    std::u16string folder; // where it opens; empty: the current directory
    // Pairs of description and patterns ("All Files", "*.*"), each ended by
    // a NUL; patterns separated by ';', compared without regard to case.
    std::u16string filter;
    std::u16string startName;        // put in the name field
    std::u16string defaultExtension; // added to a chosen name that has none
    DWORD flags = 0;
    // Where the dialog's top-left corner goes; without a position it is
    // centred in the work area.
    bool placed = false;
    int32_t x = 0;
    int32_t y = 0;
    // A row of choices under the file list; none: no row.
    std::vector<DialogChoice> choices;
};

// The chosen file's full path, count 1; or an empty path and count 0 when
// the user cancels, presses Esc or closes the dialog. The flags keep their
// meaning: OFN_PATHMUSTEXIST (a typed path's folder must exist),
// OFN_FILEMUSTEXIST (so must the file), OFN_NOCHANGEDIR (the current
// directory is the same afterwards; without it, it becomes the chosen file's
// folder). Only one file can be chosen. When a file is chosen and chosen is
// given, it receives the index picked in each of the request's choices.
std::u16string ShowOpenFileDialog(const OpenFileDialog& request, int32_t& count,
                                  std::vector<int32_t>* chosen = nullptr);

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr int IDOK = 1;

// An OK-only box without icon, kept above other windows, titled caption
// ("Stereoglass" when null or empty), showing text as it is. The owner and
// the style do not change it. IDOK once closed; 0 when nothing could be shown.
int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);

// Blocks the main thread until done is set by the thread doing the work.
// When that takes longer than delayMs, a small window titled and showing
// text (with the busy cursor) stays until done; it cannot be closed.
// Without a display, or off the main thread, it only waits.
void ShowBusyUntil(const std::atomic<bool>& done, int32_t delayMs, const std::u16string& text);
