#pragma once
// Work cut into parts run at once: the first on the calling thread, each
// other on a thread of its own, all joined before returning. Plain threads
// rather than OpenCV's pool, whose workers spin between jobs and so cost
// processor time the conversion never uses.
#include <thread>
#include <vector>

template <typename Work>
void RunParts(int parts, const Work& work)
{
    std::vector<std::thread> others;
    for (int part = 1; part < parts; ++part)
        others.emplace_back([&work, part] { work(part); });
    if (parts > 0)
        work(0);
    for (std::thread& thread : others)
        thread.join();
}

// Parts worth making for work on this machine: one a core, at most two
// (the two views, or two bands of rows).
inline int PartsForCores()
{
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}
