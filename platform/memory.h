#pragma once
// How the process's allocator treats the large pixel buffers of a run, and
// whether the system has the memory a large picture needs.
#include <cstdint>
#include <string>

// Serves large blocks from the heap and keeps freed memory for reuse
// instead of returning it to the system. A run allocates and frees buffers
// of the same few sizes (the picture, its halves) one after the other, and
// fresh pages from the system cost far more to touch than reused ones.
void ReuseFreedMemory();

// The memory the system can give without swapping (MemAvailable in
// /proc/meminfo), in bytes; -1 when it cannot be read.
int64_t AvailableMemoryBytes();

// True when bytes fit in the available memory (or it cannot be told). When
// not, reason says so in one sentence naming both sizes.
bool MemoryAvailableFor(int64_t bytes, std::string& reason);

// A byte count for people: "812 MB", "3.1 GB".
std::string ByteCountText(int64_t bytes);
