#include "app/naming.h"

#include "platform/text.h"

std::string fAnaglyphBase(const std::string& sourcePath)
{
    size_t n = sourcePath.size();
    std::string stem = n >= 4 ? sourcePath.substr(0, n - 4) : sourcePath;
    return stem + "_anaglyph";
}

std::string fNamingPath(const std::string& sourcePath)
{
    size_t slash = sourcePath.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return sourcePath.substr(0, nameStart) + CharLowerA(std::string_view(sourcePath).substr(nameStart));
}
