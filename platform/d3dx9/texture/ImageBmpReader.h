// BMP reading for the D3DX image loaders: the header checks behind
// D3DXGetImageInfoFromFile* and the decoder behind D3DXCreateTextureFromFile*.
// Both work on a byte range in memory and never read outside it.
#pragma once

#include "texture/ImageRowSink.h"

#include <d3dx9tex.h>

#include <cstddef>
#include <vector>

namespace softd3dx {

// Largest side D3DX is asked to load; larger claims are treated as malformed.
constexpr UINT k_MaxImageSide = 16384;

// What the loader needs to know of an image before its pixels.
struct BmpImage {
    UINT Width = 0;
    UINT Height = 0;
    D3DFORMAT FileFormat = D3DFMT_UNKNOWN;  // what D3DXIMAGE_INFO reports
    bool HasAlpha = false;                  // the file carries an alpha channel
    std::vector<PALETTEENTRY> Palette;      // paletted files only, as stored
};

// True when the bytes start like a BMP file (the "BM" magic).
bool LooksLikeBmp(const BYTE* data, size_t size);

// Checks headers, palette and pixel extents; fills `info` (may be null).
// D3D_OK or D3DXERR_INVALIDDATA.
HRESULT ReadBmpInfo(const BYTE* data, size_t size, D3DXIMAGE_INFO* info);

// Checks headers and reads what BmpImage holds. D3D_OK or D3DXERR_INVALIDDATA.
HRESULT ReadBmpImage(const BYTE* data, size_t size, BmpImage* image);

// Decodes the pixels into `sink` as A8R8G8B8 rows, holding no more than a
// row itself. A null sink only checks them (palette indices, the RLE
// stream), so that a bad file is refused before anything is made for it.
// D3D_OK or D3DXERR_INVALIDDATA.
HRESULT DecodeBmpRows(const BYTE* data, size_t size, IImageRowSink* sink);

}  // namespace softd3dx
