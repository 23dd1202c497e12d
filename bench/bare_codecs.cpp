// The start-up baseline: a bare C++ program linked against the picture
// codecs alone (TurboJPEG, libpng, libtiff, giflib) that, like
// "stereoglass -c MISSING", looks for its file, says it is missing and ends.
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    // One call into each codec library, so that each is loaded and bound.
    tjhandle decoder = tjInitDecompress();
    unsigned long versions = png_access_version_number() + (TIFFGetVersion() != nullptr) +
                             (GifErrorString(D_GIF_SUCCEEDED) != nullptr);
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "bare: \"%s\": No such file or directory\n", std::string(argv[1]).c_str());
        tjDestroy(decoder);
        return versions ? 1 : 3;
    }
    tjDestroy(decoder);
    return 0;
}
