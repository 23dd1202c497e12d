// The metadata copy on arbitrary bytes as the source, into a small JPEG and
// a small PNG: it must never crash or read out of bounds, a copy that
// succeeds leaves a file of the same format, and any profile it writes is a
// well-formed one. The first byte picks the signature forced onto the rest
// (JPEG, PNG or none), so that the run stays in one reader.
#include <cstring>
#include <string>
#include <vector>

#include "imageio/metadata.h"
#include "imageio/metadata_blocks.h"

namespace {

std::string Encoded(PictureFormat format)
{
    std::vector<uint32_t> pixels(8 * 8);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i * 0x030507);
    std::string out;
    EncodePictureBytes(out, format, pixels.data(), 8, 8, false);
    return out;
}

void CheckProfile(const std::string& output)
{
    const auto* data = reinterpret_cast<const uint8_t*>(output.data());
    std::string profile, problem;
    if (FindJpegIcc(data, output.size(), profile, problem) == IccSearch::Found && !IccProfileProblem(profile).empty())
        __builtin_trap();
    if (FindPngIcc(data, output.size(), profile, problem) == IccSearch::Found && !IccProfileProblem(profile).empty())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string jpeg = Encoded(PictureFormat::Jpeg);
    static const std::string png = Encoded(PictureFormat::Png);
    if (size < 1)
        return 0;
    std::vector<uint8_t> source(data + 1, data + size);
    static const uint8_t kJpeg[] = {0xFF, 0xD8};
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const uint8_t* magic = data[0] % 3 == 0 ? kJpeg : data[0] % 3 == 1 ? kPng : nullptr;
    const size_t magicSize = data[0] % 3 == 0 ? sizeof kJpeg : sizeof kPng;
    if (magic) {
        if (source.size() < magicSize)
            source.resize(magicSize);
        std::memcpy(source.data(), magic, magicSize);
    }
    if (source.empty() || !PictureHasMetadata(source.data(), source.size()))
        return 0;
    for (const auto& [format, encoded] : {std::pair{PictureFormat::Jpeg, jpeg}, std::pair{PictureFormat::Png, png}}) {
        std::string output = encoded, note;
        if (CopyPictureMetadata(source.data(), source.size(), output, format, 8, 8, note)) {
            if (output.compare(0, 4, encoded, 0, 4) != 0)
                __builtin_trap();
            CheckProfile(output);
        }
    }
    return 0;
}
