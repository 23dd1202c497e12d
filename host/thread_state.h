#pragma once
// Per-thread host state: the thread's graphic target and its COM count.
#include <cstdint>

struct HostThreadState {
    uint32_t target = 0; // handle of the thread's target record, 0 = none
    int32_t comCount = 0;
};

HostThreadState& ThisThreadState();
