#include "TestFiles.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

std::wstring WidePath(const std::filesystem::path& path) {
    const std::string ls_Narrow = path.string();
    if (ls_Narrow.empty()) return std::wstring();
    const int lr_Size =
        MultiByteToWideChar(CP_UTF8, 0, ls_Narrow.data(), static_cast<int>(ls_Narrow.size()), nullptr, 0);
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, ls_Narrow.data(), static_cast<int>(ls_Narrow.size()), &ls_Out[0], lr_Size);
    return ls_Out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(lr_In), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::filesystem::path& path) {
    const std::string ls_Bytes = ReadFile(path);
    std::string ls_Text;
    ls_Text.reserve(ls_Bytes.size());
    for (size_t i = 0; i < ls_Bytes.size(); ++i)
        if (ls_Bytes[i] != '\r' || i + 1 == ls_Bytes.size() || ls_Bytes[i + 1] != '\n') ls_Text += ls_Bytes[i];
    return ls_Text;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lr_Lines;
    std::istringstream lr_In(ReadText(path));
    std::string ls_Line;
    while (std::getline(lr_In, ls_Line)) lr_Lines.push_back(ls_Line);
    return lr_Lines;
}

void WriteBmp(const std::filesystem::path& path, int width, int height) {
    const int lr_Row = (width * 3 + 3) & ~3;
    const int lr_ImageSize = lr_Row * height;
    std::vector<unsigned char> lr_File(54 + static_cast<size_t>(lr_ImageSize), 0);
    auto Put32 = [&lr_File](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) lr_File[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    lr_File[0] = 'B';
    lr_File[1] = 'M';
    Put32(2, static_cast<uint32_t>(lr_File.size()));
    Put32(10, 54);
    Put32(14, 40);
    Put32(18, static_cast<uint32_t>(width));
    Put32(22, static_cast<uint32_t>(height));
    lr_File[26] = 1;
    lr_File[28] = 24;
    Put32(34, static_cast<uint32_t>(lr_ImageSize));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            lr_File[54 + static_cast<size_t>(y * lr_Row + x)] = static_cast<unsigned char>(x * 37 + y * 11);
    std::ofstream lr_Out(path, std::ios::binary);
    lr_Out.write(reinterpret_cast<const char*>(lr_File.data()), static_cast<std::streamsize>(lr_File.size()));
}
