#include "imageio/export.h"

#include <cstring>
#include <string>

#include "host/targets.h"
#include "imageio/imageio.h"
#include "platform/ole.h"

uint32_t fGDIp_2hBMP(const char* fileName, uint32_t target, int32_t fit, int32_t background)
{
    // No name at all is no request: nothing is loaded and the clipboard
    // (what "" names) is not touched.
    if (!fileName)
        return 0;
    // The string is ours: take its bytes (by its stored length) and free it.
    auto* text = const_cast<char*>(fileName);
    std::string name(text, SysStringByteLen(text));
    SysFreeString(text);
    return fGDIp_2hBMP(std::move(name), target, fit, background);
}

uint32_t sg_GdiplusStartup(void)
{
    return fGDIp_Startup();
}

void sg_GdiplusShutdown(uint32_t token)
{
    fGDIp_Shutdown(token);
}

void sg_SelectTarget(uint32_t handle, int32_t controlId, int32_t deferredRefresh)
{
    SelectTarget(handle, controlId, deferredRefresh != 0);
}

void sg_GetTargetSize(int32_t* width, int32_t* height)
{
    int32_t w = 0, h = 0;
    GetTargetSize(w, h);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

uint32_t sg_CreateMemoryBitmap(int32_t width, int32_t height)
{
    return CreateMemoryBitmap(width, height);
}

void sg_EndMemoryBitmap(void)
{
    EndMemoryBitmap();
}

void sg_ClearTarget(int32_t colour, int32_t fillStyle)
{
    ClearTarget(colour, fillStyle);
}

void sg_RefreshTarget(void)
{
    RefreshTarget();
}

size_t sg_ReadPixels(void* buffer, size_t size)
{
    std::string pixels = ReadPixels();
    if (buffer && size >= pixels.size())
        std::memcpy(buffer, pixels.data(), pixels.size());
    return pixels.size();
}

void sg_WritePixels(const void* pixels, size_t size)
{
    if (!pixels)
        return;
    WritePixels(std::string(static_cast<const char*>(pixels), size));
}
