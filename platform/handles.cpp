#include "platform/handles.h"

#include <atomic>

// Ids count up from 1 and are never handed out twice. After the last 32-bit
// id the space is spent and 0 (failure) is returned from then on.
HANDLE NewHandleId()
{
    static std::atomic<uint32_t> last{0};
    uint32_t id = last.load(std::memory_order_relaxed);
    do {
        if (id == UINT32_MAX)
            return 0;
    } while (!last.compare_exchange_weak(id, id + 1, std::memory_order_relaxed));
    return id + 1;
}
