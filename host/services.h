#pragma once
// The host's services besides drawing: the open-file dialog, the message
// box, threads, a pause, the desktop size and the current folder. Texts are
// UTF-16; callers widen and narrow at the call.
#include <cstdint>
#include <string>

#include "platform/dialogs.h"
#include "platform/kernel.h"

// x or y with this value: no position given.
constexpr int32_t kDefaultPosition = INT32_MIN;
// The style of the program's message boxes: MB_OK with no icon,
// MB_TASKMODAL (0x2000) and MB_SETFOREGROUND (0x10000).
constexpr uint32_t kMessageBoxStyle = 0x12000;
// The message box's caption when the caller gives none.
constexpr const char16_t* kDefaultCaption = u"Stereoglass";

// The open-file dialog on the calling thread. The chosen file's full path and
// count 1, or "" and count 0 on cancel. folder "" opens defaultFolder. With x
// and y given the dialog opens there, otherwise centred in the work area; a
// parent window does not change that on this port. The start name is cut to
// its first 259 UTF-16 units. The dialog never changes the current directory.
// With choices, the dialog shows them in a row under its file list; when a
// file is chosen each one's `chosen` becomes what the user picked.
std::u16string ChooseOpenFile(const std::u16string& defaultFolder, uint32_t parent, int32_t x, int32_t y,
                              const std::u16string& title, const std::u16string& folder,
                              const std::u16string& filter, const std::u16string& startName,
                              const std::u16string& defaultExtension, uint32_t flags, int32_t& count,
                              std::vector<DialogChoice>* choices = nullptr);

// Waits 5 ms, then shows an OK-only box and blocks until it is closed.
void ShowMessageBox(const std::u16string& text, uint32_t style, const std::u16string& caption);

// The stack size asked of the platform: 0 stays 0 (its default), others are
// rounded down to a multiple of 64 KiB and are at least 64 KiB.
uint32_t ThreadStackSize(uint32_t stackSize);
// The thread handle, 0 on failure.
uint32_t StartThread(LPTHREAD_START_ROUTINE function, void* parameter, uint32_t stackSize,
                     uint32_t creationFlags);
// -1 when the handle was closed, 0 otherwise. The thread goes on running.
int32_t CloseThreadHandle(uint32_t handle);

// First and last calls of every thread function that runs program code:
// COM and the host's per-thread state.
void EnterThread(void* parameter);
void LeaveThread(void* parameter);

void PauseMs(uint32_t milliseconds);
// The primary screen's size; 0, 0 without a display.
void GetDesktopSize(int32_t& width, int32_t& height);
// The process's current directory without a closing separator; "" on failure.
std::u16string GetCurrentFolder();
