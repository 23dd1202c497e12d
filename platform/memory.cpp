#include "platform/memory.h"

#include <malloc.h>

void ReuseFreedMemory()
{
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}
