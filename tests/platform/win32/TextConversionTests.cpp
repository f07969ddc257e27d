#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring FromBytes(UINT codePage, const std::string& bytes, DWORD flags = 0) {
    const int lr_Size = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (lr_Size <= 0) return L"<failed>";
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    EXPECT_EQ(lr_Size,
              MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &ls_Out[0], lr_Size));
    return ls_Out;
}

std::string ToBytes(UINT codePage, const std::wstring& text, LPCSTR defaultChar = nullptr,
                    BOOL* usedDefault = nullptr) {
    const int lr_Size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                            defaultChar, usedDefault);
    if (lr_Size <= 0) return "<failed>";
    std::string ls_Out(static_cast<size_t>(lr_Size), '\0');
    EXPECT_EQ(lr_Size, WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size,
                                           defaultChar, usedDefault));
    return ls_Out;
}

// UTF-8 ----------------------------------------------------------------

TEST(Utf8, EncodesEveryLength) {
    EXPECT_EQ("A", ToBytes(CP_UTF8, L"A"));
    EXPECT_EQ("\xC3\xA9", ToBytes(CP_UTF8, L"\u00E9"));
    EXPECT_EQ("\xE2\x82\xAC", ToBytes(CP_UTF8, L"\u20AC"));
    EXPECT_EQ("\xE6\x97\xA5", ToBytes(CP_UTF8, L"\u65E5"));
    EXPECT_EQ("\xF0\x9F\x98\x80", ToBytes(CP_UTF8, L"\U0001F600"));
    EXPECT_EQ("\xF4\x8F\xBF\xBF", ToBytes(CP_UTF8, std::wstring(1, static_cast<wchar_t>(0x10FFFF))));
}

TEST(Utf8, DecodesEveryLength) {
    EXPECT_EQ(L"A\u00E9\u20AC\u65E5\U0001F600",
              FromBytes(CP_UTF8, "A\xC3\xA9\xE2\x82\xAC\xE6\x97\xA5\xF0\x9F\x98\x80"));
}

TEST(Utf8, SurrogatesAndOutOfRangeValuesEncodeAsReplacement) {
    const std::wstring ls_Bad = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDFFF),
                                 static_cast<wchar_t>(0x110000), L'b'};
    EXPECT_EQ(
        "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
        "b",
        ToBytes(CP_UTF8, ls_Bad));

    char lr_Buffer[16];
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, ls_Bad.data(), static_cast<int>(ls_Bad.size()),
                                     lr_Buffer, sizeof(lr_Buffer), nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}

TEST(Utf8, InvalidInputDecodesAsReplacement) {
    const std::wstring R(1, L'\uFFFD');
    EXPECT_EQ(R + L"x", FromBytes(CP_UTF8, "\x80x"));                  // lone trail byte
    EXPECT_EQ(R + L"x", FromBytes(CP_UTF8, "\xC3x"));                  // cut short
    EXPECT_EQ(R + L"x", FromBytes(CP_UTF8, "\xE2\x82x"));              // well-formed prefix replaced as one
    EXPECT_EQ(R + R + L"x", FromBytes(CP_UTF8, "\xC0\xAFx"));          // overlong
    EXPECT_EQ(R + R + R, FromBytes(CP_UTF8, "\xED\xA0\x80"));          // encoded surrogate
    EXPECT_EQ(R + R + R + R, FromBytes(CP_UTF8, "\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_EQ(R, FromBytes(CP_UTF8, "\xFF"));
    EXPECT_EQ(L"a" + R, FromBytes(CP_UTF8, "a\xF0\x9F\x98"));  // truncated at the end
}

TEST(Utf8, StrictDecodingFailsOnInvalidInput) {
    wchar_t lr_Buffer[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, lr_Buffer, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    EXPECT_EQ(2, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\xA9z", 3, lr_Buffer, 8));
}

TEST(Utf8, DefaultCharacterArgumentsAreRefused) {
    const wchar_t* ls_Text = L"abc";
    char lr_Buffer[8];
    BOOL lr_Used = FALSE;
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, ls_Text, 3, lr_Buffer, 8, "?", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, ls_Text, 3, lr_Buffer, 8, nullptr, &lr_Used));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// Sizes and terminators ----------------------------------------------------

TEST(Sizes, MinusOneCountsTheTerminator) {
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0));
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, L"abc", -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(3, WideCharToMultiByte(CP_ACP, 0, L"\u00E9\u20AC", -1, nullptr, 0, nullptr, nullptr));
    // U+00E9 takes two UTF-8 bytes.
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, L"x\u00E9", -1, nullptr, 0, nullptr, nullptr));

    wchar_t lr_Wide[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, lr_Wide, 4));
    EXPECT_EQ(std::wstring(L"abc"), std::wstring(lr_Wide));
    EXPECT_EQ(L'\0', lr_Wide[3]);

    char lr_Narrow[5] = {'#', '#', '#', '#', '#'};
    EXPECT_EQ(3, WideCharToMultiByte(CP_THREAD_ACP, 0, L"\u00E9\u20AC", -1, lr_Narrow, 5, nullptr, nullptr));
    EXPECT_EQ(std::string("\xE9\x80"), std::string(lr_Narrow));
    EXPECT_EQ('#', lr_Narrow[3]) << "nothing written past the result";
}

TEST(Sizes, ExplicitLengthIncludesEmbeddedNulAndNoTerminatorIsAdded) {
    wchar_t lr_Wide[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "a\0b", 3, lr_Wide, 4));
    EXPECT_EQ(L'a', lr_Wide[0]);
    EXPECT_EQ(L'\0', lr_Wide[1]);
    EXPECT_EQ(L'b', lr_Wide[2]);
    EXPECT_EQ(L'#', lr_Wide[3]);
}

TEST(Sizes, TooSmallBufferFails) {
    wchar_t lr_Wide[3];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, lr_Wide, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    char lr_Narrow[2];
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"\u20AC", 1, lr_Narrow, 2, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, L"abc", 3, lr_Narrow, 2, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(Sizes, BadArgumentsAreRefused) {
    wchar_t lr_Wide[4];
    char lr_Narrow[4];
    const struct {
        int Result;
        const char* What;
    } lr_Cases[] = {
        {MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, lr_Wide, 4), "null input"},
        {MultiByteToWideChar(CP_UTF8, 0, "abc", 0, lr_Wide, 4), "empty input"},
        {MultiByteToWideChar(CP_UTF8, 0, "abc", -2, lr_Wide, 4), "negative length"},
        {MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 4), "null output with a size"},
        {MultiByteToWideChar(CP_UTF8, 0, "abc", 3, lr_Wide, -1), "negative output size"},
        {MultiByteToWideChar(437, 0, "abc", 3, lr_Wide, 4), "unsupported code page"},
        {WideCharToMultiByte(CP_ACP, 0, nullptr, 3, lr_Narrow, 4, nullptr, nullptr), "null wide input"},
        {WideCharToMultiByte(CP_ACP, 0, L"abc", 0, lr_Narrow, 4, nullptr, nullptr), "empty wide input"},
        {WideCharToMultiByte(CP_ACP, 0, L"abc", 3, nullptr, 4, nullptr, nullptr), "null narrow output"},
        {WideCharToMultiByte(CP_OEMCP, 0, L"abc", 3, lr_Narrow, 4, nullptr, nullptr), "unsupported code page"},
    };
    for (const auto& lr_Case : lr_Cases) EXPECT_EQ(0, lr_Case.Result) << lr_Case.What;

    SetLastError(0);
    MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, lr_Wide, 4);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, MB_PRECOMPOSED, L"a", 1, lr_Narrow, 4, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
}

// Windows-1252 -------------------------------------------------------------

TEST(Ansi, DecodesMicrosoftsTable) {
    // Spot values from the published cp1252 table, including the five bytes
    // that name no character and come back as C1 controls.
    const struct {
        unsigned char Byte;
        wchar_t Expected;
    } lr_Cases[] = {{0x41, L'A'},      {0x80, L'\u20AC'}, {0x81, L'\u0081'}, {0x82, L'\u201A'}, {0x83, L'\u0192'},
                    {0x8A, L'\u0160'}, {0x8C, L'\u0152'}, {0x8D, L'\u008D'}, {0x8E, L'\u017D'}, {0x8F, L'\u008F'},
                    {0x90, L'\u0090'}, {0x91, L'\u2018'}, {0x96, L'\u2013'}, {0x99, L'\u2122'}, {0x9C, L'\u0153'},
                    {0x9D, L'\u009D'}, {0x9F, L'\u0178'}, {0xA0, L'\u00A0'}, {0xE9, L'\u00E9'}, {0xFF, L'\u00FF'}};
    for (const auto& lr_Case : lr_Cases) {
        const std::string ls_Byte(1, static_cast<char>(lr_Case.Byte));
        EXPECT_EQ(std::wstring(1, lr_Case.Expected), FromBytes(CP_ACP, ls_Byte)) << int(lr_Case.Byte);
        EXPECT_EQ(std::wstring(1, lr_Case.Expected), FromBytes(CP_THREAD_ACP, ls_Byte)) << int(lr_Case.Byte);
    }
}

TEST(Ansi, EveryByteRoundTrips) {
    std::string ls_All;
    for (int i = 1; i < 256; ++i) ls_All += static_cast<char>(i);
    const std::wstring ls_Wide = FromBytes(CP_THREAD_ACP, ls_All);
    ASSERT_EQ(255u, ls_Wide.size());
    BOOL lr_Used = TRUE;
    EXPECT_EQ(ls_All, ToBytes(CP_THREAD_ACP, ls_Wide, nullptr, &lr_Used));
    EXPECT_EQ(FALSE, lr_Used);
}

TEST(Ansi, UnmappableCharactersTakeTheDefault) {
    BOOL lr_Used = FALSE;
    EXPECT_EQ("a?b?c?", ToBytes(CP_ACP, L"a\u0100b\u65E5c\u0080", nullptr, &lr_Used));
    EXPECT_EQ(TRUE, lr_Used);
    EXPECT_EQ("a#b", ToBytes(CP_ACP, L"a\U0001F600b", "#", &lr_Used));
    EXPECT_EQ(TRUE, lr_Used);
    EXPECT_EQ("\x80\x9F", ToBytes(CP_ACP, L"\u20AC\u0178", "#", &lr_Used));
    EXPECT_EQ(FALSE, lr_Used);
    const std::wstring ls_Surrogate(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ("?", ToBytes(CP_ACP, ls_Surrogate));
}

}  // namespace
