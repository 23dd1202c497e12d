#include "imageio/imageio.h"

#include "imageio/gdiplus_codecs.h"

uint32_t fGDIp_Startup()
{
    GdiplusStartupInput input; // version 1, no callback, nothing suppressed
    uint32_t token = 0;
    UseCodecsForGdiplus();
    if (GdiplusStartup(&token, &input, nullptr) != Ok)
        return 0;
    return token;
}

void fGDIp_Shutdown(uint32_t token)
{
    if (token != 0)
        GdiplusShutdown(token);
}
