#include "LogFile.h"

#include "TextConversion.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <functional>
#include <string>

namespace {

// Lines end as a Windows text file's do, on every platform: the log is read
// on Windows (Notepad included), and a test on any platform sees its bytes.
const char k_LineEnd[] = "\r\n";

// The last log that could not be opened, and why, as one hash (0: none):
// reported once, until a write to it succeeds or another failure comes.
// Atomic, not locked: some Windows toolchains' standard libraries have no
// std::mutex, and two threads reporting the same failure at once is harmless.
std::atomic<size_t> g_Reported{0};

size_t FailureKey(const std::wstring& path, DWORD error) {
    const size_t lr_Key = std::hash<std::wstring>()(path) ^ (static_cast<size_t>(error) * 0x9E3779B9u);
    return lr_Key ? lr_Key : 1;
}

void ReportOpenFailure(const std::wstring& path, DWORD error) noexcept {
    try {
        const size_t lr_Key = FailureKey(path, error);
        if (g_Reported.exchange(lr_Key) == lr_Key) return;
        OutputDebugStringW((L"SSAO: the log " + path + L" cannot be written (error " + std::to_wstring(error) +
                            L"); going on without it.\n")
                               .c_str());
    } catch (...) {}
}

void ClearOpenFailure() noexcept { g_Reported = 0; }

}  // namespace

void AppendLogMessage(const std::wstring& path, const std::wstring& message) noexcept {
    // A name cut short at an embedded NUL would be another file.
    if (path.empty() || path.find(L'\0') != std::wstring::npos) return;
    try {
        // Converted before the file is opened: a message lost to memory leaves no trace in it.
        std::string ls_Bytes;
        for (char lr_Char : ToAnsi(message)) {
            if (lr_Char == '\n')
                ls_Bytes += k_LineEnd;
            else
                ls_Bytes += lr_Char;
        }
        if (ls_Bytes.size() > static_cast<size_t>(UINT_MAX)) return;
        // Append-only: each message lands whole at the end, whoever else writes the file.
        const HANDLE lr_File =
            CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (lr_File == INVALID_HANDLE_VALUE) {
            ReportOpenFailure(path, GetLastError());
            return;
        }
        DWORD lr_Written = 0;
        const BOOL lr_Done =
            WriteFile(lr_File, ls_Bytes.data(), static_cast<DWORD>(ls_Bytes.size()), &lr_Written, nullptr);
        CloseHandle(lr_File);
        if (lr_Done) ClearOpenFailure();
    } catch (...) {}
}
