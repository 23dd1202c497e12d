#pragma once
// Text conversion between the program's byte strings and UTF-16. On this port
// the ANSI code page is UTF-8.
#include <string>
#include <string_view>

#include "platform/wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr DWORD MB_PRECOMPOSED = 1;

// UTF-8 -> UTF-16. Each invalid sequence (overlong form, surrogate, value
// above U+10FFFF, stray or missing continuation byte) becomes one U+FFFD.
std::u16string WidenAnsi(std::string_view text);

// UTF-16 -> UTF-8. An unpaired surrogate becomes the default character '?'.
std::string NarrowWide(std::u16string_view text);

// The Windows calls, for code written against them. A count of -1 means the
// input is NUL-terminated and the NUL is converted too; an output size of 0
// asks for the size needed. They return the number of units written (or
// needed), 0 on failure.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out, int outSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int count, char* out, int outSize,
                        const char* defaultChar, BOOL* usedDefault);

// Units before the first NUL; 0 for a null address.
int lstrlenW(const WCHAR* text);

// Case mapping of UTF-8 text by the current locale's rules: Unicode simple
// lower (upper) case of each character, ASCII as usual. Bytes that are not
// valid UTF-8 are kept as they are; a multibyte sequence is never split.
std::string CharLowerA(std::string_view text);
std::string CharUpperA(std::string_view text);
