#include "platform/text.h"

#include <locale.h>
#include <wctype.h>

#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kEscapeBase = 0xDC00; // byte b >= 0x80 travels as U+DC00 + b

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Decodes one character at text[i], advancing i past it. An invalid sequence
// yields kReplacement and advances past its maximal valid prefix (at least one
// byte), so each bad sequence is replaced once. valid is cleared for it.
char32_t DecodeUtf8(std::string_view text, size_t& i, bool& valid)
{
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t lead = byte(i);
    valid = true;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t code = 0;
    uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        ++i;
        valid = false;
        return kReplacement;
    }
    size_t k = i + 1;
    for (int n = 1; n < length; ++n, ++k) {
        uint8_t lo = n == 1 ? low : 0x80;
        uint8_t hi = n == 1 ? high : 0xBF;
        if (k >= text.size() || byte(k) < lo || byte(k) > hi) {
            i = k;
            valid = false;
            return kReplacement;
        }
        code = (code << 6) | (byte(k) & 0x3F);
    }
    i = k;
    return code;
}

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t code)
{
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (code >> 10));
        out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
}

// The locale whose case rules apply: the current one when it is UTF-8 based,
// otherwise C.UTF-8, so that non-ASCII letters are mapped all the same.
locale_t CaseLocale()
{
    static locale_t locale = [] {
        locale_t current = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (current) {
            if (towlower_l(L'\u00C9', current) == L'\u00E9')
                return current;
            freelocale(current);
        }
        return newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    }();
    return locale;
}

template <typename Map>
std::string MapCase(std::string_view text, Map map)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        bool valid = true;
        char32_t code = DecodeUtf8(text, i, valid);
        if (!valid) {
            out.append(text.substr(start, i - start)); // not UTF-8: kept as it is
            continue;
        }
        AppendUtf8(out, map(code));
    }
    return out;
}

} // namespace

std::u16string WidenAnsi(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        bool valid = true;
        char32_t code = DecodeUtf8(text, i, valid);
        if (valid) {
            AppendUtf16(out, code);
            continue;
        }
        // Every byte of an invalid sequence is 0x80 or above; each one is
        // kept as the lone surrogate U+DC80..U+DCFF, which NarrowWide turns
        // back into that byte.
        for (size_t k = start; k < i; ++k)
            out += static_cast<char16_t>(kEscapeBase + static_cast<uint8_t>(text[k]));
    }
    return out;
}

namespace {

// UTF-16 as UTF-8. For a file name (forDisplay false) an escaped byte
// becomes that byte again and any other lone surrogate "?"; for text to
// show, every lone surrogate becomes U+FFFD.
std::string Utf8Of(std::u16string_view text, bool forDisplay)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (forDisplay && (IsHighSurrogate(unit) || IsLowSurrogate(unit))) {
            AppendUtf8(out, kReplacement);
        } else if (IsEscapedByte(unit)) {
            out += static_cast<char>(unit - kEscapeBase);
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out += '?';
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace

std::string NarrowWide(std::u16string_view text) { return Utf8Of(text, false); }

std::string DisplayText(std::u16string_view text) { return Utf8Of(text, true); }

std::string DisplayBytes(std::string_view text)
{
    return DisplayText(WidenAnsi(text));
}

int lstrlenW(const WCHAR* text)
{
    if (!text)
        return 0;
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

int MultiByteToWideChar(UINT, DWORD, const char* text, int count, WCHAR* out, int outSize)
{
    if (!text || count < -1 || outSize < 0)
        return 0;
    size_t length = count == -1 ? std::strlen(text) + 1 : static_cast<size_t>(count);
    std::u16string wide = WidenAnsi(std::string_view(text, length));
    if (outSize == 0)
        return static_cast<int>(wide.size());
    if (!out || wide.size() > static_cast<size_t>(outSize))
        return 0;
    std::memcpy(out, wide.data(), wide.size() * sizeof(WCHAR));
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR* text, int count, char* out, int outSize, const char*,
                        BOOL* usedDefault)
{
    if (!text || count < -1 || outSize < 0)
        return 0;
    size_t length = count == -1 ? static_cast<size_t>(lstrlenW(text)) + 1 : static_cast<size_t>(count);
    std::u16string_view wide(text, length);
    std::string narrow = NarrowWide(wide);
    if (usedDefault) {
        size_t replaced = 0;
        for (char c : narrow)
            replaced += c == '?';
        size_t asked = 0;
        for (char16_t unit : wide)
            asked += unit == u'?';
        *usedDefault = replaced != asked;
    }
    if (outSize == 0)
        return static_cast<int>(narrow.size());
    if (!out || narrow.size() > static_cast<size_t>(outSize))
        return 0;
    std::memcpy(out, narrow.data(), narrow.size());
    return static_cast<int>(narrow.size());
}

std::string CharLowerA(std::string_view text)
{
    locale_t locale = CaseLocale();
    return MapCase(text, [locale](char32_t c) -> char32_t {
        if (c < 0x80)
            return c >= 'A' && c <= 'Z' ? c + 32 : c;
        return locale ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale)) : c;
    });
}

std::string CharUpperA(std::string_view text)
{
    locale_t locale = CaseLocale();
    return MapCase(text, [locale](char32_t c) -> char32_t {
        if (c < 0x80)
            return c >= 'a' && c <= 'z' ? c - 32 : c;
        return locale ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale)) : c;
    });
}
