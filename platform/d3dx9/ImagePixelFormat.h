// Pixel conversion and scaling for the D3DX texture loaders: A8R8G8B8
// images written into the formats a texture can have, resized to a level
// and reduced along the mip chain.
#pragma once

#include <d3d9.h>

#include <vector>

namespace softd3dx {

// Bytes per pixel of a format the loaders can write, 0 for any other.
UINT WritableFormatSize(D3DFORMAT format);

// Whether the format keeps an alpha channel.
bool FormatHasAlpha(D3DFORMAT format);

// Writes `count` A8R8G8B8 pixels as `format` (which must be writable).
void WritePixels(D3DFORMAT format, const DWORD* argb, UINT count, BYTE* dest);

// A8R8G8B8 image, top row first.
struct PixelImage {
    UINT Width = 0;
    UINT Height = 0;
    std::vector<DWORD> Pixels;
};

// Resizes to width x height. Point sampling for D3DX_FILTER_POINT,
// D3DX_FILTER_NONE copies the overlap and leaves the rest transparent
// black, every other filter averages the covered source area.
PixelImage ResizeImage(const PixelImage& source, UINT width, UINT height, DWORD filter);

}  // namespace softd3dx
