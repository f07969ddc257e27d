// Reading an image file named by a Windows path, narrow or wide.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace softd3dx {

// The file system path of a Windows path: UTF-8, '\' read as '/'.
std::string HostPathFromWide(const wchar_t* path);

// A narrow path is in the ANSI code page, as the A functions of Windows take it.
std::wstring WidePathFromAnsi(const char* path);

// The whole file, or false when it cannot be opened or read, or is far
// larger than any image the loaders accept.
bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* bytes);

}  // namespace softd3dx
