// Builds BMP files byte by byte for the loader tests, in every header and
// pixel layout the loader reads. Nothing here validates: tests also use it
// to make malformed files.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

struct BmpRecipe {
    DWORD HeaderSize = 40;  // 12 (core), 40, 52, 56, 108 (V4), 124 (V5)
    int32_t Width = 1;
    int32_t Height = 1;  // negative: top-down
    WORD BitCount = 24;
    DWORD Compression = 0;                     // BI_RGB
    std::vector<DWORD> Masks;                  // after a 40-byte header, or inside the later ones
    std::vector<std::array<BYTE, 4>> Palette;  // B, G, R, reserved (3 bytes each in a core file)
    DWORD ClrUsed = 0;
    std::vector<std::vector<BYTE>> Rows;  // in file order, unpadded; padded to 4 bytes here
    std::vector<BYTE> RawPixels;          // used as is when not empty (RLE)
};

inline void PutU16(std::vector<BYTE>& out, size_t at, uint32_t v) {
    out[at] = static_cast<BYTE>(v);
    out[at + 1] = static_cast<BYTE>(v >> 8);
}

inline void PutU32(std::vector<BYTE>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<BYTE>(v >> (8 * i));
}

inline std::vector<BYTE> BuildBmp(const BmpRecipe& recipe) {
    std::vector<BYTE> lr_Out(14 + recipe.HeaderSize, 0);
    lr_Out[0] = 'B';
    lr_Out[1] = 'M';
    PutU32(lr_Out, 14, recipe.HeaderSize);
    if (recipe.HeaderSize == 12) {
        PutU16(lr_Out, 18, static_cast<uint32_t>(recipe.Width));
        PutU16(lr_Out, 20, static_cast<uint32_t>(recipe.Height));
        PutU16(lr_Out, 22, 1);
        PutU16(lr_Out, 24, recipe.BitCount);
    } else {
        PutU32(lr_Out, 18, static_cast<uint32_t>(recipe.Width));
        PutU32(lr_Out, 22, static_cast<uint32_t>(recipe.Height));
        PutU16(lr_Out, 26, 1);
        PutU16(lr_Out, 28, recipe.BitCount);
        PutU32(lr_Out, 30, recipe.Compression);
        PutU32(lr_Out, 46, recipe.ClrUsed);
        if (recipe.HeaderSize > 40) {
            for (size_t i = 0; i < recipe.Masks.size() && 54 + 4 * i + 4 <= lr_Out.size(); ++i)
                PutU32(lr_Out, 54 + 4 * i, recipe.Masks[i]);
        } else {
            for (DWORD lr_Mask : recipe.Masks) {
                const size_t lr_At = lr_Out.size();
                lr_Out.resize(lr_At + 4);
                PutU32(lr_Out, lr_At, lr_Mask);
            }
        }
    }
    for (const auto& lr_Entry : recipe.Palette)
        lr_Out.insert(lr_Out.end(), lr_Entry.begin(), lr_Entry.begin() + (recipe.HeaderSize == 12 ? 3 : 4));
    PutU32(lr_Out, 10, static_cast<uint32_t>(lr_Out.size()));
    if (!recipe.RawPixels.empty()) {
        lr_Out.insert(lr_Out.end(), recipe.RawPixels.begin(), recipe.RawPixels.end());
    } else {
        const size_t lr_PixelStart = lr_Out.size();
        for (const auto& lr_Row : recipe.Rows) {
            lr_Out.insert(lr_Out.end(), lr_Row.begin(), lr_Row.end());
            while ((lr_Out.size() - lr_PixelStart) % 4 != 0) lr_Out.push_back(0);
        }
    }
    PutU32(lr_Out, 2, static_cast<uint32_t>(lr_Out.size()));
    return lr_Out;
}

// Little-endian bytes of one 16- or 32-bit pixel, for building rows.
inline std::vector<BYTE> Le16(std::initializer_list<uint32_t> values) {
    std::vector<BYTE> lr_Out;
    for (uint32_t v : values) {
        lr_Out.push_back(static_cast<BYTE>(v));
        lr_Out.push_back(static_cast<BYTE>(v >> 8));
    }
    return lr_Out;
}

inline std::vector<BYTE> Le32(std::initializer_list<uint32_t> values) {
    std::vector<BYTE> lr_Out;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i) lr_Out.push_back(static_cast<BYTE>(v >> (8 * i)));
    return lr_Out;
}
