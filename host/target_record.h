#pragma once
// The target record behind every drawing target (a memory bitmap or the
// drawing surface of a graphic window), the process-wide registry of records,
// and the two locks that guard them.
#include <atomic>
#include <cstdint>

#include "platform/wintypes.h"

enum class TargetKind { WindowSurface, MemoryBitmap };

struct TargetRecord {
    uint32_t handle = 0; // surface window id, or the GDI bitmap id
    TargetKind kind = TargetKind::MemoryBitmap;
    HWND frame = 0; // window surfaces: the top-level window
    int32_t width = 0;
    int32_t height = 0;
    HDC memoryDC = 0;
    HBITMAP bitmap = 0;
    HGDIOBJ previousBitmap = 0; // selected back when the record goes
    COLORREF foreground = 0;
    COLORREF background = 0;
    HBRUSH backgroundBrush = 0;
    RECT dirty = {-1, -1, 0, 0}; // empty: left = top = 0xFFFFFFFF, right = bottom = 0
    bool deferredRefresh = false;
    bool isDirty = false;
    std::atomic<bool> refreshSoon = false;
    bool batchRefresh = false;
    int32_t refreshCounter = 0;
    // Window surfaces only.
    std::atomic<bool> closed = false;
    std::atomic<bool> hasFocus = false;
    std::atomic<uint32_t> pendingKey = 0;
    // Window surfaces: brings the given area of the bitmap (nullptr = all of
    // it) to the screen. Set by the window side; called under the drawing lock.
    void (*showArea)(TargetRecord& record, const RECT* area) = nullptr;
    // Window surfaces: wakes the window's thread, which refreshes what a
    // drawing left dirty. Called under the drawing lock.
    void (*wake)(TargetRecord& record) = nullptr;
};

// The drawing lock guards every record and its bitmap; waiters yield between
// attempts. The registry lock guards only the list and is taken inside the
// drawing lock or alone.
void LockDrawing();
bool TryLockDrawing();
void UnlockDrawing();
void LockRegistry();
void UnlockRegistry();

// Registry. The registry owns the records it is given (allocated with new);
// one with handle 0 or a handle already registered is freed at once.
void RegisterTarget(TargetRecord* record);
TargetRecord* FindTarget(uint32_t handle);
// A graphic window handle with control id 0 names its drawing surface (the
// port's GetDlgItem); otherwise the record registered under the handle.
TargetRecord* ResolveTarget(uint32_t handle, int32_t controlId);
// Removes the record and frees it with its memory DC (the previous bitmap
// selected back), bitmap and brush; threads whose target it was have none
// after. Called under the drawing lock.
void RemoveTarget(uint32_t handle);

// Refresh of a window surface: show the dirty area (whole: all of the
// bitmap), empty it, clear isDirty, refreshSoon and the counter. Called under
// the drawing lock.
void RefreshRecord(TargetRecord& record, bool whole = false);
// Union of the whole bitmap into dirty, isDirty set, then the refresh policy.
void MarkDrawn(TargetRecord& record);
