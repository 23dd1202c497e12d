#include "platform/ole.h"

#include <cstdlib>
#include <cstring>

namespace {

// Room for the length before the text and a two-byte NUL after it.
constexpr size_t kPrefix = sizeof(UINT);
constexpr size_t kSuffix = 2;

} // namespace

BSTR SysAllocStringByteLen(const char* text, UINT length)
{
    if (size_t{length} > SIZE_MAX - kPrefix - kSuffix)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(kPrefix + length + kSuffix));
    if (!block)
        return nullptr;
    std::memcpy(block, &length, kPrefix);
    char* start = block + kPrefix;
    if (text)
        std::memcpy(start, text, length);
    else
        std::memset(start, 0, length);
    std::memset(start + length, 0, kSuffix);
    return start;
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(text - kPrefix);
}

UINT SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    UINT length = 0;
    std::memcpy(&length, text - kPrefix, kPrefix);
    return length;
}
