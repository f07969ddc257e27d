// Files the tests write and read: wide paths for the host, whole files and
// log lines, and small BMP images.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// UTF-8 file-system path to wide text, through the platform's own conversion.
std::wstring WidePath(const std::filesystem::path& path);

std::string ReadFile(const std::filesystem::path& path);
// A text file (the log) as Windows reads one in text mode: "\r\n" as "\n".
std::string ReadText(const std::filesystem::path& path);
// The lines of a text file (the log), each without its "\r\n" or "\n".
std::vector<std::string> ReadLines(const std::filesystem::path& path);

// A small uncompressed 24-bit BMP of the given size.
void WriteBmp(const std::filesystem::path& path, int width, int height);
