// The plug-in's log: each WriteLog call appends one message to the file and
// closes it again, so the host may write to the same file in between and a
// crash loses nothing already written.
#pragma once

#include "TextConversion.h"

#include <cstdint>
#include <string>
#include <type_traits>

namespace LogFileDetail {

inline void AppendItem(std::wstring& out, const wchar_t* text) {
    if (text) out += text;
}
inline void AppendItem(std::wstring& out, const std::wstring& text) { out += text; }
inline void AppendItem(std::wstring& out, wchar_t c) { out += c; }

// Narrow text is in the ANSI code page (Windows-1252 on the substitute), as
// every narrow string the module handles: compiler messages, exception texts,
// file names.
inline void AppendItem(std::wstring& out, const std::string& text) { out += FromAnsi(text); }
inline void AppendItem(std::wstring& out, const char* text) {
    if (text) AppendItem(out, std::string(text));
}

// Integers and enumerations (format codes) in signed decimal.
template <typename T, typename std::enable_if<(std::is_integral<T>::value || std::is_enum<T>::value) &&
                                                  !std::is_same<T, bool>::value && !std::is_same<T, char>::value &&
                                                  !std::is_same<T, wchar_t>::value,
                                              int>::type = 0>
inline void AppendItem(std::wstring& out, T value) {
    if (std::is_enum<T>::value || std::is_signed<T>::value)
        out += std::to_wstring(static_cast<long long>(value));
    else
        out += std::to_wstring(static_cast<unsigned long long>(value));
}

}  // namespace LogFileDetail

// Appends message (wide text) to the file at path, converted to the ANSI
// code page with '?' for what it cannot hold, each "\n" written as "\r\n". Memory that runs out loses the
// message; a file that cannot be opened (or is not a regular file) loses it
// too, and is reported once with OutputDebugStringW (standard error on the
// substitute) until a write succeeds: logging never fails an operation, nor
// waits.
void AppendLogMessage(const std::wstring& path, const std::wstring& message) noexcept;

// One message made of the items in order: wide or narrow text, integers.
template <typename... Items>
void WriteLog(const std::wstring& path, const Items&... items) noexcept {
    try {
        std::wstring ls_Message;
        (LogFileDetail::AppendItem(ls_Message, items), ...);
        AppendLogMessage(path, ls_Message);
    } catch (...) {
        // A message that cannot be built is lost like one that cannot be written.
    }
}
