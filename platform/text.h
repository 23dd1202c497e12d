#pragma once
// Text conversion between the program's byte strings and UTF-16. On this port
// the ANSI code page is UTF-8.
#include <string>
#include <string_view>

#include "platform/wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr DWORD MB_PRECOMPOSED = 1;

// UTF-8 -> UTF-16. Each byte of an invalid sequence (overlong form,
// surrogate, value above U+10FFFF, stray or missing continuation byte) b
// becomes the lone surrogate U+DC00 + b (U+DC80..U+DCFF), so that a file
// name that is not UTF-8 comes back byte for byte from NarrowWide.
std::u16string WidenAnsi(std::string_view text);

// UTF-16 -> UTF-8. A lone U+DC80..U+DCFF becomes the byte it stands for;
// any other unpaired surrogate becomes the default character '?'.
std::string NarrowWide(std::u16string_view text);

// UTF-16 -> valid UTF-8 for showing: every unpaired surrogate (a byte that
// was not UTF-8 included) is shown as U+FFFD.
std::string DisplayText(std::u16string_view text);
// Byte string (a file name) -> valid UTF-8 for showing, the same way.
std::string DisplayBytes(std::string_view text);

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
