#pragma once
// KERNEL and COM on this port: POSIX threads, nanosleep, getcwd, errno-style
// last error, the local time, the platform version, per-thread COM counters.
#include <cstddef>

#include "platform/wintypes.h"

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;

// A thread function: one parameter, a 32-bit exit code.
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

// stackSize 0 = the default; creation flags 0 = run at once. 0 on failure.
HANDLE CreateThread(void* attributes, size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD creationFlags, DWORD* threadId);
// Detaches the thread; it goes on running. FALSE for an unknown handle.
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);

DWORD GetCurrentDirectoryW(DWORD size, WCHAR* buffer); // units written, 0 on failure
DWORD GetLastError();
void SetLastError(DWORD error);
UINT SetErrorMode(UINT mode); // nothing to do on this port; keeps the value

struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
// Reports the platform id this port supports (VER_PLATFORM_WIN32_NT).
BOOL GetVersionExA(OSVERSIONINFOA* info);
// Test hook: the platform id that GetVersionExA reports from now on.
void SetReportedPlatformId(DWORD platformId);

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
int32_t ComInitCount(); // this thread's CoInitialize calls not yet undone
