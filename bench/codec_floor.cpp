// bench_codec_floor [SOURCE OUTPUT]: the least any conversion of a
// side-by-side JPEG can do, as its own process: read the file, one TurboJPEG
// decode, one pass that takes red from the left half and green and blue from
// the right, one encode with the program's JPEG settings (quality 95, 4:4:4),
// one write. Its buffers come from the program's own allocator, so that the
// ratio measures the program, not the allocator.
#include <turbojpeg.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/image.h"

int main(int argc, char** argv)
{
    std::string source = argc > 1 ? argv[1] : "/tmp/stereoglass-bench-16mp.jpg";
    std::string output = argc > 2 ? argv[2] : "/tmp/stereoglass-bench-floor.jpg";
    std::ifstream in(source, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string jpeg = bytes.str();
    auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());

    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    Image full, mixed;
    if (tjDecompressHeader3(decoder, data, jpeg.size(), &width, &height, &subsampling, &colourspace) != 0 ||
        !AllocateImage(full, width, height) || !AllocateImage(mixed, width / 2, height)) {
        std::fprintf(stderr, "cannot read %s\n", source.c_str());
        return 1;
    }
    tjDecompress2(decoder, data, jpeg.size(), reinterpret_cast<unsigned char*>(full.pixels.get()), width, 0, height,
                  TJPF_BGRX, 0);
    int half = width / 2;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = full.pixels.get() + static_cast<size_t>(y) * width;
        uint32_t* out = mixed.pixels.get() + static_cast<size_t>(y) * half;
        for (int x = 0; x < half; ++x)
            out[x] = (row[x] & 0x00FF0000) | (row[half + x] & 0x0000FFFF);
    }
    tjhandle encoder = tjInitCompress();
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, reinterpret_cast<unsigned char*>(mixed.pixels.get()), half, 0, height, TJPF_BGRX, &encoded,
                &size, TJSAMP_444, 95, 0);
    std::ofstream(output, std::ios::binary).write(reinterpret_cast<const char*>(encoded), static_cast<std::streamsize>(size));
    tjFree(encoded);
    tjDestroy(decoder);
    tjDestroy(encoder);
    return 0;
}
