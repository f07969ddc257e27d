#include "ImageFile.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

namespace softd3dx {
namespace {

// A 16384 x 16384 image of 32-bit pixels plus headers and palette.
constexpr long long k_MaxFileBytes = 16384LL * 16384LL * 4LL + 4096LL;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string HostPathFromWide(const wchar_t* path) {
    std::string ls_Path;
    const int lr_Length = static_cast<int>(std::wcslen(path));
    if (lr_Length > 0) {
        const int lr_Bytes = WideCharToMultiByte(CP_UTF8, 0, path, lr_Length, nullptr, 0, nullptr, nullptr);
        if (lr_Bytes > 0) {
            ls_Path.resize(static_cast<size_t>(lr_Bytes));
            WideCharToMultiByte(CP_UTF8, 0, path, lr_Length, &ls_Path[0], lr_Bytes, nullptr, nullptr);
        }
    }
    for (char& lr_Char : ls_Path)
        if (lr_Char == '\\') lr_Char = '/';
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

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* bytes) {
    const std::string ls_Path = HostPathFromWide(path);
    if (ls_Path.empty()) return false;
    std::unique_ptr<std::FILE, FileCloser> lr_File(std::fopen(ls_Path.c_str(), "rb"));
    if (!lr_File) return false;
    if (std::fseek(lr_File.get(), 0, SEEK_END) != 0) return false;
    const long lr_Size = std::ftell(lr_File.get());
    if (lr_Size < 0 || lr_Size > k_MaxFileBytes || std::fseek(lr_File.get(), 0, SEEK_SET) != 0) return false;
    bytes->resize(static_cast<size_t>(lr_Size));
    if (lr_Size > 0 && std::fread(bytes->data(), 1, bytes->size(), lr_File.get()) != bytes->size()) return false;
    return true;
}

}  // namespace softd3dx
