// WideCharToMultiByte / MultiByteToWideChar on arbitrary input: the size
// query agrees with the conversion, Windows-1252 round-trips every byte,
// and UTF-8 output always decodes back to what was encoded.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::wstring ToWide(UINT codePage, const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int lr_Size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    Check(lr_Size > 0);
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    Check(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &ls_Out[0], lr_Size) ==
          lr_Size);
    // One element short must be refused.
    if (lr_Size > 1) {
        std::wstring ls_Short(static_cast<size_t>(lr_Size - 1), L'\0');
        Check(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &ls_Short[0],
                                  lr_Size - 1) == 0);
        Check(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    }
    return ls_Out;
}

std::string ToBytes(UINT codePage, const std::wstring& text) {
    if (text.empty()) return std::string();
    const int lr_Size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    Check(lr_Size > 0);
    std::string ls_Out(static_cast<size_t>(lr_Size), '\0');
    Check(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size, nullptr,
                              nullptr) == lr_Size);
    return ls_Out;
}

bool IsScalar(uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string ls_Bytes(reinterpret_cast<const char*>(data), size);

    // Windows-1252: every byte has a character and comes back unchanged.
    Check(ToBytes(CP_ACP, ToWide(CP_ACP, ls_Bytes)) == ls_Bytes);

    // UTF-8 decoding yields scalar values only, and is stable after one pass.
    const std::wstring ls_Decoded = ToWide(CP_UTF8, ls_Bytes);
    for (wchar_t c : ls_Decoded) Check(IsScalar(static_cast<uint32_t>(c)));
    const std::string ls_Encoded = ToBytes(CP_UTF8, ls_Decoded);
    Check(ToWide(CP_UTF8, ls_Encoded) == ls_Decoded);
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, ls_Bytes.data(), static_cast<int>(size), nullptr, 0) > 0)
        Check(ls_Encoded == ls_Bytes);  // valid input round-trips exactly

    // The same bytes read as wide characters: invalid values become U+FFFD.
    std::wstring ls_Wide;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t lr_Value = 0;
        for (int b = 0; b < 4; ++b) lr_Value |= static_cast<uint32_t>(data[i + b]) << (8 * b);
        ls_Wide += static_cast<wchar_t>(lr_Value & 0x7FFFFFFF);
    }
    const std::wstring ls_Back = ToWide(CP_UTF8, ToBytes(CP_UTF8, ls_Wide));
    Check(ls_Back.size() == ls_Wide.size());
    for (size_t i = 0; i < ls_Wide.size(); ++i) {
        const uint32_t lr_Cp = static_cast<uint32_t>(ls_Wide[i]);
        Check(static_cast<uint32_t>(ls_Back[i]) == (IsScalar(lr_Cp) ? lr_Cp : 0xFFFDu));
    }
    return 0;
}
