#include "app/naming.h"

#include "platform/text.h"

std::string fAnaglyphBase(const std::string& sourcePath) { return fResultBase(sourcePath, "_anaglyph"); }

std::string fResultBase(const std::string& sourcePath, const std::string& suffix)
{
    // The cut never reaches into the folder part: with four bytes or fewer
    // after the last '/', the last four bytes would take the slash (and the
    // folder's last letters) and put the output in the parent folder.
    size_t slash = sourcePath.rfind('/');
    size_t nameLength = slash == std::string::npos ? sourcePath.size() : sourcePath.size() - slash - 1;
    std::string stem = nameLength > 4 ? sourcePath.substr(0, sourcePath.size() - 4) : sourcePath;
    return stem + suffix;
}

std::string fNamingPath(const std::string& sourcePath)
{
    size_t slash = sourcePath.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return sourcePath.substr(0, nameStart) + CharLowerA(std::string_view(sourcePath).substr(nameStart));
}
