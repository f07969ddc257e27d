#include "LogFile.h"

#include "TextConversion.h"

#include <windows.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <filesystem>
#endif

namespace {

void OpenForAppend(std::ofstream& stream, const std::wstring& path) {
    // Text mode, so that a line ends as text files end on the platform ("\r\n" on Windows).
    const std::ios::openmode lr_Mode = std::ios::out | std::ios::app;
#ifdef _WIN32
    stream.open(std::filesystem::path(path), lr_Mode);
#else
    // File names on Linux are bytes; UTF-8 is what the rest of the system uses.
    if (path.empty() || path.size() > static_cast<size_t>(INT_MAX)) return;
    const int lr_Length = static_cast<int>(path.size());
    const int lr_Size = WideCharToMultiByte(CP_UTF8, 0, path.data(), lr_Length, nullptr, 0, nullptr, nullptr);
    if (lr_Size <= 0) return;
    std::string ls_Path(static_cast<size_t>(lr_Size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path.data(), lr_Length, &ls_Path[0], lr_Size, nullptr, nullptr) != lr_Size)
        return;
    if (ls_Path.find('\0') != std::string::npos) return;
    // Hosts and plug-ins speak Windows paths; '\\' is the separator there.
    for (char& lr_Char : ls_Path)
        if (lr_Char == '\\') lr_Char = '/';
    stream.open(ls_Path, lr_Mode);
#endif
}

}  // namespace

void AppendLogMessage(const std::wstring& path, const std::wstring& message) noexcept {
    try {
        // Converted before the file is opened: a message lost to memory leaves no trace in it.
        const std::string ls_Bytes = ToAnsi(message);
        std::ofstream lr_Stream;
        OpenForAppend(lr_Stream, path);
        if (!lr_Stream.is_open()) return;
        lr_Stream.write(ls_Bytes.data(), static_cast<std::streamsize>(ls_Bytes.size()));
        lr_Stream.close();
    } catch (...) {}
}
