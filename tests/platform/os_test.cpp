// The OS module: file facts and reads with their error numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/image.h"
#include "platform/os.h"
#include "tests/support/temp_folder.h"

using namespace sgtest;

TEST(Os, FileFactsReadsAndTheirErrors)
{
    TempFolder folder("sg-os");
    const std::string file = folder.path + "/bytes";
    std::ofstream(file, std::ios::binary) << "0123456789";

    OsFileInfo info;
    ASSERT_EQ(OsStat(file, info), 0);
    EXPECT_EQ(info.kind, OsFileKind::Regular);
    EXPECT_EQ(info.size, 10);
    ASSERT_EQ(OsStat(folder.path, info), 0);
    EXPECT_EQ(info.kind, OsFileKind::Folder);
    errno = 0;
    EXPECT_EQ(OsStat(folder.path + "/missing", info), -1);
    EXPECT_EQ(errno, ENOENT);

    int fd = OsOpenForReading(file);
    ASSERT_GE(fd, 0);
    char bytes[16] = {};
    // A read past the end stops at the end; one at the end reads nothing.
    EXPECT_EQ(OsReadAt(fd, bytes, sizeof bytes, 4), 6);
    EXPECT_EQ(std::string(bytes, 6), "456789");
    EXPECT_EQ(OsReadAt(fd, bytes, 4, 10), 0);
    EXPECT_EQ(OsReadAt(fd, bytes, -1, 0), -1);
    EXPECT_EQ(OsClose(fd), 0);
    errno = 0;
    EXPECT_EQ(OsOpenForReading(folder.path + "/missing"), -1);
    EXPECT_EQ(errno, ENOENT);
}
