#include <cstdint>
#include <cstring>

#include "imageio/imageio.h"
#include "platform/text.h"

void fCopyBytes(void* destination, const void* source, size_t count)
{
    if (count)
        std::memmove(destination, source, count);
}

std::u16string fStr2Wide(const std::string& text)
{
    if (text.empty() || text.size() > INT32_MAX)
        return std::u16string();
    int length = static_cast<int>(text.size());
    int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, nullptr, 0);
    if (units <= 0)
        return std::u16string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, wide.data(), units);
    return wide; // c_str() ends with the NUL unit
}

std::string fWide2Str(const WCHAR* text)
{
    int n = lstrlenW(text);
    if (n == 0)
        return std::string();
    std::u16string buffer(static_cast<size_t>(n), u'\0');
    fCopyBytes(buffer.data(), text, 2 * static_cast<size_t>(n));
    int bytes = WideCharToMultiByte(CP_ACP, 0, buffer.data(), n, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, buffer.data(), n, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}
