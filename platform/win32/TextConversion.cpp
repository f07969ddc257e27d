// WideCharToMultiByte / MultiByteToWideChar for UTF-8 and the ANSI code page
// (Windows-1252 here). wchar_t is 32-bit on this platform, so one wchar_t is
// one code point; surrogate values are not characters and encode as U+FFFD.
//
// Departure from Windows, on purpose: no best-fit mapping for the ANSI page
// (Windows would turn U+0100 into 'A'); every character outside the table
// becomes the default character, as with WC_NO_BEST_FIT_CHARS.
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

const uint32_t kReplacement = 0xFFFD;

// Bytes 0x80-0x9F of Windows-1252. The five bytes without a character map to
// the C1 control of the same value, as Windows does.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool IsAnsiPage(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == 1252; }

uint32_t Cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

// -1 when the code point has no Windows-1252 byte.
int UnicodeToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

// Decodes one UTF-8 sequence at text[i] (n bytes in all). Invalid input
// yields U+FFFD for its longest valid-looking prefix (one byte at least),
// the replacement practice Windows follows.
uint32_t DecodeUtf8(const unsigned char* text, size_t n, size_t& i, bool& invalid) {
    const unsigned char b0 = text[i];
    invalid = false;
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int lr_Trail;
    uint32_t lr_Cp;
    unsigned char lr_Lo = 0x80, lr_Hi = 0xBF;  // allowed range of the first trail byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        lr_Trail = 1;
        lr_Cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        lr_Trail = 2;
        lr_Cp = b0 & 0x0F;
        if (b0 == 0xE0) lr_Lo = 0xA0;  // overlong
        if (b0 == 0xED) lr_Hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        lr_Trail = 3;
        lr_Cp = b0 & 0x07;
        if (b0 == 0xF0) lr_Lo = 0x90;  // overlong
        if (b0 == 0xF4) lr_Hi = 0x8F;  // above U+10FFFF
    } else {
        ++i;
        invalid = true;
        return kReplacement;
    }
    size_t j = i + 1;
    for (int t = 0; t < lr_Trail; ++t, ++j) {
        const unsigned char lo = (t == 0) ? lr_Lo : 0x80;
        const unsigned char hi = (t == 0) ? lr_Hi : 0xBF;
        if (j >= n || text[j] < lo || text[j] > hi) {
            i = j;  // the well-formed prefix is replaced as one
            invalid = true;
            return kReplacement;
        }
        lr_Cp = (lr_Cp << 6) | (text[j] & 0x3F);
    }
    i = j;
    return lr_Cp;
}

// Appends the UTF-8 form of cp; false when cp is no Unicode scalar value
// (U+FFFD is written instead).
bool EncodeUtf8(uint32_t cp, std::string& out) {
    bool lr_Valid = true;
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        cp = kReplacement;
        lr_Valid = false;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return lr_Valid;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

extern "C" {

DECLSPEC_EXPORT int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                               LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (cbMultiByte > 0 && static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr)))
        return Fail(ERROR_INVALID_PARAMETER);

    size_t lr_Length;
    if (cchWideChar == -1) {
        lr_Length = 0;
        while (lpWideCharStr[lr_Length] != L'\0') ++lr_Length;
        ++lr_Length;  // the terminator is converted and counted
    } else {
        lr_Length = static_cast<size_t>(cchWideChar);
    }

    std::string ls_Out;
    if (CodePage == CP_UTF8) {
        if (lpDefaultChar || lpUsedDefaultChar) return Fail(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) return Fail(ERROR_INVALID_FLAGS);
        for (size_t i = 0; i < lr_Length; ++i) {
            const uint32_t lr_Cp = static_cast<uint32_t>(lpWideCharStr[i]);
            if (!EncodeUtf8(lr_Cp, ls_Out) && (dwFlags & WC_ERR_INVALID_CHARS))
                return Fail(ERROR_NO_UNICODE_TRANSLATION);
        }
    } else if (IsAnsiPage(CodePage)) {
        if (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) return Fail(ERROR_INVALID_FLAGS);
        const char lr_Default = lpDefaultChar ? *lpDefaultChar : '?';
        BOOL lr_UsedDefault = FALSE;
        for (size_t i = 0; i < lr_Length; ++i) {
            const int lr_Byte = UnicodeToCp1252(static_cast<uint32_t>(lpWideCharStr[i]));
            if (lr_Byte < 0) {
                ls_Out += lr_Default;
                lr_UsedDefault = TRUE;
            } else {
                ls_Out += static_cast<char>(lr_Byte);
            }
        }
        if (lpUsedDefaultChar) *lpUsedDefaultChar = lr_UsedDefault;
    } else {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    if (ls_Out.size() > static_cast<size_t>(INT32_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const int lr_Needed = static_cast<int>(ls_Out.size());
    if (cbMultiByte == 0) return lr_Needed;
    if (lr_Needed > cbMultiByte) return Fail(ERROR_INSUFFICIENT_BUFFER);
    ls_Out.copy(lpMultiByteStr, ls_Out.size());
    return lr_Needed;
}

DECLSPEC_EXPORT int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                               LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        (cchWideChar > 0 && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
        return Fail(ERROR_INVALID_PARAMETER);

    size_t lr_Length;
    if (cbMultiByte == -1) {
        lr_Length = 0;
        while (lpMultiByteStr[lr_Length] != '\0') ++lr_Length;
        ++lr_Length;
    } else {
        lr_Length = static_cast<size_t>(cbMultiByte);
    }
    const unsigned char* lr_Bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);

    std::wstring ls_Out;
    if (CodePage == CP_UTF8) {
        if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) return Fail(ERROR_INVALID_FLAGS);
        size_t i = 0;
        while (i < lr_Length) {
            bool lr_Invalid = false;
            const uint32_t lr_Cp = DecodeUtf8(lr_Bytes, lr_Length, i, lr_Invalid);
            if (lr_Invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
            ls_Out += static_cast<wchar_t>(lr_Cp);
        }
    } else if (IsAnsiPage(CodePage)) {
        if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) return Fail(ERROR_INVALID_FLAGS);
        for (size_t i = 0; i < lr_Length; ++i) ls_Out += static_cast<wchar_t>(Cp1252ToUnicode(lr_Bytes[i]));
    } else {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    if (ls_Out.size() > static_cast<size_t>(INT32_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const int lr_Needed = static_cast<int>(ls_Out.size());
    if (cchWideChar == 0) return lr_Needed;
    if (lr_Needed > cchWideChar) return Fail(ERROR_INSUFFICIENT_BUFFER);
    ls_Out.copy(lpWideCharStr, ls_Out.size());
    return lr_Needed;
}
}
