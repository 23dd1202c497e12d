#pragma once
// OLE byte strings: the text address of a block whose 32-bit byte length lies
// just before the text, with a NUL after it. Exported with C linkage so that
// another program can make and free the strings that it hands over.
#include "platform/wintypes.h"

using BSTR = char*;

extern "C" {
// A new string of length bytes copied from text (zero-filled when text is
// null); nullptr when memory is not to be had.
BSTR SysAllocStringByteLen(const char* text, UINT length);
// Frees a string made by SysAllocStringByteLen; nullptr is ignored.
void SysFreeString(BSTR text);
// The byte length stored before the text; 0 for nullptr.
UINT SysStringByteLen(BSTR text);
}
