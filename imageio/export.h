#pragma once
// What libstereoglass exports for other programs, with C linkage: the loader
// (taking the text address of an OLE byte string, which it frees on every
// path), the start-up it runs inside, and the drawing-target operations that
// a caller needs to use the loader's result, and the OLE byte-string calls
// that make and free the loader's file name (defined in platform/ole.cpp).
// Installed as <stereoglass.h>; libstereoglass.so exports exactly these.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A new OLE byte string of length bytes copied from text (zero-filled when
// text is null); null when memory is not to be had. Freed by SysFreeString,
// or by fGDIp_2hBMP when handed to it.
char* SysAllocStringByteLen(const char* text, unsigned int length);
void SysFreeString(char* text);

// For other programs only: fileName must come from SysAllocStringByteLen.
// The program's own code calls the byte-string routine in imageio/imageio.h.
uint32_t fGDIp_2hBMP(const char* fileName, uint32_t target, int32_t fit, int32_t background);

// GDI+ start-up for callers of fGDIp_2hBMP: a token (0 = failed) and its end.
uint32_t sg_GdiplusStartup(void);
void sg_GdiplusShutdown(uint32_t token);

void sg_SelectTarget(uint32_t handle, int32_t controlId, int32_t deferredRefresh);
void sg_GetTargetSize(int32_t* width, int32_t* height);
uint32_t sg_CreateMemoryBitmap(int32_t width, int32_t height);
void sg_EndMemoryBitmap(void);
void sg_ClearTarget(int32_t colour, int32_t fillStyle);
void sg_RefreshTarget(void);
// The target's pixel string (8-byte header, then 4-byte BGR0 pixels, rows
// top-down) copied into buffer when it holds at least the whole string.
// Returns the string's length; 0 without a target.
size_t sg_ReadPixels(void* buffer, size_t size);
// Writes a pixel string of size bytes into the target; it must match the
// target's size.
void sg_WritePixels(const void* pixels, size_t size);

#ifdef __cplusplus
}
#endif
