// The program's side of the desktop library: every desktop call of the
// platform layer, forwarded to libstereoglass-desktop.so, which is loaded on
// the first call. The library is found through the program's RUNPATH (the
// build tree, or lib/stereoglass beside the installed program). When it
// cannot be loaded every call fails as it does without a display.
#include "platform/desktop_module.h"

#include <cstdio>
#include <mutex>

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/message_beep.h"
#include "platform/private_calls.h"
#include "platform/user_windows.h"
#include "platform/x11_window.h"

namespace {

PrivateCalls<DesktopCalls> gDesktop(kDesktopLibraryName, kDesktopCallsSymbol, kDesktopCallsVersion);
std::once_flag gSaidOnce;

// The loaded table; when it cannot be loaded, why is said once on standard
// error, and every call fails as it does without a display.
const DesktopCalls* LoadedDesktop()
{
    const DesktopCalls* calls = gDesktop.Get();
    if (!calls)
        std::call_once(gSaidOnce, [] {
            std::fprintf(stderr, "stereoglass: the desktop library cannot be loaded: %s\n", gDesktop.Error().c_str());
        });
    return calls;
}

} // namespace

// Each forwarder returns what the call returns when it fails.
BOOL GetPrimaryScreenRect(RECT* rect)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->getPrimaryScreenRect(rect) : FALSE;
}

BOOL GetPrimaryOutputRect(RECT* rect)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->getPrimaryOutputRect(rect) : FALSE;
}

BOOL SystemParametersInfoW(UINT action, UINT param, void* data, UINT winIni)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->systemParametersInfoW(action, param, data, winIni) : FALSE;
}

std::u16string ShowOpenFileDialog(const OpenFileDialog& request, int32_t& count, std::vector<int32_t>* chosen)
{
    const DesktopCalls* d = LoadedDesktop();
    if (d)
        return d->showOpenFileDialog(request, count, chosen);
    count = 0;
    return {};
}

int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->messageBoxW(owner, text, caption, type) : 0;
}

void ShowBusyUntil(const std::atomic<bool>& done, int32_t delayMs, const std::u16string& text)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->showBusyUntil(done, delayMs, text);
}

HWND FindWindowA(const char* className, const char* windowName)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->findWindowA(className, windowName) : HWND{};
}

HWND FindOwnWindowA(const char* windowName)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->findOwnWindowA(windowName) : HWND{};
}

LONG GetWindowLongA(HWND window, int index)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->getWindowLongA(window, index) : 0;
}

LONG SetWindowLongA(HWND window, int index, LONG value)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->setWindowLongA(window, index, value) : 0;
}

BOOL ShowWindow(HWND window, int command)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->showWindow(window, command) : FALSE;
}

bool DisplayAvailable()
{
    const DesktopCalls* d = LoadedDesktop();
    return d && d->displayAvailable();
}

BOOL OpenClipboard(HWND owner)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->openClipboard(owner) : FALSE;
}

HANDLE GetClipboardData(UINT format)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->getClipboardData(format) : HANDLE{};
}

BOOL EmptyClipboard()
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->emptyClipboard() : FALSE;
}

BOOL CloseClipboard()
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->closeClipboard() : FALSE;
}

BOOL MessageBeep(UINT type)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->messageBeep(type) : FALSE;
}

XWindowRecord* CreateXWindow(const std::string& captionUtf8, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->createXWindow(captionUtf8, x, y, width, height) : nullptr;
}

// The calls on a window exist only after CreateXWindow loaded the library.
void SetXWindowPixels(XWindowRecord* window, GdiPixels pixels)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->setXWindowPixels(window, pixels);
}

void ShowXWindow(XWindowRecord* window)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->showXWindow(window);
}

bool NextXWindowEvent(XWindowRecord* window, SurfaceEvent& event)
{
    const DesktopCalls* d = LoadedDesktop();
    return d && d->nextXWindowEvent(window, event);
}

void InvalidateXWindow(XWindowRecord* window, const RECT* area)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->invalidateXWindow(window, area);
}

void WakeXWindow(XWindowRecord* window)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->wakeXWindow(window);
}

void WaitForXWindowEvent(XWindowRecord* window, int timeoutMs)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->waitForXWindowEvent(window, timeoutMs);
}

void DestroyXWindow(XWindowRecord* window)
{
    if (const DesktopCalls* d = LoadedDesktop())
        d->destroyXWindow(window);
}

unsigned long XWindowIdOf(const XWindowRecord* window)
{
    const DesktopCalls* d = LoadedDesktop();
    return d ? d->xWindowIdOf(window) : 0;
}
