// kernel32's file calls over the host's file system. The one place where a
// Windows path becomes a host path.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// UTF-8, '\' read as '/'; false for a path that cannot name a host file.
bool HostPath(LPCWSTR path, std::string& out) {
    out.clear();
    if (!path || !*path) return false;
    const size_t lr_Length = std::wcslen(path);
    if (lr_Length > static_cast<size_t>(INT_MAX)) return false;
    const int lr_Bytes =
        WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(lr_Length), nullptr, 0, nullptr, nullptr);
    if (lr_Bytes <= 0) return false;
    out.resize(static_cast<size_t>(lr_Bytes));
    if (WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(lr_Length), &out[0], lr_Bytes, nullptr, nullptr) !=
        lr_Bytes)
        return false;
    for (char& lr_Char : out)
        if (lr_Char == '\\') lr_Char = '/';
    return true;
}

DWORD ErrorOf(int error) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ENXIO:  // a named pipe without a reader
        return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
    }
}

// ENOENT names a missing file when its folder exists, a missing path otherwise.
DWORD NotFound(const std::string& path) {
    const size_t lr_Slash = path.rfind('/');
    if (lr_Slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    struct stat lr_Folder;
    const std::string ls_Folder = lr_Slash == 0 ? std::string("/") : path.substr(0, lr_Slash);
    return ::stat(ls_Folder.c_str(), &lr_Folder) == 0 && S_ISDIR(lr_Folder.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                    : ERROR_PATH_NOT_FOUND;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// Handles are multiples of four, as on Windows; 0 and INVALID_HANDLE_VALUE are never handles.
HANDLE HandleOf(int descriptor) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(descriptor + 1) * 4u); }

int DescriptorOf(HANDLE handle) {
    const uintptr_t lr_Value = reinterpret_cast<uintptr_t>(handle);
    if (handle == INVALID_HANDLE_VALUE || lr_Value == 0 || lr_Value % 4 != 0 || lr_Value / 4 > INT_MAX) return -1;
    return static_cast<int>(lr_Value / 4 - 1);
}

}  // namespace

extern "C" {

DECLSPEC_EXPORT HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                                          DWORD dwCreationDisposition, DWORD, HANDLE) {
    std::string ls_Path;
    try {
        if (!HostPath(lpFileName, ls_Path))
            return Fail(lpFileName && *lpFileName ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
    } catch (...) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const bool lr_Read = (dwDesiredAccess & (GENERIC_READ | FILE_READ_DATA)) != 0;
    const bool lr_Append = (dwDesiredAccess & FILE_APPEND_DATA) != 0 && (dwDesiredAccess & FILE_WRITE_DATA) == 0 &&
                           (dwDesiredAccess & GENERIC_WRITE) == 0;
    const bool lr_Write = (dwDesiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    if (!lr_Read && !lr_Write) return Fail(ERROR_INVALID_PARAMETER);
    int lr_Flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    lr_Flags |= lr_Read && lr_Write ? O_RDWR : lr_Write ? O_WRONLY : O_RDONLY;
    if (lr_Append) lr_Flags |= O_APPEND;
    switch (dwCreationDisposition) {
    case CREATE_NEW: lr_Flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: lr_Flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: lr_Flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!lr_Write) return Fail(ERROR_INVALID_PARAMETER);
        lr_Flags |= O_TRUNC;
        break;
    default: return Fail(ERROR_INVALID_PARAMETER);
    }
    // Not blocking: opening a named pipe would otherwise wait for its other end.
    const int lr_Descriptor = ::open(ls_Path.c_str(), lr_Flags, 0666);
    if (lr_Descriptor < 0) {
        const int lr_Error = errno;
        return Fail(lr_Error == ENOENT   ? NotFound(ls_Path)
                    : lr_Error == EEXIST ? ERROR_FILE_EXISTS
                                         : ErrorOf(lr_Error));
    }
    struct stat lr_Stat;
    if (::fstat(lr_Descriptor, &lr_Stat) != 0 || !S_ISREG(lr_Stat.st_mode)) {
        ::close(lr_Descriptor);
        return Fail(ERROR_ACCESS_DENIED);
    }
    // A regular file never blocks; the flag is dropped so that reads and writes are whole.
    ::fcntl(lr_Descriptor, F_SETFL, ::fcntl(lr_Descriptor, F_GETFL) & ~O_NONBLOCK);
    SetLastError(ERROR_SUCCESS);
    return HandleOf(lr_Descriptor);
}

DECLSPEC_EXPORT BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    const int lr_Descriptor = DescriptorOf(hFile);
    if (lr_Descriptor < 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    DWORD lr_Done = 0;
    while (lr_Done < nNumberOfBytesToWrite) {
        const ssize_t lr_Written =
            ::write(lr_Descriptor, static_cast<const char*>(lpBuffer) + lr_Done, nNumberOfBytesToWrite - lr_Done);
        if (lr_Written < 0 && errno == EINTR) continue;
        if (lr_Written <= 0) {
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = lr_Done;
            return SetLastError(lr_Written == 0 ? ERROR_DISK_FULL : ErrorOf(errno)), FALSE;
        }
        lr_Done += static_cast<DWORD>(lr_Written);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = lr_Done;
    return TRUE;
}

DECLSPEC_EXPORT BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    const int lr_Descriptor = DescriptorOf(hFile);
    if (lr_Descriptor < 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    // Windows reads until the count or the end of the file: 0 bytes read means the end.
    DWORD lr_Done = 0;
    while (lr_Done < nNumberOfBytesToRead) {
        const ssize_t lr_Got =
            ::read(lr_Descriptor, static_cast<char*>(lpBuffer) + lr_Done, nNumberOfBytesToRead - lr_Done);
        if (lr_Got < 0 && errno == EINTR) continue;
        if (lr_Got < 0) {
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = lr_Done;
            return SetLastError(ErrorOf(errno)), FALSE;
        }
        if (lr_Got == 0) break;
        lr_Done += static_cast<DWORD>(lr_Got);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = lr_Done;
    return TRUE;
}

DECLSPEC_EXPORT BOOL WINAPI GetFileSizeEx(HANDLE hFile, LARGE_INTEGER* lpFileSize) {
    const int lr_Descriptor = DescriptorOf(hFile);
    struct stat lr_Stat;
    if (lr_Descriptor < 0 || ::fstat(lr_Descriptor, &lr_Stat) != 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    if (!lpFileSize) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    lpFileSize->QuadPart = static_cast<LONGLONG>(lr_Stat.st_size);
    return TRUE;
}

DECLSPEC_EXPORT BOOL WINAPI CloseHandle(HANDLE hObject) {
    const int lr_Descriptor = DescriptorOf(hObject);
    if (lr_Descriptor < 0 || ::close(lr_Descriptor) != 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    return TRUE;
}

DECLSPEC_EXPORT DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    std::string ls_Path;
    try {
        if (!HostPath(lpFileName, ls_Path)) {
            SetLastError(lpFileName && *lpFileName ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
            return INVALID_FILE_ATTRIBUTES;
        }
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat lr_Stat;
    if (::stat(ls_Path.c_str(), &lr_Stat) != 0) {
        const int lr_Error = errno;
        SetLastError(lr_Error == ENOENT ? NotFound(ls_Path) : ErrorOf(lr_Error));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD lr_Attributes = S_ISDIR(lr_Stat.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                          : S_ISREG(lr_Stat.st_mode) ? 0
                                                     : FILE_ATTRIBUTE_DEVICE;
    if (::access(ls_Path.c_str(), W_OK) != 0) lr_Attributes |= FILE_ATTRIBUTE_READONLY;
    return lr_Attributes ? lr_Attributes : FILE_ATTRIBUTE_NORMAL;
}

DECLSPEC_EXPORT void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
    if (!lpOutputString) return;
    try {
        const size_t lr_Length = std::wcslen(lpOutputString);
        if (lr_Length == 0 || lr_Length > static_cast<size_t>(INT_MAX)) return;
        const int lr_Bytes =
            WideCharToMultiByte(CP_UTF8, 0, lpOutputString, static_cast<int>(lr_Length), nullptr, 0, nullptr, nullptr);
        if (lr_Bytes <= 0) return;
        std::string ls_Text(static_cast<size_t>(lr_Bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, lpOutputString, static_cast<int>(lr_Length), &ls_Text[0], lr_Bytes, nullptr,
                            nullptr);
        std::fwrite(ls_Text.data(), 1, ls_Text.size(), stderr);
        std::fflush(stderr);
    } catch (...) {}
}

}  // extern "C"
