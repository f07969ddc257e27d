// What the comparisons with the Wine runs read: the effect files both sides
// load, and text files Windows wrote, line by line.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace winerun {

constexpr const char* k_EffectFiles[] = {"RenderBlack.hlsl", "RenderDepth.hlsl", "SSAO.hlsl", "ShowTexture.hlsl",
                                         "ZBlur.hlsl"};

// Lines without their ends, "\r\n" or "\n".
inline std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lr_Lines;
    std::ifstream lr_In(path, std::ios::binary);
    std::string ls_Line;
    while (std::getline(lr_In, ls_Line)) {
        if (!ls_Line.empty() && ls_Line.back() == '\r') ls_Line.pop_back();
        lr_Lines.push_back(ls_Line);
    }
    return lr_Lines;
}

}  // namespace winerun
