// Reading a file the D3DX loaders are given by a Windows path, narrow or wide.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace softd3dx {

// The same path in UTF-8, separators as given.
std::string Utf8FromWide(const wchar_t* path);

// A narrow path is in the ANSI code page, as the A functions of Windows take it.
std::wstring WidePathFromAnsi(const char* path);

// The whole file, or false when it cannot be opened or read, is not a
// regular file (a named pipe would block the caller forever), or is larger
// than `maxBytes`.
bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* bytes, long long maxBytes);
// The size of a regular file; false when it cannot be opened or is not one.
bool RegularFileSize(const wchar_t* path, long long* size);

// A 16384 x 16384 image of 32-bit pixels plus headers and palette.
constexpr long long k_MaxImageFileBytes = 16384LL * 16384LL * 4LL + 4096LL;

}  // namespace softd3dx
