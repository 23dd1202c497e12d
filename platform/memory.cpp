#include "platform/memory.h"

#include <malloc.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

void ReuseFreedMemory()
{
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

int64_t AvailableMemoryBytes()
{
    FILE* info = std::fopen("/proc/meminfo", "re");
    if (!info)
        return -1;
    int64_t kilobytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, info)) {
        if (std::strncmp(line, "MemAvailable:", 13) == 0) {
            if (std::sscanf(line + 13, "%" SCNd64, &kilobytes) != 1)
                kilobytes = -1;
            break;
        }
    }
    std::fclose(info);
    return kilobytes < 0 || kilobytes > INT64_MAX / 1024 ? -1 : kilobytes * 1024;
}

std::string ByteCountText(int64_t bytes)
{
    constexpr double kMega = 1024.0 * 1024.0;
    char text[32];
    if (bytes >= int64_t{1} << 30)
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (kMega * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.0f MB", std::max(1.0, static_cast<double>(bytes) / kMega));
    return text;
}

bool MemoryAvailableFor(int64_t bytes, std::string& reason)
{
    reason.clear();
    int64_t available = AvailableMemoryBytes();
    if (available < 0 || bytes <= available)
        return true;
    reason = "It needs about " + ByteCountText(bytes) + " of memory, but only " + ByteCountText(available) +
             " is available.";
    return false;
}
