// The two locks, the registry of target records and the refresh policy.
#include "host/target_record.h"

#include <thread>
#include <vector>

#include "platform/gdi.h"

namespace {

constexpr int32_t kBatchSize = 250;

std::atomic<int32_t> drawingFlag{0};
std::atomic<int32_t> registryFlag{0};

// Never destroyed: the window thread may still look a record up while the
// process exits.
std::vector<TargetRecord*>& Registry()
{
    static auto* records = new std::vector<TargetRecord*>;
    return *records;
}

// Index of the record registered under handle, or -1. Registry lock held.
int64_t IndexOf(uint32_t handle)
{
    const std::vector<TargetRecord*>& records = Registry();
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i]->handle == handle)
            return static_cast<int64_t>(i);
    return -1;
}

void DestroyRecord(TargetRecord* record)
{
    if (record->memoryDC != 0) {
        if (record->previousBitmap != 0)
            SelectObject(record->memoryDC, record->previousBitmap);
        DeleteDC(record->memoryDC);
    }
    if (record->bitmap != 0)
        DeleteObject(record->bitmap);
    if (record->backgroundBrush != 0)
        DeleteObject(record->backgroundBrush);
    delete record;
}

bool DirtyIsEmpty(const RECT& dirty)
{
    return static_cast<uint32_t>(dirty.left) >= static_cast<uint32_t>(dirty.right) ||
           static_cast<uint32_t>(dirty.top) >= static_cast<uint32_t>(dirty.bottom);
}

} // namespace

void LockDrawing()
{
    while (drawingFlag.exchange(1, std::memory_order_acquire) != 0)
        std::this_thread::yield();
}

bool TryLockDrawing() { return drawingFlag.exchange(1, std::memory_order_acquire) == 0; }

void UnlockDrawing() { drawingFlag.store(0, std::memory_order_release); }

void LockRegistry()
{
    while (registryFlag.exchange(1, std::memory_order_acquire) != 0) {
    }
}

void UnlockRegistry() { registryFlag.store(0, std::memory_order_release); }

void RegisterTarget(TargetRecord* record)
{
    if (!record)
        return;
    LockRegistry();
    bool taken = record->handle == 0 || IndexOf(record->handle) >= 0;
    if (!taken)
        Registry().push_back(record);
    UnlockRegistry();
    if (taken)
        DestroyRecord(record); // the registry owns what it is given
}

TargetRecord* FindTarget(uint32_t handle)
{
    if (handle == 0)
        return nullptr;
    LockRegistry();
    int64_t index = IndexOf(handle);
    TargetRecord* record = index >= 0 ? Registry()[static_cast<size_t>(index)] : nullptr;
    UnlockRegistry();
    return record;
}

TargetRecord* ResolveTarget(uint32_t handle, int32_t controlId)
{
    if (handle == 0)
        return nullptr;
    if (controlId == 0) {
        TargetRecord* surface = nullptr;
        LockRegistry();
        for (TargetRecord* record : Registry())
            if (record->kind == TargetKind::WindowSurface && record->frame == handle) {
                surface = record;
                break;
            }
        UnlockRegistry();
        if (surface)
            return surface;
    }
    return FindTarget(handle);
}

void RemoveTarget(uint32_t handle)
{
    if (handle == 0)
        return;
    LockRegistry();
    int64_t index = IndexOf(handle);
    TargetRecord* record = nullptr;
    if (index >= 0) {
        record = Registry()[static_cast<size_t>(index)];
        Registry().erase(Registry().begin() + index);
    }
    UnlockRegistry();
    if (record)
        DestroyRecord(record);
}

void RefreshRecord(TargetRecord& record, bool whole)
{
    if (record.showArea && (whole || !DirtyIsEmpty(record.dirty)))
        record.showArea(record, whole ? nullptr : &record.dirty);
    record.dirty = RECT{-1, -1, 0, 0};
    record.isDirty = false;
    record.refreshSoon = false;
    record.refreshCounter = 0;
}

void MarkDrawn(TargetRecord& record)
{
    // The union of any dirty area with the whole bitmap is the whole bitmap.
    record.dirty = RECT{0, 0, record.width, record.height};
    record.isDirty = true;
    if (record.deferredRefresh)
        return;
    if (record.batchRefresh) {
        record.refreshCounter++;
        if (record.refreshCounter < kBatchSize && !record.refreshSoon) {
            if (record.wake)
                record.wake(record);
            return;
        }
    }
    RefreshRecord(record);
}
