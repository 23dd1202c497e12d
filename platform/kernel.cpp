#include "platform/kernel.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "platform/handles.h"
#include "platform/text.h"

namespace {

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD CREATE_SUSPENDED = 0x4;

thread_local DWORD t_lastError = 0;
thread_local int32_t t_comCount = 0;
std::atomic<UINT> g_errorMode = 0;
std::atomic<DWORD> g_platformId = VER_PLATFORM_WIN32_NT;

// Running threads by handle; CloseHandle takes a thread out and detaches it.
std::mutex g_threadsLock;
std::unordered_map<HANDLE, pthread_t> g_threads;

struct ThreadStart {
    LPTHREAD_START_ROUTINE start;
    void* parameter;
};

void* RunThread(void* raw)
{
    ThreadStart begin = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    DWORD code = begin.start(begin.parameter);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(code));
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

// pthreads wants at least PTHREAD_STACK_MIN, in whole pages.
size_t UsableStackSize(size_t asked)
{
    size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
    size_t size = asked < minimum ? minimum : asked;
    long page = sysconf(_SC_PAGESIZE);
    size_t pageSize = page > 0 ? static_cast<size_t>(page) : 4096;
    if (size % pageSize != 0) {
        size_t rest = pageSize - size % pageSize;
        if (size > SIZE_MAX - rest)
            return 0;
        size += rest;
    }
    return size;
}

bool StartPosixThread(pthread_t& thread, size_t stackSize, ThreadStart* begin)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    int result = 0;
    if (stackSize != 0) {
        size_t size = UsableStackSize(stackSize);
        result = size == 0 ? EINVAL : pthread_attr_setstacksize(&attributes, size);
    }
    if (result == 0)
        result = pthread_create(&thread, &attributes, RunThread, begin);
    pthread_attr_destroy(&attributes);
    if (result != 0)
        SetLastError(ErrorFromErrno(result));
    return result == 0;
}

} // namespace

HANDLE CreateThread(void*, size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter, DWORD creationFlags,
                    DWORD* threadId)
{
    if (!start || (creationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto* begin = new (std::nothrow) ThreadStart{start, parameter};
    if (!begin) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    HANDLE handle = NewHandleId();
    // Registered before the thread starts, so that the new thread may close
    // its own handle at once.
    std::lock_guard<std::mutex> hold(g_threadsLock);
    pthread_t thread;
    if (!StartPosixThread(thread, stackSize, begin)) {
        delete begin;
        return 0;
    }
    g_threads[handle] = thread;
    if (threadId)
        *threadId = handle;
    return handle;
}

BOOL CloseHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(g_threadsLock);
    auto found = g_threads.find(handle);
    if (found == g_threads.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pthread_detach(found->second);
    g_threads.erase(found);
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    timespec wait = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

DWORD GetCurrentDirectoryW(DWORD size, WCHAR* buffer)
{
    std::string path(256, '\0');
    while (!getcwd(path.data(), path.size())) {
        if (errno != ERANGE || path.size() > (1u << 24)) {
            SetLastError(ErrorFromErrno(errno));
            return 0;
        }
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    std::u16string wide = WidenAnsi(path);
    // Too small a buffer: the size needed, NUL included, and nothing written.
    if (!buffer || wide.size() >= size) {
        if (wide.size() + 1 > UINT32_MAX)
            return 0;
        return static_cast<DWORD>(wide.size() + 1);
    }
    std::memcpy(buffer, wide.data(), wide.size() * sizeof(WCHAR));
    buffer[wide.size()] = 0;
    return static_cast<DWORD>(wide.size());
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD error)
{
    t_lastError = error;
}

UINT SetErrorMode(UINT mode)
{
    return g_errorMode.exchange(mode);
}

void GetLocalTime(SYSTEMTIME* time)
{
    if (!time)
        return;
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local = {};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, sizeof(OSVERSIONINFOA) - sizeof(DWORD));
    info->dwMajorVersion = 10;
    info->dwMinorVersion = 0;
    info->dwPlatformId = g_platformId.load();
    return TRUE;
}

void SetReportedPlatformId(DWORD platformId)
{
    g_platformId.store(platformId);
}

HRESULT CoInitialize(void*)
{
    ++t_comCount;
    // S_FALSE: already initialised on this thread.
    return t_comCount == 1 ? S_OK : 1;
}

void CoUninitialize()
{
    if (t_comCount > 0)
        --t_comCount;
}

int32_t ComInitCount()
{
    return t_comCount;
}
