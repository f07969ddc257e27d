// BMP reading for the D3DX image loaders: the header checks behind
// D3DXGetImageInfoFromFile* and the decoder behind D3DXCreateTextureFromFile*.
// Both work on a byte range in memory and never read outside it.
#pragma once

#include <d3dx9tex.h>

#include <cstddef>
#include <vector>

namespace softd3dx {

// Largest side D3DX is asked to load; larger claims are treated as malformed.
constexpr UINT k_MaxImageSide = 16384;

// A decoded image, independent of the file's pixel layout.
struct DecodedImage {
    UINT Width = 0;
    UINT Height = 0;
    D3DFORMAT FileFormat = D3DFMT_UNKNOWN;  // what D3DXIMAGE_INFO reports
    bool HasAlpha = false;                  // the file carries an alpha channel
    std::vector<PALETTEENTRY> Palette;      // paletted files only, as stored
    std::vector<DWORD> Pixels;              // A8R8G8B8, Width x Height, top row first
};

// True when the bytes start like a BMP file (the "BM" magic).
bool LooksLikeBmp(const BYTE* data, size_t size);

// Checks headers, palette and pixel extents; fills `info` (may be null).
// D3D_OK or D3DXERR_INVALIDDATA.
HRESULT ReadBmpInfo(const BYTE* data, size_t size, D3DXIMAGE_INFO* info);

// Decodes the whole image. D3D_OK or D3DXERR_INVALIDDATA.
HRESULT DecodeBmp(const BYTE* data, size_t size, DecodedImage* image);

}  // namespace softd3dx
