// bench_convert_file [SOURCE OUTPUT_BASE]: converts one side-by-side picture
// to its anaglyph, once, so that /usr/bin/time -v can report the peak
// resident memory of a process doing exactly that. Without arguments it
// converts the 16-megapixel benchmark picture.
// bench_convert_file --make PATH WIDTH HEIGHT makes a side-by-side JPEG of
// that size from the test pair, for the benchmark scripts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_flow.h"
#include "bench/sbs_sample.h"
#include "platform/memory.h"

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--make")
        return MakeSbsJpeg(argv[2], std::atoi(argv[3]), std::atoi(argv[4])) ? 0 : 1;
    ReuseFreedMemory(); // as the program does at start-up
    std::string source = argc > 1 ? argv[1] : "/tmp/stereoglass-bench-16mp.jpg";
    std::string base = argc > 2 ? argv[2] : "/tmp/stereoglass-bench-16mp_anaglyph";
    if (argc == 1 && !MakeLargeSbsJpeg(source)) {
        std::fprintf(stderr, "cannot make %s\n", source.c_str());
        return 1;
    }
    int32_t written = fWriteAnaglyph(source, base);
    std::printf("%s -> %s.jpg: %s\n", source.c_str(), base.c_str(), written == 1 ? "written" : "FAILED");
    return written == 1 ? 0 : 1;
}
