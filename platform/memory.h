#pragma once
// How the process's allocator treats the large pixel buffers of a run.

// Serves large blocks from the heap and keeps freed memory for reuse
// instead of returning it to the system. A run allocates and frees buffers
// of the same few sizes (the picture, its halves) one after the other, and
// fresh pages from the system cost far more to touch than reused ones.
void ReuseFreedMemory();
