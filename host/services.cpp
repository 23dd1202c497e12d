#include "host/services.h"

#include <atomic>
#include <vector>

#include "host/thread_state.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"

namespace {

constexpr uint32_t kStackUnit = 65536;
constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
constexpr DWORD MAX_PATH = 260;

// The platform-call lock: thread creation, handle closing and the current
// directory run one at a time, with the system's error boxes kept away.
std::atomic<bool> g_platformCallBusy = false;
UINT g_savedErrorMode = 0; // guarded by g_platformCallBusy

void BeginPlatformCall()
{
    while (g_platformCallBusy.exchange(true, std::memory_order_acquire)) {
    }
    g_savedErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetLastError(0);
}

// The call's last error; the lock is free again afterwards.
DWORD EndPlatformCall()
{
    DWORD error = GetLastError();
    SetErrorMode(g_savedErrorMode);
    g_platformCallBusy.store(false, std::memory_order_release);
    return error;
}

// The directory as GetCurrentDirectoryW gives it; a longer path than the
// usual buffer takes is read again into one that fits.
std::u16string ReadCurrentDirectory()
{
    std::vector<WCHAR> buffer(MAX_PATH, 0);
    DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer.data());
    if (length >= MAX_PATH) {
        buffer.assign(length, 0);
        length = GetCurrentDirectoryW(length, buffer.data());
        if (length >= buffer.size())
            return {};
    }
    return std::u16string(buffer.data(), length);
}

} // namespace

std::u16string ChooseOpenFile(const std::u16string& defaultFolder, uint32_t, int32_t x, int32_t y,
                              const std::u16string& title, const std::u16string& folder,
                              const std::u16string& filter, const std::u16string& startName,
                              const std::u16string& defaultExtension, uint32_t flags, int32_t& count,
                              std::vector<DialogChoice>* choices)
{
    OpenFileDialog request;
    request.title = title;
    request.folder = folder.empty() ? defaultFolder : folder;
    request.filter = filter;
    request.startName = startName;
    request.defaultExtension = defaultExtension;
    request.flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    request.placed = x != kDefaultPosition && y != kDefaultPosition;
    request.x = x;
    request.y = y;
    if (!choices)
        return ShowOpenFileDialog(request, count);
    request.choices = *choices;
    std::vector<int32_t> picked;
    std::u16string path = ShowOpenFileDialog(request, count, &picked);
    for (size_t i = 0; i < picked.size() && i < choices->size(); ++i)
        (*choices)[i].chosen = picked[i];
    return path;
}

void ShowMessageBox(const std::u16string& text, uint32_t style, const std::u16string& caption)
{
    Sleep(5);
    const std::u16string& title = caption.empty() ? std::u16string(kDefaultCaption) : caption;
    MessageBoxW(0, text.c_str(), title.c_str(), style);
}

uint32_t ThreadStackSize(uint32_t stackSize)
{
    if (stackSize == 0)
        return 0;
    uint32_t rounded = stackSize / kStackUnit * kStackUnit;
    return rounded < kStackUnit ? kStackUnit : rounded;
}

uint32_t StartThread(LPTHREAD_START_ROUTINE function, void* parameter, uint32_t stackSize,
                     uint32_t creationFlags)
{
    DWORD threadId = 0;
    BeginPlatformCall();
    HANDLE handle = CreateThread(nullptr, ThreadStackSize(stackSize), function, parameter, creationFlags, &threadId);
    DWORD error = EndPlatformCall();
    return error == 0 ? handle : 0;
}

int32_t CloseThreadHandle(uint32_t handle)
{
    BeginPlatformCall();
    BOOL closed = CloseHandle(handle);
    DWORD error = EndPlatformCall();
    return closed && error == 0 ? -1 : 0;
}

void EnterThread(void*)
{
    CoInitialize(nullptr);
    HostThreadState& state = ThisThreadState();
    state = HostThreadState{};
    state.comCount = ComInitCount();
}

void LeaveThread(void*)
{
    CoUninitialize();
    ThisThreadState() = HostThreadState{};
}

void PauseMs(uint32_t milliseconds)
{
    Sleep(milliseconds);
}

void GetDesktopSize(int32_t& width, int32_t& height)
{
    RECT screen = {};
    if (!GetPrimaryScreenRect(&screen)) {
        width = 0;
        height = 0;
        return;
    }
    width = screen.right;
    height = screen.bottom;
}

std::u16string GetCurrentFolder()
{
    BeginPlatformCall();
    std::u16string folder = ReadCurrentDirectory();
    DWORD error = EndPlatformCall();
    return error == 0 ? folder : std::u16string();
}
