#include "HostFile.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <cwchar>
#include <memory>

namespace softd3dx {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string HostPathFromWide(const wchar_t* path) {
    std::string ls_Path = Utf8FromWide(path);
    for (char& lr_Char : ls_Path)
        if (lr_Char == '\\') lr_Char = '/';
    return ls_Path;
}

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
    const std::string ls_Path = HostPathFromWide(path);
    if (ls_Path.empty()) return false;
    // Opened without blocking and checked before any read: opening a named
    // pipe for reading would otherwise wait for a writer.
    const int lr_Descriptor = ::open(ls_Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (lr_Descriptor < 0) return false;
    struct stat lr_Stat;
    if (::fstat(lr_Descriptor, &lr_Stat) != 0 || !S_ISREG(lr_Stat.st_mode)) {
        ::close(lr_Descriptor);
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> lr_File(::fdopen(lr_Descriptor, "rb"));
    if (!lr_File) {
        ::close(lr_Descriptor);
        return false;
    }
    if (std::fseek(lr_File.get(), 0, SEEK_END) != 0) return false;
    const long lr_Size = std::ftell(lr_File.get());
    if (lr_Size < 0 || lr_Size > maxBytes || std::fseek(lr_File.get(), 0, SEEK_SET) != 0) return false;
    bytes->resize(static_cast<size_t>(lr_Size));
    if (lr_Size > 0 && std::fread(bytes->data(), 1, bytes->size(), lr_File.get()) != bytes->size()) return false;
    return true;
}

}  // namespace softd3dx
