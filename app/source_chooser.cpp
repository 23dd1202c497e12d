#include "app/source_chooser.h"

#include "host/services.h"
#include "platform/text.h"
#include "platform/user_windows.h"

// Static storage: the watcher may read the title for as long as it runs,
// which is past fSelectFile's return when the dialog never appears.
const char kSelectFileTitle[] = "Select File";

namespace {

constexpr uint32_t kWatcherStackSize = 0x100000;
constexpr uint32_t kChooserFlags = 0x800800; // OFN_PATHMUSTEXIST | OFN_ENABLESIZING
constexpr LONG kWithoutSystemMenu = static_cast<LONG>(0xFFF7FFFF);

} // namespace

std::string fSelectFile()
{
    std::vector<DialogChoice> none;
    return fSelectFile(none);
}

std::string fSelectFile(std::vector<DialogChoice>& choices)
{
    std::string initialFolder = NarrowWide(GetCurrentFolder());
    std::string title = kSelectFileTitle;
    std::string filter = std::string("All Files") + '\0' + "*.*" + '\0';
    uint32_t watcher = StartThread(fDialogWatcher, const_cast<char*>(kSelectFileTitle), kWatcherStackSize, 0);
    int32_t count = 0;
    std::u16string chosen = ChooseOpenFile(GetCurrentFolder(), 0, 0, 0, WidenAnsi(title), WidenAnsi(initialFolder),
                                           WidenAnsi(filter), u"", u"", kChooserFlags, count,
                                           choices.empty() ? nullptr : &choices);
    std::string path = NarrowWide(chosen);
    CloseThreadHandle(watcher);
    return path;
}

DWORD fDialogWatcher(void* parameter)
{
    EnterThread(parameter);
    const char* title = static_cast<const char*>(parameter);
    HWND dialog = 0;
    do {
        PauseMs(10);
        dialog = FindOwnWindowA(title);
    } while (dialog == 0);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    SetWindowLongA(dialog, GWL_STYLE, style & kWithoutSystemMenu);
    ShowWindow(dialog, SW_MAXIMIZE);
    LeaveThread(parameter);
    return 0;
}
