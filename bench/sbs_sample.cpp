#include "bench/sbs_sample.h"

#include <sys/stat.h>

#include <vector>

#include "imageio/codecs/codec.h"

bool MakeLargeSbsJpeg(const std::string& path)
{
    return MakeSbsJpeg(path, 5656, 2828);
}

bool MakeSbsJpeg(const std::string& path, int32_t width, int32_t height)
{
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0)
        return true;
    Picture small;
    if (DecodePictureFile(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", small) != kCodecOk)
        return false;
    const int32_t half = width / 2, smallHalf = small.width / 2;
    std::vector<uint32_t> big(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * small.height / height);
        for (int32_t x = 0; x < width; ++x) {
            int32_t side = x < half ? 0 : smallHalf;
            int32_t sx = side + static_cast<int32_t>(static_cast<int64_t>(x % half) * smallHalf / half);
            big[static_cast<size_t>(y) * width + x] = small.pixels[static_cast<size_t>(sy) * small.width + sx];
        }
    }
    return EncodePictureFile(path, PictureFormat::Jpeg, big.data(), width, height, false) == kCodecOk;
}
