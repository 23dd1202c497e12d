#include "app/startup.h"

#include <cstdio>

#include "app/main_flow.h"
#include "host/services.h"
#include "platform/display.h"
#include "platform/kernel.h"
#include "platform/memory.h"

namespace {

constexpr int32_t kRefused = 255;

bool PlatformSupported()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

int32_t fStartUp()
{
    return fStartUp(ConversionRequest());
}

int32_t fStartUp(const ConversionRequest& request)
{
    if (!DisplayAvailable()) {
        std::fputs("stereoglass: cannot open display\n", stderr);
        return kRefused;
    }
    if (!PlatformSupported()) {
        ShowMessageBox(u"Win98 No Support", kMessageBoxStyle, u"");
        return kRefused;
    }
    ReuseFreedMemory();
    EnterThread(nullptr); // COM and the host's state for the main thread
    int32_t exitCode = request.sourcePath.empty() ? fMainFlow(request.options) : fConvertAndShow(request);
    LeaveThread(nullptr);
    return exitCode;
}
