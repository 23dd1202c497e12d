#include <cstddef>
#include <cstdint>

int FuzzPicture(const uint8_t* data, size_t size, const char* magic, size_t magicSize, const char* otherMagic);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPicture(data, size, "II*\0", 4, "MM\0*");
}
