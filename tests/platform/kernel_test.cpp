#include "platform/kernel.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/text.h"

namespace {

struct StackProbe {
    std::atomic<size_t> stackSize = 0;
    std::atomic<bool> ran = false;
};

DWORD MeasureStack(void* parameter)
{
    auto* probe = static_cast<StackProbe*>(parameter);
    pthread_attr_t attributes;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    probe->stackSize = size;
    probe->ran = true;
    return 0;
}

struct Gate {
    std::atomic<bool> open = false;
    std::atomic<bool> finished = false;
};

DWORD WaitAtGate(void* parameter)
{
    auto* gate = static_cast<Gate*>(parameter);
    while (!gate->open)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    gate->finished = true;
    return 7;
}

bool WaitFor(const std::atomic<bool>& flag)
{
    for (int i = 0; i < 5000 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

std::string Cwd()
{
    char path[4096];
    return getcwd(path, sizeof path) ? path : "";
}

} // namespace

TEST(Kernel, CreateThreadRunsWithAtLeastTheAskedStack)
{
    const size_t asked[] = {65536, 0x100000, 3 * 65536 + 100};
    for (size_t size : asked) {
        StackProbe probe;
        HANDLE thread = CreateThread(nullptr, size, MeasureStack, &probe, 0, nullptr);
        ASSERT_NE(thread, 0u) << size;
        ASSERT_TRUE(WaitFor(probe.ran)) << size;
        EXPECT_GE(probe.stackSize.load(), size) << size;
        EXPECT_EQ(CloseHandle(thread), TRUE);
    }
}

TEST(Kernel, CreateThreadRefusesWhatItCannotDo)
{
    Gate gate;
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, &gate, 0, nullptr), 0u);
    EXPECT_NE(GetLastError(), 0u);
    constexpr DWORD CREATE_SUSPENDED = 4;
    EXPECT_EQ(CreateThread(nullptr, 0, WaitAtGate, &gate, CREATE_SUSPENDED, nullptr), 0u);
}

TEST(Kernel, CloseHandleDetachesARunningThreadOnce)
{
    Gate gate;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &threadId);
    ASSERT_NE(thread, 0u);
    EXPECT_NE(threadId, 0u);
    EXPECT_EQ(CloseHandle(thread), TRUE);
    EXPECT_FALSE(gate.finished);
    gate.open = true;
    EXPECT_TRUE(WaitFor(gate.finished)); // closing the handle did not stop it

    SetLastError(0);
    EXPECT_EQ(CloseHandle(thread), FALSE);
    EXPECT_EQ(GetLastError(), 6u); // ERROR_INVALID_HANDLE
    EXPECT_EQ(CloseHandle(0), FALSE);
}

TEST(Kernel, ThreadHandlesAreDistinct)
{
    static Gate gate; // outlives the detached threads
    gate.open = true;
    HANDLE first = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    HANDLE second = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(CloseHandle(first), TRUE);
    EXPECT_EQ(CloseHandle(second), TRUE);
}

TEST(Kernel, LastErrorAndComCountBelongToTheThread)
{
    SetLastError(42);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), 1); // S_FALSE: already initialised
    DWORD otherError = 99;
    int32_t otherCount = 99;
    std::thread other([&] {
        otherError = GetLastError();
        otherCount = ComInitCount();
        SetLastError(5);
        CoInitialize(nullptr);
    });
    other.join();
    EXPECT_EQ(otherError, 0u);
    EXPECT_EQ(otherCount, 0);
    EXPECT_EQ(GetLastError(), 42u);
    EXPECT_EQ(ComInitCount(), 2);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize(); // one too many does not go below zero
    EXPECT_EQ(ComInitCount(), 0);
}

TEST(Kernel, GetCurrentDirectoryWidensAndReportsTheSizeNeeded)
{
    std::string before = Cwd();
    char folderTemplate[] = "/tmp/sg-kernel-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    std::string folder = std::string(folderTemplate) + "/\xC3\xA9t\xC3\xA9";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(chdir(folder.c_str()), 0);

    std::u16string expected = WidenAnsi(folder);
    WCHAR buffer[512] = {};
    EXPECT_EQ(GetCurrentDirectoryW(512, buffer), expected.size());
    EXPECT_EQ(std::u16string(buffer), expected);

    WCHAR small[8] = {u'x'};
    EXPECT_EQ(GetCurrentDirectoryW(8, small), expected.size() + 1); // NUL included
    EXPECT_EQ(small[0], u'x');
    EXPECT_EQ(GetCurrentDirectoryW(static_cast<DWORD>(expected.size()), buffer), expected.size() + 1);

    // A directory that has gone: failure with a last error.
    ASSERT_EQ(rmdir(folder.c_str()), 0);
    SetLastError(0);
    EXPECT_EQ(GetCurrentDirectoryW(512, buffer), 0u);
    EXPECT_NE(GetLastError(), 0u);

    ASSERT_EQ(chdir(before.c_str()), 0);
    rmdir(folderTemplate);
}

TEST(Kernel, VersionReportsNtUnlessTheHookSaysOtherwise)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(info.dwMajorVersion, 5u);

    SetReportedPlatformId(VER_PLATFORM_WIN32_WINDOWS);
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    SetReportedPlatformId(VER_PLATFORM_WIN32_NT);

    info.dwOSVersionInfoSize = 12;
    EXPECT_EQ(GetVersionExA(&info), FALSE);
    EXPECT_EQ(GetVersionExA(nullptr), FALSE);
}

TEST(Kernel, ErrorModeKeepsTheValue)
{
    UINT first = SetErrorMode(0x8001);
    EXPECT_EQ(SetErrorMode(first), 0x8001u);
}

TEST(Kernel, LocalTimeMatchesTheClock)
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    time_t seconds = time(nullptr);
    tm local = {};
    localtime_r(&seconds, &local);
    EXPECT_EQ(now.wYear, local.tm_year + 1900);
    EXPECT_EQ(now.wMonth, local.tm_mon + 1);
    EXPECT_GE(now.wMonth, 1);
    EXPECT_LE(now.wMilliseconds, 999);
    EXPECT_LE(now.wDayOfWeek, 6);
}

TEST(Kernel, SleepWaitsAtLeastTheTime)
{
    auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    Sleep(0); // a yield
}
