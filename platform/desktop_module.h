#pragma once
// The desktop side of the platform layer (X11 windows, GTK dialogs, the
// screen, the clipboard and the bell) is built as a private shared library,
// libstereoglass-desktop.so, that the program loads only when it first
// needs one of these calls. A run that shows nothing (-c, --thumbnail,
// --help) so never maps GTK or X11. This table is the one entry of that
// library: one row per desktop call, with the signature its header declares.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wintypes.h"

struct OpenFileDialog;
struct SurfaceEvent;
struct XWindowRecord;
struct GdiPixels;

// Raised whenever a row is added, removed or changes its signature: a
// library of another build is refused rather than called wrongly.
constexpr uint32_t kDesktopCallsVersion = 1;

struct DesktopCalls {
    uint32_t version;
    // The screen (platform/desktop.h).
    BOOL (*getPrimaryScreenRect)(RECT* rect);
    BOOL (*getPrimaryOutputRect)(RECT* rect);
    BOOL (*systemParametersInfoW)(UINT action, UINT param, void* data, UINT winIni);
    // The dialogs (platform/dialogs.h).
    std::u16string (*showOpenFileDialog)(const OpenFileDialog& request, int32_t& count, std::vector<int32_t>* chosen);
    int (*messageBoxW)(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);
    void (*showBusyUntil)(const std::atomic<bool>& done, int32_t delayMs, const std::u16string& text);
    // Other windows by title (platform/user_windows.h).
    HWND (*findWindowA)(const char* className, const char* windowName);
    HWND (*findOwnWindowA)(const char* windowName);
    LONG (*getWindowLongA)(HWND window, int index);
    LONG (*setWindowLongA)(HWND window, int index, LONG value);
    BOOL (*showWindow)(HWND window, int command);
    // The display, the clipboard and the bell.
    bool (*displayAvailable)();
    BOOL (*openClipboard)(HWND owner);
    HANDLE (*getClipboardData)(UINT format);
    BOOL (*emptyClipboard)();
    BOOL (*closeClipboard)();
    BOOL (*messageBeep)(UINT type);
    // The graphic window's X window (platform/x11_window.h).
    XWindowRecord* (*createXWindow)(const std::string& captionUtf8, int32_t x, int32_t y, int32_t width,
                                    int32_t height);
    void (*setXWindowPixels)(XWindowRecord* window, GdiPixels pixels);
    void (*showXWindow)(XWindowRecord* window);
    bool (*nextXWindowEvent)(XWindowRecord* window, SurfaceEvent& event);
    void (*invalidateXWindow)(XWindowRecord* window, const RECT* area);
    void (*wakeXWindow)(XWindowRecord* window);
    void (*waitForXWindowEvent)(XWindowRecord* window, int timeoutMs);
    void (*destroyXWindow)(XWindowRecord* window);
    unsigned long (*xWindowIdOf)(const XWindowRecord* window);
};

// The library's file name and its one exported symbol.
constexpr const char* kDesktopLibraryName = "libstereoglass-desktop.so";
constexpr const char* kDesktopCallsSymbol = "sg_desktop_calls";
extern "C" const DesktopCalls* sg_desktop_calls();

