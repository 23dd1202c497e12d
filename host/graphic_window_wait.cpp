#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "host/graphic_window.h"
#include "host/key_rules.h"
#include "host/target_record.h"
#include "host/thread_state.h"
#include "platform/kernel.h"
#include "platform/message_beep.h"

namespace {

constexpr int32_t kHourMs = 3600000;
// Ten seconds short of the hour, so that a deadline is never mistaken for
// the same time an hour on.
constexpr int32_t kLongestWaitMs = 3590000;

int32_t CappedTimeout(int32_t timeoutMs)
{
    return (timeoutMs < 0 || timeoutMs > kLongestWaitMs) ? kLongestWaitMs : timeoutMs;
}

bool IsAllowed(const std::u16string& allowedKeys, const std::u16string& key)
{
    return allowedKeys.empty() || allowedKeys.find(key) != std::u16string::npos;
}

} // namespace

int32_t TimeInHourMs()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return (now.wMinute * 60000 + now.wSecond * 1000 + now.wMilliseconds) % kHourMs;
}

int32_t KeyWaitDeadline(int32_t nowInHour, int32_t timeoutMs)
{
    if (timeoutMs == 0)
        return 0;
    return (nowInHour + CappedTimeout(timeoutMs)) % kHourMs;
}

// The time left runs down from the timeout to 0; once the deadline is
// passed it jumps to nearly an hour, above any timeout.
bool KeyWaitExpired(int32_t deadline, int32_t nowInHour, int32_t timeoutMs)
{
    if (timeoutMs == 0)
        return false;
    int32_t left = ((deadline - nowInHour) % kHourMs + kHourMs) % kHourMs;
    return left == 0 || left > CappedTimeout(timeoutMs);
}

namespace {

std::mutex g_eventLock;
std::condition_variable g_eventSignal;
uint64_t g_eventCount = 0;

// Milliseconds until the deadline, -1 without one.
int32_t TimeLeftMs(int32_t deadline, int32_t timeoutMs)
{
    if (timeoutMs == 0)
        return -1;
    return ((deadline - TimeInHourMs()) % kHourMs + kHourMs) % kHourMs;
}

} // namespace

uint64_t WindowEventCount()
{
    std::lock_guard<std::mutex> hold(g_eventLock);
    return g_eventCount;
}

void NotifyWindowEvent()
{
    {
        std::lock_guard<std::mutex> hold(g_eventLock);
        ++g_eventCount;
    }
    g_eventSignal.notify_all();
}

void WaitForWindowEvent(uint64_t seen, int32_t timeoutMs)
{
    std::unique_lock<std::mutex> hold(g_eventLock);
    auto moved = [&] { return g_eventCount != seen; };
    if (timeoutMs < 0)
        g_eventSignal.wait(hold, moved);
    else
        g_eventSignal.wait_for(hold, std::chrono::milliseconds(timeoutMs), moved);
}

// The target is looked up by its handle on every pass: the window thread
// removes the record when the user closes the window, and a record that
// has gone means exactly that. Between passes the wait sleeps until a window
// thread reports a key, a close or a window gone, or the deadline comes;
// the count of those events is read before each look, so that none that
// happens during the look is slept through.
std::u16string WaitForKey(const std::u16string& allowedKeys, int32_t timeoutMs)
{
    LockDrawing();
    uint32_t handle = ThisThreadState().target;
    TargetRecord* record = handle ? FindTarget(handle) : nullptr;
    int32_t deadline = KeyWaitDeadline(TimeInHourMs(), timeoutMs);
    std::u16string key;
    while (record && !record->closed) {
        uint64_t seen = WindowEventCount();
        if (record->closed)
            break;
        if (record->isDirty && !record->deferredRefresh)
            RefreshRecord(*record);
        uint32_t slot = record->pendingKey.exchange(0);
        if (slot != 0) {
            std::u16string typed = KeySlotText(slot);
            if (IsAllowed(allowedKeys, typed)) {
                key = typed;
                break;
            }
            MessageBeep(0);
            continue; // another key may have come in meanwhile
        }
        if (KeyWaitExpired(deadline, TimeInHourMs(), timeoutMs))
            break;
        UnlockDrawing();
        WaitForWindowEvent(seen, TimeLeftMs(deadline, timeoutMs));
        LockDrawing();
        record = FindTarget(handle);
    }
    UnlockDrawing();
    return key;
}
