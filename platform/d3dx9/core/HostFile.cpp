#include "core/HostFile.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace softd3dx {
namespace {

// Closes a file handle at the end of a scope.
struct FileHandle {
    HANDLE Value = INVALID_HANDLE_VALUE;
    ~FileHandle() {
        if (Value != INVALID_HANDLE_VALUE) CloseHandle(Value);
    }
};

}  // namespace

std::string Utf8FromWide(const wchar_t* path) {
    std::string ls_Path;
    const int lr_Length = static_cast<int>(std::wcslen(path));
    if (lr_Length > 0) {
        const int lr_Bytes = WideCharToMultiByte(CP_UTF8, 0, path, lr_Length, nullptr, 0, nullptr, nullptr);
        if (lr_Bytes > 0) {
            ls_Path.resize(static_cast<size_t>(lr_Bytes));
            WideCharToMultiByte(CP_UTF8, 0, path, lr_Length, &ls_Path[0], lr_Bytes, nullptr, nullptr);
        }
    }
    return ls_Path;
}

std::wstring WidePathFromAnsi(const char* path) {
    std::wstring ls_Path;
    const int lr_Length = static_cast<int>(std::strlen(path));
    if (lr_Length > 0) {
        const int lr_Chars = MultiByteToWideChar(CP_ACP, 0, path, lr_Length, nullptr, 0);
        if (lr_Chars > 0) {
            ls_Path.resize(static_cast<size_t>(lr_Chars));
            MultiByteToWideChar(CP_ACP, 0, path, lr_Length, &ls_Path[0], lr_Chars);
        }
    }
    return ls_Path;
}

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* bytes, long long maxBytes) {
    // CreateFileW opens regular files only, and never waits on a named pipe.
    FileHandle lr_File;
    lr_File.Value = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lr_File.Value == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER lr_Size;
    if (!GetFileSizeEx(lr_File.Value, &lr_Size) || lr_Size.QuadPart < 0 || lr_Size.QuadPart > maxBytes) return false;
    bytes->resize(static_cast<size_t>(lr_Size.QuadPart));
    size_t lr_Done = 0;
    while (lr_Done < bytes->size()) {
        const size_t lr_Chunk = std::min<size_t>(bytes->size() - lr_Done, 1u << 30);
        DWORD lr_Read = 0;
        if (!ReadFile(lr_File.Value, bytes->data() + lr_Done, static_cast<DWORD>(lr_Chunk), &lr_Read, nullptr) ||
            lr_Read == 0)
            return false;
        lr_Done += lr_Read;
    }
    return true;
}

bool RegularFileSize(const wchar_t* path, long long* size) {
    FileHandle lr_File;
    lr_File.Value = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER lr_Size;
    if (lr_File.Value == INVALID_HANDLE_VALUE || !GetFileSizeEx(lr_File.Value, &lr_Size)) return false;
    *size = lr_Size.QuadPart;
    return true;
}

}  // namespace softd3dx
