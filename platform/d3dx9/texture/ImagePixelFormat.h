// Pixel conversion for the D3DX texture loaders: A8R8G8B8 rows written into
// the formats a texture can have.
#pragma once

#include <d3d9.h>

namespace softd3dx {

// Bytes per pixel of a format the loaders can write, 0 for any other.
UINT WritableFormatSize(D3DFORMAT format);

// Whether the format keeps an alpha channel.
bool FormatHasAlpha(D3DFORMAT format);

// Writes `count` A8R8G8B8 pixels as `format` (which must be writable).
void WritePixels(D3DFORMAT format, const DWORD* argb, UINT count, BYTE* dest);

}  // namespace softd3dx
