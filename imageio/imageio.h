#pragma once
// Image I/O: GDI+ start-up and shut-down, text conversion between byte
// strings and UTF-16, loading a picture into a drawing target, probing a
// picture's size, and saving by the file name's extension.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gdiplus.h"

// Start-up with version 1, no debug callback, background thread and external
// codecs allowed, no output record. The token, or 0 when GDI+ did not start.
uint32_t fGDIp_Startup();
// Ends the start named by token; 0 does nothing.
void fGDIp_Shutdown(uint32_t token);

// The ANSI byte string as NUL-terminated UTF-16 (MultiByteToWideChar, CP_ACP,
// MB_PRECOMPOSED); "" gives the empty text.
std::u16string fStr2Wide(const std::string& text);
// NUL-terminated UTF-16 as an ANSI byte string; null and "" give "".
std::string fWide2Str(const WCHAR* text);
// Copies count bytes; the two ranges may overlap.
void fCopyBytes(void* destination, const void* source, size_t count);

// Loads a picture file (or, for "", the clipboard's bitmap) and draws it into
// target: 0 makes a new memory bitmap of the picture's size; otherwise fit 0
// stretches the picture to the target, any other fit keeps its aspect ratio,
// centred, after clearing with background (-2 leaves the target as it is,
// -1 its own background colour). Runs inside its caller's GDI+ start. The
// target drawn into is left selected; 0 when there was no picture or no
// graphics object.
uint32_t fGDIp_2hBMP(std::string fileName, uint32_t target, int32_t fit, int32_t background);

// The destination rectangle of a fitted picture of w x h in a target of
// tw x th: the ratios are held with two decimals.
struct FitRect {
    int32_t x, y, width, height;
};
FitRect fFitRect(int32_t w, int32_t h, int32_t tw, int32_t th);

// "##### x #####": width and height right-aligned in five characters (wider
// for 100000 and more); "    0 x     0" when the picture cannot be read.
std::string fGDIp_ImageSize(std::string fileName);

// Trims blanks off fileName (in the caller's variable) and saves the pixel
// string in the format its extension names.
// Returns what fGDIp_SaveImage returned (0 = written), or -1 when no save
// was attempted (a bad pixel string, no bitmap, no GDI+).
int32_t fGDIp_SaveBitmap(std::string& pixels, std::string& fileName);
// The MIME type that the file name's extension selects for saving: the
// extension list and MIME table of fGDIp_SaveImage; "" when it selects none
// (no dot, an extension not in the list, DIB).
std::string fSaveMimeType(const std::string& fileName);
// -1 for an empty name; 0 when the extension names no format (or DIB);
// otherwise the status of the save (0 = written).
int32_t fGDIp_SaveImage(std::string fileName, GpImage* picture);
// The 1-based position of the first encoder for mimeType, its CLSID copied
// into clsid; 0 when none matches; -1 when the encoder list is empty.
int32_t fGDIp_EncoderClsid(const std::string& mimeType, CLSID& clsid);
