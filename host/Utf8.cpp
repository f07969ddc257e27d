#include "Utf8.h"

#include <windows.h>

std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int lr_Size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (lr_Size <= 0) return std::wstring();
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size);
    return ls_Out;
}

std::string NarrowUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int lr_Size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (lr_Size <= 0) return std::string();
    std::string ls_Out(static_cast<size_t>(lr_Size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size, nullptr, nullptr);
    return ls_Out;
}
