#include "host/graphic_window.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "host/graphic_window_surface.h"
#include "host/key_rules.h"
#include "host/target_record.h"
#include "host/targets.h"
#include "host/thread_state.h"
#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/kernel.h"
#include "platform/text.h"
#include "platform/x11_window.h"

namespace {

// One graphic window, owned by its window thread.
struct GraphicWindow {
    HWND frame = 0;
    uint32_t surface = 0;
    TargetRecord* record = nullptr; // owned by the registry; removed only by the window thread
    XWindowRecord* window = nullptr;
    // Asked by other threads, done by the window thread on its next pass.
    std::atomic<bool> showAsked = false;
    std::atomic<bool> closeAsked = false;
};

// What the caller hands to the window thread, and the handle it gets back.
// Owned by both threads (a shared_ptr each), so that the window thread may
// still notify it after the caller has gone on.
struct WindowStart {
    std::string caption;
    int32_t x, y, width, height, options;
    HWND frame = 0;
    std::atomic<bool> reported = false;
};

// Open windows, for the surfaces' showArea. Guarded by the drawing lock;
// never freed, so that it outlives the window threads at exit.
std::vector<GraphicWindow*>& OpenWindows()
{
    static auto* windows = new std::vector<GraphicWindow*>;
    return *windows;
}

std::atomic<int32_t> g_windowThreads = 0;
std::atomic<bool> g_stopping = false;

// Called under the drawing lock, on whichever thread refreshes.
void ShowSurfaceArea(TargetRecord& record, const RECT* area)
{
    for (GraphicWindow* open : OpenWindows()) {
        if (open->surface == record.handle)
            InvalidateXWindow(open->window, area);
    }
}

// Called under the drawing lock, by the thread that drew.
void WakeSurfaceWindow(TargetRecord& record)
{
    for (GraphicWindow* open : OpenWindows()) {
        if (open->surface == record.handle)
            WakeXWindow(open->window);
    }
}

void AddOpenWindow(GraphicWindow* window)
{
    LockDrawing();
    RegisterTarget(window->record);
    OpenWindows().push_back(window);
    UnlockDrawing();
}

// Takes the window's records away before its X window goes, so that no
// thread can draw into or wait on them any more.
void RemoveOpenWindow(GraphicWindow* window)
{
    LockDrawing();
    auto& windows = OpenWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    RemoveTarget(window->surface); // frees the record with its bitmap, DC and brush
    window->record = nullptr;
    UnlockDrawing();
}

GraphicWindow* OpenGraphicWindow(const WindowStart& start)
{
    XWindowRecord* x11 = CreateXWindow(start.caption, start.x, start.y, start.width, start.height);
    if (!x11)
        return nullptr;
    TargetRecord* record = NewSurfaceRecord(start.width, start.height);
    auto* window = record ? new (std::nothrow) GraphicWindow : nullptr;
    if (!window) {
        if (record)
            FreeSurfaceObjects(*record);
        delete record;
        DestroyXWindow(x11);
        return nullptr;
    }
    record->frame = NewHandleId();
    record->showArea = ShowSurfaceArea;
    record->wake = WakeSurfaceWindow;
    SetXWindowPixels(x11, GdiBitmapPixels(record->bitmap));
    window->frame = record->frame;
    window->surface = record->handle;
    window->record = record;
    window->window = x11;
    AddOpenWindow(window);
    return window;
}

// The window's new client size takes a new bitmap. Unlike painting this
// waits for the drawing lock: the bitmap must not change under a drawing.
void ResizeWindow(GraphicWindow& window, int32_t width, int32_t height)
{
    LockDrawing();
    if (ResizeSurface(*window.record, width, height))
        SetXWindowPixels(window.window, GdiBitmapPixels(window.record->bitmap));
    UnlockDrawing();
}

void StoreKey(TargetRecord& record, uint32_t slot)
{
    if (slot == 0)
        return;
    record.pendingKey.store(slot);
    NotifyWindowEvent();
}

// false when the window is to close.
bool HandleKey(GraphicWindow& window, const SurfaceEvent& event)
{
    KeyStroke key;
    key.scanCode = event.scanCode;
    key.extended = event.extended;
    key.systemKey = event.systemKey;
    key.numLock = event.numLock;
    key.shift = event.shift;
    if (IsCloseKey(key))
        return false;
    StoreKey(*window.record, KeyDownSlot(key));
    for (int32_t i = 0; i < event.textLength; ++i)
        StoreKey(*window.record, CharSlot(event.text[i], event.systemKey));
    return true;
}

bool HandleEvent(GraphicWindow& window, const SurfaceEvent& event)
{
    switch (event.type) {
    case SurfaceEventType::Key:
        return HandleKey(window, event);
    case SurfaceEventType::GainedFocus:
    case SurfaceEventType::LostFocus:
        window.record->hasFocus = event.type == SurfaceEventType::GainedFocus;
        return true;
    case SurfaceEventType::Resize:
        ResizeWindow(window, event.width, event.height);
        return true;
    case SurfaceEventType::Close:
        return false;
    }
    return true;
}

// The window thread never waits for the drawing lock here: when it is busy,
// the drawing thread's next operation refreshes instead. False when the lock
// was busy, so that the thread looks again shortly in case no operation
// follows.
bool RefreshIfDue(TargetRecord& record)
{
    if (!TryLockDrawing()) {
        record.refreshSoon = true;
        return false;
    }
    if (record.isDirty && !record.deferredRefresh)
        RefreshRecord(record);
    UnlockDrawing();
    return true;
}

// How long the thread sleeps when the drawing lock was busy at its last look.
constexpr int kBusyLockRetryMs = 2;

// One pass per event, wake-up or paint: the thread sleeps in
// WaitForXWindowEvent until the server sends an event, a drawing leaves the
// surface dirty, a refresh asks for paint, or the process ends.
void RunWindow(GraphicWindow& window)
{
    bool lockWasFree = true;
    while (!g_stopping && !window.closeAsked.load()) {
        if (window.showAsked.exchange(false))
            ShowXWindow(window.window);
        SurfaceEvent event;
        if (NextXWindowEvent(window.window, event)) {
            if (!HandleEvent(window, event))
                break;
        } else {
            WaitForXWindowEvent(window.window, lockWasFree ? -1 : kBusyLockRetryMs);
        }
        lockWasFree = RefreshIfDue(*window.record);
    }
    window.record->closed = true;
    NotifyWindowEvent();
}

DWORD WindowThread(void* parameter)
{
    std::shared_ptr<WindowStart> start = std::move(*static_cast<std::shared_ptr<WindowStart>*>(parameter));
    delete static_cast<std::shared_ptr<WindowStart>*>(parameter);
    GraphicWindow* window = OpenGraphicWindow(*start);
    if (window && (start->options & kShowGraphicWindow))
        ShowXWindow(window->window);
    start->frame = window ? window->frame : 0;
    start->reported.store(true);
    start->reported.notify_all();
    start.reset();
    if (window) {
        RunWindow(*window);
        RemoveOpenWindow(window);
        NotifyWindowEvent();
        DestroyXWindow(window->window);
        delete window;
    }
    g_windowThreads.fetch_sub(1);
    return 0;
}

// At process exit the window threads close their windows before the
// process's objects go away under them.
void StopWindowThreads()
{
    g_stopping = true;
    LockDrawing();
    for (GraphicWindow* open : OpenWindows())
        WakeXWindow(open->window);
    UnlockDrawing();
    for (int i = 0; i < 2000 && g_windowThreads.load() > 0; ++i)
        Sleep(1);
}

// Sets the flag of the open window with that frame and wakes its thread;
// false when there is none.
bool AskWindow(HWND frame, std::atomic<bool> GraphicWindow::*flag)
{
    LockDrawing();
    GraphicWindow* found = nullptr;
    for (GraphicWindow* open : OpenWindows()) {
        if (open->frame == frame)
            found = open;
    }
    if (found) {
        (found->*flag).store(true);
        WakeXWindow(found->window);
    }
    UnlockDrawing();
    return found != nullptr;
}

bool HasTarget()
{
    LockDrawing();
    uint32_t target = ThisThreadState().target;
    bool found = target != 0 && FindTarget(target) != nullptr;
    UnlockDrawing();
    return found;
}

} // namespace

HWND CreateGraphicWindow(const std::u16string& caption, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t options)
{
    static std::once_flag exitHook;
    std::call_once(exitHook, [] { std::atexit(StopWindowThreads); });
    auto start = std::make_shared<WindowStart>();
    start->caption = NarrowWide(caption);
    start->x = x;
    start->y = y;
    start->width = width;
    start->height = height;
    start->options = options;
    auto* handedOver = new (std::nothrow) std::shared_ptr<WindowStart>(start);
    if (!handedOver)
        return 0;
    g_windowThreads.fetch_add(1);
    HANDLE thread = CreateThread(nullptr, 0, WindowThread, handedOver, 0, nullptr);
    if (!thread) {
        delete handedOver;
        g_windowThreads.fetch_sub(1);
        return 0;
    }
    CloseHandle(thread); // the thread runs on, detached, until its window closes
    start->reported.wait(false);
    if (start->frame != 0 && !HasTarget())
        SelectTarget(start->frame, 0, false);
    return start->frame;
}

bool ShowGraphicWindow(HWND frame)
{
    return AskWindow(frame, &GraphicWindow::showAsked);
}

bool CloseGraphicWindow(HWND frame)
{
    return AskWindow(frame, &GraphicWindow::closeAsked);
}
