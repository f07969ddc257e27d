#include "TextConversion.h"

#include <windows.h>

#include <climits>

std::string ToAnsi(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int lr_Length = static_cast<int>(text.size());
    // A UTF-8 ANSI page (possible on Windows) refuses a default character.
    const char* lr_Default = "?";
    int lr_Size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), lr_Length, nullptr, 0, lr_Default, nullptr);
    if (lr_Size <= 0) {
        lr_Default = nullptr;
        lr_Size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), lr_Length, nullptr, 0, nullptr, nullptr);
    }
    if (lr_Size <= 0) return std::string();
    std::string ls_Out(static_cast<size_t>(lr_Size), '\0');
    const int lr_Written =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), lr_Length, &ls_Out[0], lr_Size, lr_Default, nullptr);
    ls_Out.resize(lr_Written > 0 ? static_cast<size_t>(lr_Written) : 0);
    return ls_Out;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int lr_Length = static_cast<int>(text.size());
    const int lr_Size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), lr_Length, nullptr, 0);
    if (lr_Size <= 0) return std::wstring();
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    const int lr_Written = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), lr_Length, &ls_Out[0], lr_Size);
    ls_Out.resize(lr_Written > 0 ? static_cast<size_t>(lr_Written) : 0);
    return ls_Out;
}
