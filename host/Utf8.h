// UTF-8 (the file system's and the terminal's) <-> wide, through the
// platform's conversions.
#pragma once

#include <string>

std::wstring WidenUtf8(const std::string& text);
std::string NarrowUtf8(const std::wstring& text);
