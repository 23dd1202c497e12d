#pragma once
// What a step between the stereo source and the output says about itself
// before any pixel exists: the largest views it can hand on and the memory
// it takes beyond the views it is given.
#include <cstdint>

struct ViewStepPlan {
    int32_t width = 0;       // the views it hands on are at most this wide
    int32_t height = 0;      // and this high
    int64_t memoryBytes = 0; // what it allocates, at most; -1 when the size is refused
};
